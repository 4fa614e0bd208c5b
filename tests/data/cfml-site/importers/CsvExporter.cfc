component {
  function run() {}
}
