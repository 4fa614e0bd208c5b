component extends="testbox.system.BaseSpec" {
  function run() { describe("users", function() { it("load", function() {}); }); }
}
