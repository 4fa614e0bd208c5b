component {
  function restore() {}
}
