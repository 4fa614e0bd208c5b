<!--- The site's frame: its style sheet, scripts and editor, and the admin tools. --->
<link rel="stylesheet" href="css/vendor/normalize.css">
<script src="js/app.js"></script>
<script>
  editorConfig = { extraPlugins: 'cbKeyBinding,cbWidgets' };
</script>
<cfset migrationFiles = directoryList(expandPath("/data/schema/migrations/"))>
<cfset archived = expandPath("archive/")>
<cfset importer = getInstance("#rc.format#Importer@cms")>
