#include "analysis/ReferenceAnalysis.h"

#include <memory>
#include <optional>
#include <vector>

#include "analysis/NameMatcher.h"
#include "platform/FileSystem.h"

namespace analysis {

namespace {

constexpr std::size_t BlockSize = 65536;

// The names of the table's entries 1 to count, tag names included, for one
// matcher; owner[k] is the entry that name k belongs to.
struct TNameSet {
  std::vector<std::string> names;
  std::vector<std::int32_t> owner;
};

TNameSet CollectNames(const TFileTable& table, std::int32_t count) {
  TNameSet set;
  for (std::int32_t i = 1; i <= count; ++i) {
    if (!table[i].TagName.empty()) {
      set.names.push_back(table[i].TagName);
      set.owner.push_back(i);
    }
    set.names.push_back(table[i].Name);
    set.owner.push_back(i);
  }
  return set;
}

bool IsReadExtension(const std::string& ext, const std::string& pageKey) {
  return ext == pageKey || ext == ".INC" || ext == ".HTM" || ext == ".CSS" || ext == ".JS";
}

}  // namespace

std::string UpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

std::string UpperExtension(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : UpperAscii(name.substr(dot));
}

bool IsEntryFile(const std::string& upperName) {
  return upperName == "APPLICATION.CFM" || upperName == "ONREQUESTEND.CFM" ||
         upperName == "INDEX.CFM" || upperName == "INDEX.HTM" || upperName == "INDEX.HTML";
}

void AnalyzeReferences(TFileTable& table, const std::string& pageExtension,
                       const StatusSink& showStatus,
                       const platform::MessagePump& processMessages) {
  if (showStatus) showStatus("  Analyze...");
  const std::string pageKey = "." + UpperAscii(pageExtension);
  const std::int32_t count = table.FileCount;
  if (count <= 0) return;

  // Built at the first file that is read, over the names as they are now.
  TNameSet names;
  std::optional<TNameMatcher> matcher;
  std::unique_ptr<char[]> block;

  for (std::int32_t e = 1; e <= count; ++e) {
    if (IsEntryFile(UpperAscii(table[e].Name))) table.MarkUsed(e);
    const std::string ext = UpperExtension(table[e].Name);
    if (showStatus) showStatus("  Analyzing " + table[e].Directory + table[e].Name);
    if (processMessages) processMessages();

    const bool read = IsReadExtension(ext, pageKey) || (ext == ".HTML" && table[e].Checked == 1);
    if (!read) continue;
    if (!matcher) {
      names = CollectNames(table, count);
      matcher.emplace(names.names);
      block = std::make_unique<char[]>(BlockSize);
    }

    // The whole file is read before anything is marked, so a read that fails
    // halfway marks nothing.
    matcher->Start();
    {
      platform::InputFile file(table[e].Directory + table[e].Name);
      for (;;) {
        const std::size_t n = file.Read(block.get(), BlockSize);
        if (n == 0) break;
        matcher->Feed(block.get(), n);
      }
    }
    const std::vector<std::uint32_t> found = matcher->Found();
    for (std::uint32_t k : found) table.MarkUsed(names.owner[k]);
    if (!found.empty()) table.MarkUsed(e);
  }
}

}  // namespace analysis
