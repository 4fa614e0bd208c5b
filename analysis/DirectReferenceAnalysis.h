#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/FileTable.h"
#include "platform/FileSystem.h"

// The reference analysis done the slow, obvious way: each read file's whole
// text upper-cased in memory and searched once per name. Nothing in the
// program uses it; the tests check the streaming matcher against it and the
// benchmark measures it. Written from the marking rule alone, sharing no code
// with the fast path, so that the two can disagree.
namespace analysis::direct {

inline std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c -= 'a' - 'A';
  }
  return text;
}

// Whether each name occurs in text, by one substring search per name.
inline std::vector<bool> Occurrences(const std::vector<std::string>& names,
                                     const std::string& text) {
  const std::string upper = Upper(text);
  std::vector<bool> found;
  for (const std::string& name : names) found.push_back(upper.find(Upper(name)) != std::string::npos);
  return found;
}

inline std::string ReadWhole(const std::string& path) {
  platform::InputFile file(path);
  std::string text;
  char block[65536];
  for (std::size_t n; (n = file.Read(block, sizeof block)) != 0;) text.append(block, n);
  return text;
}

// The marking rule over table, reading the files from disk.
inline void AnalyzeReferences(TFileTable& table, const std::string& pageExtension) {
  const std::string pageKey = "." + Upper(pageExtension);
  const std::int32_t count = table.FileCount;
  for (std::int32_t e = 1; e <= count; ++e) {
    const std::string upperName = Upper(table[e].Name);
    for (const char* entry :
         {"APPLICATION.CFM", "ONREQUESTEND.CFM", "INDEX.CFM", "INDEX.HTM", "INDEX.HTML"}) {
      if (upperName == entry) table.MarkUsed(e);
    }
    const std::size_t dot = upperName.rfind('.');
    const std::string ext = dot == std::string::npos ? "" : upperName.substr(dot);
    const bool read = ext == pageKey || ext == ".INC" || ext == ".HTM" || ext == ".CSS" ||
                      ext == ".JS" || (ext == ".HTML" && table[e].Checked == 1);
    if (!read) continue;
    const std::string text = Upper(ReadWhole(table[e].Directory + table[e].Name));
    for (std::int32_t i = 1; i <= count; ++i) {
      if (!table[i].TagName.empty() && text.find(Upper(table[i].TagName)) != std::string::npos) {
        table.MarkUsed(i);
        table.MarkUsed(e);
      }
      if (text.find(Upper(table[i].Name)) != std::string::npos) {
        table.MarkUsed(i);
        table.MarkUsed(e);
      }
    }
  }
}

}  // namespace analysis::direct
