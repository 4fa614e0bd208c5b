<div>main view</div>
