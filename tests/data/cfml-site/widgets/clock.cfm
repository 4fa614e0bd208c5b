<div>clock</div>
