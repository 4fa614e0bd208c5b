#include "analysis/ReferenceAnalysis.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "analysis/CfmlRules.h"
#include "analysis/NameWalk.h"
#include "match/NameMatcher.h"
#include "platform/BlockReader.h"
#include "platform/FileSystem.h"
#include "platform/ReadAhead.h"

namespace analysis {

namespace {

using match::TNameMatcher;

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

// The window's messages are handled at least this often while one file is
// read, however long its open, its blocks or their matching take.
constexpr std::chrono::milliseconds PumpInterval{50};

// The message pump, run when PumpInterval has passed since it last ran.
class TPacedPump {
 public:
  explicit TPacedPump(const platform::MessagePump& pump)
      : pump_(pump), last_(std::chrono::steady_clock::now()) {}
  void Tick() {
    if (!pump_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < PumpInterval) return;
    last_ = now;
    pump_();
  }
  // For the waits on the reader, which come in slices of their own.
  const platform::MessagePump& WhileWaiting() const { return pump_; }

 private:
  const platform::MessagePump& pump_;
  std::chrono::steady_clock::time_point last_;
};

// The heads of the application files, read in the order the rules ask for
// them, on one reader thread for them all, so that an open or a read that
// blocks leaves the pump running (and a site of many such files pays for one
// thread, not one each). The thread starts on them at once: the rules make
// the table's own literals before they ask.
class THeadReads {
 public:
  THeadReads(std::vector<std::string> paths, TPacedPump& pump) : paths_(paths), pump_(pump) {
    if (paths_.empty()) return;
    reader_.emplace(std::move(paths), BlockSize, 0, platform::TBlockReader::Early{});
    reader_->Prepared(nullptr);
  }

  // The first limit bytes of the file at path, one of the paths after those
  // read before; nothing when it cannot be read (the analysis reports that
  // when it reads the file itself).
  std::string Read(const std::string& path, std::size_t limit) {
    while (next_ < paths_.size() && paths_[next_] != path) ++next_;
    if (next_ == paths_.size()) return {};
    std::string text;
    try {
      reader_->Open(next_++);
      unsigned char* block = nullptr;
      while (text.size() < limit) {
        const std::size_t n = reader_->Next(block, pump_.WhileWaiting());
        if (n == 0) break;
        text.append(reinterpret_cast<const char*>(block), std::min(n, limit - text.size()));
        pump_.Tick();
      }
    } catch (const platform::IoError&) {
      text.clear();
    }
    return text;
  }

 private:
  const std::vector<std::string> paths_;
  std::optional<platform::TBlockReader> reader_;  // none without paths: no thread
  TPacedPump& pump_;
  std::size_t next_ = 0;
};

// What one run reads with: the names of the table (and the literals of the
// CFML rules, when they run), the matcher over them, which runs on the block
// reader's thread (TNameWalk), and the last bytes of the current text's
// previous block, which go in front of its next block.
class TRun {
 public:
  TRun(TFileTable& table, std::int32_t count, TRuleSet rules, TPacedPump& pump)
      : names_(CollectNames(table, count)) {
    std::vector<std::string> patterns = names_.names;
    std::vector<bool> positional(patterns.size(), false);
    if (rules == TRuleSet::Cfml) {
      THeadReads heads(TCfmlRules::SettingsFiles(table, count), pump);
      rules_.emplace(
          table, count, patterns, positional,
          [&heads](const std::string& path, std::size_t limit) { return heads.Read(path, limit); });
    }
    matcher_.emplace(patterns, TNameMatcher::DefaultBudget, positional,
                     rules_ ? rules_->WordEnds() : match::TWordEnds{});
    retiredIn_.assign(patterns.size(), Live);
    tail_ = std::make_unique<unsigned char[]>(TCfmlRules::History);
  }

  TCfmlRules* Rules() { return rules_ ? &*rules_ : nullptr; }

  // The block reader's work on each block of files: the matcher's, over the
  // files marked in walked (by the reader's indices); none when the matcher
  // is cheap enough to run on this thread, as Search then does. Call once,
  // before the first Search. meanBytes: the walked files' mean size. On the
  // vector path a small block costs less to match than to hand over, but a
  // full one costs more: where the texts fill whole blocks, the other
  // thread matches them while this one runs the rules.
  platform::TBlockReader::Prepare Walk(std::vector<bool> walked, std::uint64_t meanBytes) {
    walk_ = std::make_shared<TNameWalk>(std::move(*matcher_), std::move(walked));
    matcher_.reset();
    here_ = walk_->Cheap() && meanBytes < BlockSize;
    if (here_) return nullptr;
    return [walk = walk_](std::size_t file, unsigned char* data, std::size_t size, bool last) {
      return walk->Block(file, data, size, last);
    };
  }

  // Reads the file at path (entry, or 0 for a file the table does not hold),
  // which is file index of blocks, whole and returns the entries whose names
  // occur in it (each once or more); the CFML rules see the text on the
  // way, and the places the matcher met in each block. A read that fails
  // halfway marks nothing by name. A file the reader does not walk names
  // nothing: only the CFML rules see its text.
  std::vector<std::int32_t> Search(std::int32_t entry, const std::string& path,
                                   platform::TBlockReader& blocks, std::size_t index,
                                   TPacedPump& pump) {
    ++text_;
    if (rules_) rules_->StartText(entry, path);
    blocks.Open(index);
    std::size_t history = 0;
    std::vector<std::uint32_t> found;
    for (;;) {
      unsigned char* block = nullptr;
      platform::TBlockReader::Note note;
      const std::size_t n = blocks.Next(block, note, pump.WhileWaiting());
      if (here_ && n != 0) note = walk_->Block(index, block, n, false);
      const auto* met = static_cast<const TBlockNames*>(note.get());
      if (met != nullptr && met->ended) found = met->found;
      if (n == 0) {
        if (here_) found = walk_->End(index);
        break;
      }
      pump.Tick();
      if (!rules_) continue;
      // The bytes before the block, in front of it.
      std::memcpy(block - history, tail_.get(), history);
      rules_->BeginBlock(block, n, history);
      if (met != nullptr) {
        for (const auto& [id, end] : met->places) {
          if (retiredIn_[id] == Live && !rules_->OnMatch(id, block + end)) Retire(id);
        }
      }
      rules_->EndBlock();
      const std::size_t keep = std::min(TCfmlRules::History, history + n);
      std::memcpy(tail_.get(), block + n - keep, keep);
      history = keep;
    }
    // A name retired before this text is not found in it, though the
    // matcher may not have heard of its retiring yet.
    found.erase(std::remove_if(found.begin(), found.end(),
                               [&](std::uint32_t id) { return retiredIn_[id] < text_; }),
                found.end());
    std::vector<std::int32_t> owners;
    for (std::uint32_t k : found) {
      if (k < names_.owner.size()) owners.push_back(names_.owner[k]);
    }
    if (rules_) rules_->EndText(found);
    return owners;
  }

 private:
  static constexpr std::uint32_t Live = UINT32_MAX;

  void Retire(std::uint32_t id) {
    if (id >= retiredIn_.size() || retiredIn_[id] != Live) return;
    retiredIn_[id] = text_;
    walk_->Retire(id);
  }

  TNameSet names_;
  std::optional<TCfmlRules> rules_;
  std::optional<TNameMatcher> matcher_;  // until Walk hands it on
  std::shared_ptr<TNameWalk> walk_;
  bool here_ = false;  // the matcher runs on this thread (see Walk)
  // By name id: the text in which it was retired (Live: not retired).
  std::vector<std::uint32_t> retiredIn_;
  std::uint32_t text_ = 0;
  std::unique_ptr<unsigned char[]> tail_;
};

// Marks entry i used by the plain rules, with its reason when it has none.
void MarkUsed(TFileTable& table, std::int32_t i, TUseRule rule, const std::string& referrer) {
  table.MarkUsed(i);
  if (table[i].Reason == TUseRule::None) {
    table[i].Reason = rule;
    table[i].Referrer = referrer;
  }
}

}  // namespace

bool IsReadExtension(const std::string& ext, const std::string& pageKey) {
  return ext == pageKey || ext == ".INC" || ext == ".HTM" || ext == ".CSS" || ext == ".JS";
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
                       const StatusSink& showStatus, const platform::MessagePump& processMessages,
                       const std::vector<std::string>& unlistedPages, TRuleSet rules,
                       const ProgressSink& progress) {
  if (showStatus) showStatus("  Analyze...");
  const std::string pageKey = "." + UpperAscii(pageExtension);
  const std::int32_t count = table.FileCount;
  if (count <= 0) return;
  for (std::int32_t i = 1; i <= count; ++i) {
    table[i].Reason = TUseRule::None;
    table[i].Referrer.clear();
    table[i].ReasonLine = 0;
  }
  TPacedPump pump(processMessages);
  const bool withCfml = rules == TRuleSet::Cfml;

  // The files this run may read, in the order it reads them, announced a few
  // ahead of the reading so that on a cold cache the disk works while the
  // matcher does. Every .html file is on the list: whether one is read
  // depends on the marks made before its turn. All but those read for their
  // references alone are matched as they are read.
  std::vector<std::string> upcoming;
  std::vector<bool> walked;
  std::uint64_t walkedBytes = 0, walkedFiles = 0;
  std::vector<std::size_t> place(static_cast<std::size_t>(count) + 1, 0);
  for (std::int32_t e = 1; e <= count; ++e) {
    const std::string ext = UpperExtension(table[e].Name);
    const bool plain = IsReadExtension(ext, pageKey) || ext == ".HTML";
    if (plain || (withCfml && TCfmlRules::IsReadExtension(ext))) {
      place[static_cast<std::size_t>(e)] = upcoming.size();
      upcoming.push_back(table[e].Directory + table[e].Name);
      walked.push_back(plain || !TCfmlRules::ReadsReferencesOnly(ext));
      if (walked.back()) {
        walkedBytes += table[e].Size;
        ++walkedFiles;
      }
    }
  }
  const std::size_t unlistedFrom = upcoming.size();
  upcoming.insert(upcoming.end(), unlistedPages.begin(), unlistedPages.end());
  walked.resize(upcoming.size(), true);
  // The files are read in blocks on a thread of their own, from now on,
  // while the rules and the matcher are built on this one, then a few blocks
  // ahead of the rules' work; they are matched on another thread as they
  // come (on this one instead where the matcher is on its vector path), so
  // that the kernel's copying, the matching, the rules and the marks
  // overlap.
  platform::TReadAhead readAhead(upcoming);
  platform::TBlockReader blocks(std::move(upcoming), BlockSize, TCfmlRules::History,
                                platform::TBlockReader::Early{});
  TRun run(table, count, rules, pump);
  TCfmlRules* const cfml = run.Rules();
  blocks.Prepared(
      run.Walk(std::move(walked), walkedBytes / std::max<std::uint64_t>(walkedFiles, 1)));

  const std::int64_t total = count + static_cast<std::int64_t>(unlistedPages.size());
  std::uint64_t bytesRead = 0;
  // The plain rules decide in the table as they go (whether an .html file is
  // read depends on its Checked at its turn); the CFML rules keep their marks
  // apart until the end, so they never change what the plain rules decide.
  for (std::int32_t e = 1; e <= count; ++e) {
    const std::string upperName = UpperAscii(table[e].Name);
    if (IsEntryFile(upperName)) MarkUsed(table, e, TUseRule::EntryFile, std::string());
    if (cfml) {
      if (const TUseRule rule = TCfmlRules::EntryRule(upperName); rule != TUseRule::None) {
        cfml->Mark(e, rule);
      }
    }
    const std::string ext = UpperExtension(table[e].Name);
    const std::string path = table[e].Directory + table[e].Name;
    const bool plainRead =
        IsReadExtension(ext, pageKey) || (ext == ".HTML" && table[e].Checked == 1);
    const bool cfmlRead = cfml && TCfmlRules::IsReadExtension(ext);
    if (plainRead || cfmlRead) bytesRead += table[e].Size;
    if (showStatus) showStatus("  Analyzing " + path);
    if (progress) progress({TProgress::TPhase::Analysis, e, total, bytesRead});
    if (processMessages) processMessages();
    if (!plainRead && !cfmlRead) continue;
    const std::size_t index = place[static_cast<std::size_t>(e)];
    readAhead.Reached(index);
    const std::vector<std::int32_t> owners = run.Search(e, path, blocks, index, pump);
    if (plainRead) {
      for (std::int32_t i : owners) MarkUsed(table, i, TUseRule::Named, path);
      if (!owners.empty()) MarkUsed(table, e, TUseRule::NamesAFile, std::string());
    } else {
      cfml->MarkNamed(owners);
    }
  }

  for (std::size_t u = 0; u < unlistedPages.size(); ++u) {
    const std::string& path = unlistedPages[u];
    if (showStatus) showStatus("  Analyzing " + path);
    if (progress) {
      progress({TProgress::TPhase::Analysis, count + static_cast<std::int64_t>(u) + 1, total,
                bytesRead});
    }
    if (processMessages) processMessages();
    readAhead.Reached(unlistedFrom + u);
    for (std::int32_t i : run.Search(0, path, blocks, unlistedFrom + u, pump)) {
      MarkUsed(table, i, TUseRule::Named, path);
    }
  }
  if (cfml) cfml->Finish();
  // Every entry has its verdict now: the unused ones were looked for.
  for (std::int32_t i = 1; i <= count; ++i) {
    if (table[i].Unused != 0) table[i].Reason = TUseRule::NotNamed;
  }
}

}  // namespace analysis
