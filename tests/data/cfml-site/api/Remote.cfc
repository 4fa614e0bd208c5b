component { remote function ping() { return "pong"; } }
