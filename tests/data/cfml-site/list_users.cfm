<ul></ul>
