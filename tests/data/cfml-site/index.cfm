<cfset svc = createObject("component", "model.services.UserService")>
<cfset h = x.Helper.run()>
<cfmodule name="widgets.calendar">
<cfimport taglib="tags" prefix="ui">
<ui:button label="Save">
<cfinclude template="dsp_#attributes.fuse#.cfm">
<cfset page = "list" & kind>
<cfinclude template="/v/#view#.cfm">
<cfset runner.run(directory="tasks.jobs")>
<cf_sidebar>
<cfset text = getResource(bundle="i18n/messages")>
<a href="about.html">About</a>
