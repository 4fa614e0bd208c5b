editor.plugins.add('unlisted', {});
