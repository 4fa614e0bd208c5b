component { public function ping() { return "pong"; } }
