component persistent="true" { property name="id"; }
