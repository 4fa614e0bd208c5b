#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "analysis/TextWindow.h"

// Rich-text editors' plugins, which the editor loads by the names in its
// configuration's list (extraPlugins: 'cbKeyBinding,cbWidgets', plugins:
// ["table", "link"]) from plugins/N/plugin.js, never by a file name.
//
// plugin.js, plugin.min.js or plugin.src.js directly in a folder plugins/N/
// is used when a read text outside that folder holds N as a list element:
// before it a quote, "," , a blank or "["; after it a quote, ",", a blank or
// "]" (ASCII letters in any case). The plugin's own files register it by
// the same name, so texts below its folder never count. The matcher looks
// for every N; the look checks the byte on each side.
//
// Built by TCfmlRules from the table; read on the analysis thread.
namespace analysis {

class TEditorPlugins {
 public:
  // Entry is upperName in the folders given (upper-cased, below the project
  // directory, outermost first) at directory (as the table holds it).
  void Add(std::int32_t entry, const std::string& upperName,
           const std::vector<std::string>& folders, const std::string& directory);
  // Every plugin name N, with the group of its plugin files.
  std::vector<TRuleLiteral> Literals();
  // A literal of this rule spans [start, end).
  static TLook Look(const TTextWindow& text, std::int64_t start, std::int64_t end);

  struct Plugin {
    std::int32_t entry;
    std::string directory;  // the plugin's folder: texts below it never count
  };
  const std::vector<Plugin>& Plugins(std::uint32_t group) const { return groups_[group]; }

 private:
  std::map<std::string, std::vector<Plugin>> byName_;
  std::vector<std::vector<Plugin>> groups_;
};

}  // namespace analysis
