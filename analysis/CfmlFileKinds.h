#pragma once
#include <initializer_list>
#include <string>

// The kinds of CFML files by upper-cased extension, for every rule that
// asks: one home, so that the rules agree on what a template is.
namespace analysis {

inline bool OneOf(const std::string& ext, std::initializer_list<const char*> list) {
  for (const char* e : list) {
    if (ext == e) return true;
  }
  return false;
}

inline bool IsCfmlTemplate(const std::string& ext) {
  return OneOf(ext, {".CFM", ".CFML", ".CFS", ".LUCEE"});
}
inline bool IsComponent(const std::string& ext) { return OneOf(ext, {".CFC", ".LUCEE"}); }
inline bool IsCfmlFile(const std::string& ext) {
  return IsCfmlTemplate(ext) || OneOf(ext, {".CFC", ".INC"});
}

}  // namespace analysis
