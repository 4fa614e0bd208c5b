<div>calendar</div>
