<cfscript>import reports.*;</cfscript>
