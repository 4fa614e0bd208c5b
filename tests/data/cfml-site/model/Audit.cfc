component { property name="when"; }
