<aside>side</aside>
