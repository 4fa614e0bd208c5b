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

// The names of one run and the matcher over them, built at the first file
// that is read, over the names as they are then.
class TRunMatcher {
 public:
  TRunMatcher(const TFileTable& table, std::int32_t count) : table_(table), count_(count) {}

  // The entries whose names occur in the file at path (each owner once or
  // more), after reading it whole: a read that fails halfway gives nothing.
  std::vector<std::int32_t> Search(const std::string& path) {
    if (!matcher_) {
      names_ = CollectNames(table_, count_);
      matcher_.emplace(names_.names);
      block_ = std::make_unique<char[]>(BlockSize);
    }
    matcher_->Start();
    {
      platform::InputFile file(path);
      for (;;) {
        const std::size_t n = file.Read(block_.get(), BlockSize);
        if (n == 0) break;
        matcher_->Feed(block_.get(), n);
      }
    }
    std::vector<std::int32_t> owners;
    for (std::uint32_t k : matcher_->Found()) owners.push_back(names_.owner[k]);
    return owners;
  }

 private:
  const TFileTable& table_;
  std::int32_t count_;
  TNameSet names_;
  std::optional<TNameMatcher> matcher_;
  std::unique_ptr<char[]> block_;
};

}  // namespace

bool IsReadExtension(const std::string& ext, const std::string& pageKey) {
  return ext == pageKey || ext == ".INC" || ext == ".HTM" || ext == ".CSS" || ext == ".JS";
}

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
                       const platform::MessagePump& processMessages,
                       const std::vector<std::string>& unlistedPages) {
  if (showStatus) showStatus("  Analyze...");
  const std::string pageKey = "." + UpperAscii(pageExtension);
  const std::int32_t count = table.FileCount;
  if (count <= 0) return;
  TRunMatcher matcher(table, count);

  for (std::int32_t e = 1; e <= count; ++e) {
    if (IsEntryFile(UpperAscii(table[e].Name))) table.MarkUsed(e);
    const std::string ext = UpperExtension(table[e].Name);
    if (showStatus) showStatus("  Analyzing " + table[e].Directory + table[e].Name);
    if (processMessages) processMessages();

    const bool read = IsReadExtension(ext, pageKey) || (ext == ".HTML" && table[e].Checked == 1);
    if (!read) continue;
    const std::vector<std::int32_t> owners = matcher.Search(table[e].Directory + table[e].Name);
    for (std::int32_t i : owners) table.MarkUsed(i);
    if (!owners.empty()) table.MarkUsed(e);
  }

  for (const std::string& path : unlistedPages) {
    if (showStatus) showStatus("  Analyzing " + path);
    if (processMessages) processMessages();
    for (std::int32_t i : matcher.Search(path)) table.MarkUsed(i);
  }
}

}  // namespace analysis
