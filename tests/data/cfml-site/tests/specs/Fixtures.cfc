component { function data() { return []; } }
