<input type="range">
