editor.plugins.add('cbKeyBinding', {});
