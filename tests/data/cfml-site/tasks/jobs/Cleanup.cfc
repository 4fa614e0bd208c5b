component { function run() {} }
