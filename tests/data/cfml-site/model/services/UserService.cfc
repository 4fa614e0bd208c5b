component {
  function avatar() { return "img/avatar.png"; }
}
