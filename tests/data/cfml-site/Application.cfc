component {
  this.name = "fixture";
  this.ormenabled = true;
  this.mappings["/v"] = expandPath("./") & "views";
  this.javaSettings = { loadPaths: [ expandPath("lib/java") ] };
}
