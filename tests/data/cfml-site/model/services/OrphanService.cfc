component { function unused() {} }
