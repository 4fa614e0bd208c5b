component {
  function up() {}
}
