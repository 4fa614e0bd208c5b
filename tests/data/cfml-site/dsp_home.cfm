<h1>home</h1>
