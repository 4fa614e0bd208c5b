<cfset saved = true>
