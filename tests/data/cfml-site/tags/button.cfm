<button><cfoutput>#attributes.label#</cfoutput></button>
