component { function build() {} }
