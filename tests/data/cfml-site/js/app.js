import { store } from './store';
const tooltip = require("./alpine/tooltip");
const polyfill = require("./polyfill.cjs");
