// The reference analysis on a generated site.
//
// The site (Sites.h): 1000 files in nested folders, 40 % of them pages, includes, HTML,
// style sheets and scripts holding about 200 MB of text (QUILMERE_BENCH_SITE_MB
// changes that) which names most of the other files; it lives in a temp folder
// that is removed at the end. Measured with the files in the page cache; the
// analysis reads its files on a thread of its own beside the matching, every
// other measure runs on one thread:
//   Analysis          AnalyzeReferences on the scanned table, matcher build included
//   AnalysisPlain     the same with the plain name rule alone (no CFML rules):
//                     the analysis as it was before those rules
//   ReadFloor         reading the files the analysis reads, in 64 KiB blocks
//   DirectSample      the direct per-name search (whole text upper-cased, one
//                     search per name) over a sample of those files; its time
//                     for all of them is extrapolated per byte
//   AnalysisHalfTable the analysis with half the entries (every read file kept,
//                     fewer other names): the same bytes with half the names
//   Matcher/1x, /2x   the matcher alone over the read bytes, with the table's
//                     names and with twice as many
//   Hyperscan         Hyperscan's literal mode (compile included) streaming the
//                     same files in the same blocks over the same literals as
//                     the analysis's matcher: the names and tag names, found
//                     once per text, and the CFML rules' literals, at every
//                     place; HyperscanNames over the names alone. Only when
//                     the benchmark was configured with Hyperscan.
//   ColdReadFloor,    the read floor and the analysis with the page cache
//   ColdAnalysis      dropped before each run (sync, then 3 into
//                     /proc/sys/vm/drop_caches): the files come from the
//                     disk. Only when running as root with that file
//                     writable; the benchmark says so otherwise.
// A summary of the best times and their ratios follows the table.
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "analysis/CfmlRules.h"
#include "analysis/DirectReferenceAnalysis.h"
#include "analysis/DirectoryScan.h"
#include "match/NameMatcher.h"
#include "analysis/ReferenceAnalysis.h"
#include "bench/analysis/Sites.h"
#include "platform/FileSystem.h"

#ifdef QUILMERE_HAVE_HYPERSCAN
#include <hs/hs.h>
#endif

namespace fs = std::filesystem;
using analysis::TFileTable;

using match::TNameMatcher;

namespace {

constexpr std::size_t BlockSize = 65536;

using benchsites::Site;

std::unique_ptr<Site> MakeSite(std::size_t megabytes) {
  const std::string root = benchsites::TempFolder();
  benchsites::WriteGeneratedSite(root, megabytes);
  auto site = benchsites::LoadSite("generated", root);
  site->temporary = true;
  return site;
}

Site* TheSite = nullptr;
// Per benchmark, the best wall time and the best CPU time of the process (all
// its threads) per iteration, in seconds. The machines are shared: CPU time
// shows the work done when other jobs take turns on the cores.
std::map<std::string, double> Best, BestCpu;

double ProcessCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

class BestTime {
 public:
  explicit BestTime(const char* name)
      : name_(name), start_(std::chrono::steady_clock::now()), cpu_(ProcessCpuSeconds()) {}
  ~BestTime() {
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    Keep(Best, s);
    Keep(BestCpu, ProcessCpuSeconds() - cpu_);
  }

 private:
  void Keep(std::map<std::string, double>& best, double s) const {
    auto [it, fresh] = best.try_emplace(name_, s);
    if (!fresh) it->second = std::min(it->second, s);
  }
  std::string name_;
  std::chrono::steady_clock::time_point start_;
  double cpu_;
};

std::string PathOf(std::int32_t e) {
  return (*TheSite->table)[e].Directory + (*TheSite->table)[e].Name;
}

void Analysis(benchmark::State& state) {
  auto table = std::make_unique<TFileTable>();
  for (auto _ : state) {
    state.PauseTiming();
    *table = *TheSite->table;
    state.ResumeTiming();
    BestTime t("Analysis");
    analysis::AnalyzeReferences(*table, "cfm", nullptr, nullptr);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * TheSite->readBytes));
}

void AnalysisPlain(benchmark::State& state) {
  auto table = std::make_unique<TFileTable>();
  for (auto _ : state) {
    state.PauseTiming();
    *table = *TheSite->table;
    state.ResumeTiming();
    BestTime t("AnalysisPlain");
    analysis::AnalyzeReferences(*table, "cfm", nullptr, nullptr, {}, analysis::TRuleSet::Plain);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * TheSite->readBytes));
}

void AnalysisHalfTable(benchmark::State& state) {
  // Every read entry and as many others as keep half the table, in order.
  auto half = std::make_unique<TFileTable>();
  const std::int32_t target = TheSite->table->FileCount / 2;
  std::int32_t others = target - static_cast<std::int32_t>(TheSite->read.size());
  for (std::int32_t i = 1; i <= TheSite->table->FileCount; ++i) {
    const bool read = std::find(TheSite->read.begin(), TheSite->read.end(), i) != TheSite->read.end();
    if (read || others-- > 0) half->Append((*TheSite->table)[i].Name, (*TheSite->table)[i].Directory);
  }
  auto table = std::make_unique<TFileTable>();
  for (auto _ : state) {
    state.PauseTiming();
    *table = *half;
    state.ResumeTiming();
    BestTime t("AnalysisHalfTable");
    analysis::AnalyzeReferences(*table, "cfm", nullptr, nullptr);
  }
  state.counters["entries"] = half->FileCount;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * TheSite->readBytes));
}

// Reads every file the analysis reads, in 64 KiB blocks; the bytes read.
std::size_t ReadAll(std::vector<char>& block) {
  std::size_t total = 0;
  for (std::int32_t e : TheSite->read) {
    platform::InputFile file(PathOf(e));
    for (std::size_t n; (n = file.Read(block.data(), BlockSize)) != 0;) total += n;
  }
  return total;
}

void ReadFloor(benchmark::State& state) {
  std::vector<char> block(BlockSize);
  for (auto _ : state) {
    BestTime t("ReadFloor");
    benchmark::DoNotOptimize(ReadAll(block));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * TheSite->readBytes));
}

// Empties the page cache (and the cached folders and inodes), so that the
// next reads come from the disk. False when it cannot.
bool DropCaches() {
  if (geteuid() != 0) return false;
  sync();
  std::FILE* f = std::fopen("/proc/sys/vm/drop_caches", "w");
  if (f == nullptr) return false;
  const bool written = std::fputs("3\n", f) >= 0;
  return std::fclose(f) == 0 && written;
}

void ColdReadFloor(benchmark::State& state) {
  std::vector<char> block(BlockSize);
  for (auto _ : state) {
    state.PauseTiming();
    DropCaches();
    state.ResumeTiming();
    BestTime t("ColdReadFloor");
    benchmark::DoNotOptimize(ReadAll(block));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * TheSite->readBytes));
}

void ColdAnalysis(benchmark::State& state) {
  auto table = std::make_unique<TFileTable>();
  for (auto _ : state) {
    state.PauseTiming();
    *table = *TheSite->table;
    DropCaches();
    state.ResumeTiming();
    BestTime t("ColdAnalysis");
    analysis::AnalyzeReferences(*table, "cfm", nullptr, nullptr);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * TheSite->readBytes));
}

// The first read files up to about 4 MB.
std::vector<std::int32_t> Sample(std::size_t& bytes) {
  std::vector<std::int32_t> sample;
  bytes = 0;
  for (std::int32_t e : TheSite->read) {
    if (bytes >= (std::size_t{4} << 20)) break;
    sample.push_back(e);
    bytes += fs::file_size(PathOf(e));
  }
  return sample;
}

std::size_t SampleBytes = 0;

void DirectSample(benchmark::State& state) {
  const std::vector<std::int32_t> sample = Sample(SampleBytes);
  std::vector<std::string> names;
  for (std::int32_t i = 1; i <= TheSite->table->FileCount; ++i) {
    if (!(*TheSite->table)[i].TagName.empty()) names.push_back((*TheSite->table)[i].TagName);
    names.push_back((*TheSite->table)[i].Name);
  }
  for (auto _ : state) {
    BestTime t("DirectSample");
    for (std::int32_t e : sample) {
      benchmark::DoNotOptimize(
          analysis::direct::Occurrences(names, analysis::direct::ReadWhole(PathOf(e))));
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * SampleBytes));
}

// Counts the places of the CFML rules' literals and nothing more.
struct CountingSink : match::TMatchSink {
  std::size_t places = 0;
  bool OnMatch(std::uint32_t, const unsigned char*) override {
    ++places;
    return true;
  }
};

// The matcher alone over the read bytes; range(0) = 1 for the table's names,
// 2 for those plus as many more of the same make, 3 for those plus the
// literals of the CFML rules (their places counted, not checked).
void Matcher(benchmark::State& state) {
  std::vector<std::string> names;
  for (std::int32_t i = 1; i <= TheSite->table->FileCount; ++i) {
    if (!(*TheSite->table)[i].TagName.empty()) names.push_back((*TheSite->table)[i].TagName);
    names.push_back((*TheSite->table)[i].Name);
  }
  if (state.range(0) == 2) {
    const std::size_t n = names.size();
    for (std::size_t k = 0; k < n; ++k) names.push_back("v2_" + names[k]);
  }
  std::vector<bool> positional(names.size(), false);
  TFileTable copy = *TheSite->table;
  std::optional<analysis::TCfmlRules> rules;
  if (state.range(0) == 3) rules.emplace(copy, copy.FileCount, names, positional);
  CountingSink sink;
  const std::string label = "Matcher/" + std::to_string(state.range(0)) + "x";
  std::vector<char> block(BlockSize);
  for (auto _ : state) {
    BestTime t(label.c_str());
    TNameMatcher matcher(names, TNameMatcher::DefaultBudget, positional);
    std::size_t found = 0;
    for (std::int32_t e : TheSite->read) {
      matcher.Start();
      platform::InputFile file(PathOf(e));
      for (std::size_t n; (n = file.Read(block.data(), BlockSize)) != 0;) {
        matcher.Feed(block.data(), n, &sink);
      }
      found += matcher.Found().size();
    }
    benchmark::DoNotOptimize(found);
  }
  state.counters["names"] = static_cast<double>(names.size());
  state.counters["places"] = static_cast<double>(sink.places) / static_cast<double>(state.iterations());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * TheSite->readBytes));
}

#ifdef QUILMERE_HAVE_HYPERSCAN
// Hyperscan's literal mode over the names (and, for range(0) = 1, the CFML
// rules' literals, whose every place is wanted), streaming each read file in
// the analysis's blocks; the database is compiled in every iteration, as our
// matcher is built in every analysis.
struct HyperscanCount {
  std::size_t found = 0, places = 0;
};

int OnHyperscanMatch(unsigned int, unsigned long long, unsigned long long, unsigned int flags,
                     void* context) {
  (void)flags;
  ++static_cast<HyperscanCount*>(context)->places;
  return 0;
}

void Hyperscan(benchmark::State& state) {
  std::vector<std::string> names;
  for (std::int32_t i = 1; i <= TheSite->table->FileCount; ++i) {
    if (!(*TheSite->table)[i].TagName.empty()) names.push_back((*TheSite->table)[i].TagName);
    names.push_back((*TheSite->table)[i].Name);
  }
  std::vector<bool> positional(names.size(), false);
  TFileTable copy = *TheSite->table;
  std::optional<analysis::TCfmlRules> rules;
  if (state.range(0) == 1) rules.emplace(copy, copy.FileCount, names, positional);
  std::vector<const char*> literals;
  std::vector<std::size_t> lengths;
  std::vector<unsigned> flags, ids;
  for (std::size_t k = 0; k < names.size(); ++k) {
    literals.push_back(names[k].data());
    lengths.push_back(names[k].size());
    flags.push_back(HS_FLAG_CASELESS | (positional[k] ? 0 : HS_FLAG_SINGLEMATCH));
    ids.push_back(static_cast<unsigned>(k));
  }
  const std::string label = state.range(0) == 1 ? "Hyperscan" : "HyperscanNames";
  std::vector<char> block(BlockSize);
  HyperscanCount count;
  for (auto _ : state) {
    BestTime t(label.c_str());
    hs_database_t* db = nullptr;
    hs_compile_error_t* error = nullptr;
    if (hs_compile_lit_multi(literals.data(), flags.data(), ids.data(), lengths.data(),
                             static_cast<unsigned>(literals.size()), HS_MODE_STREAM, nullptr, &db,
                             &error) != HS_SUCCESS) {
      state.SkipWithError(error->message);
      hs_free_compile_error(error);
      return;
    }
    hs_scratch_t* scratch = nullptr;
    hs_alloc_scratch(db, &scratch);
    count = HyperscanCount{};
    for (std::int32_t e : TheSite->read) {
      hs_stream_t* stream = nullptr;
      hs_open_stream(db, 0, &stream);
      platform::InputFile file(PathOf(e));
      for (std::size_t n; (n = file.Read(block.data(), BlockSize)) != 0;) {
        hs_scan_stream(stream, block.data(), static_cast<unsigned>(n), 0, scratch,
                       OnHyperscanMatch, &count);
      }
      hs_close_stream(stream, scratch, OnHyperscanMatch, &count);
    }
    hs_free_scratch(scratch);
    hs_free_database(db);
  }
  state.counters["literals"] = static_cast<double>(literals.size());
  state.counters["matches"] = static_cast<double>(count.places);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * TheSite->readBytes));
}
#endif

void Summary(const char* clock, std::map<std::string, double>& times, const Site& site) {
  auto best = [&](const char* name) { return times.count(name) ? times[name] : 0.0; };
  const double bytes = static_cast<double>(site.readBytes);
  const double floor = best("ReadFloor"), fast = best("Analysis"), half = best("AnalysisHalfTable");
  auto line = [&](const char* what, double s) {
    if (s > 0) std::printf("  %-22s %9.1f ms  (%.2f GB/s)\n", what, s * 1e3, bytes / s / 1e9);
  };
  std::printf("\nBest %s over %.1f MB read (%zu files):\n", clock, bytes / 1e6, site.read.size());
  line("read floor", floor);
  line("analysis", fast);
  line("plain rule alone", best("AnalysisPlain"));
  line("Hyperscan, all literals", best("Hyperscan"));
  line("Hyperscan, names alone", best("HyperscanNames"));
  double direct = 0;
  if (best("DirectSample") > 0 && SampleBytes > 0) {
    direct = best("DirectSample") * bytes / static_cast<double>(SampleBytes);
    std::printf("  %-22s %9.1f ms  (extrapolated per byte from a %.1f MB sample)\n",
                "direct search", direct * 1e3, static_cast<double>(SampleBytes) / 1e6);
  }
  if (floor > 0 && fast > 0) std::printf("  analysis / floor          %6.2f x  (goal <= 2.5)\n", fast / floor);
  if (best("Hyperscan") > 0 && fast > 0) {
    std::printf("  Hyperscan / analysis      %6.2f x  (goal > 1)\n", best("Hyperscan") / fast);
  }
  if (best("HyperscanNames") > 0 && fast > 0) {
    std::printf("  Hyperscan names / analysis %5.2f x\n", best("HyperscanNames") / fast);
  }
  if (direct > 0 && fast > 0) std::printf("  direct / analysis         %6.0f x  (goal >= 60)\n", direct / fast);
  if (best("AnalysisPlain") > 0 && fast > 0) {
    std::printf("  CFML rules / plain        %6.2f x  (goal <= 1.3)\n", fast / best("AnalysisPlain"));
  }
  const double coldFloor = best("ColdReadFloor"), cold = best("ColdAnalysis");
  line("cold read floor", coldFloor);
  line("cold analysis", cold);
  if (coldFloor > 0 && cold > 0) {
    std::printf("  cold analysis / cold floor %5.2f x  (goal <= 1.2)\n", cold / coldFloor);
  }
  if (half > 0 && fast > 0) {
    std::printf("  doubled names, analysis (%d -> %d entries)  %.2f x  (goal <= 1.3)\n",
                site.table->FileCount / 2, site.table->FileCount, fast / half);
  }
  if (best("Matcher/1x") > 0 && best("Matcher/2x") > 0) {
    std::printf("  doubled names, matcher alone (x2 names)     %.2f x\n",
                best("Matcher/2x") / best("Matcher/1x"));
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const char* mb = std::getenv("QUILMERE_BENCH_SITE_MB");
  const std::size_t megabytes = mb ? std::stoul(mb) : 200;
  std::printf("Generating the site (%zu MB of text)...\n", megabytes);
  std::fflush(stdout);
  auto site = MakeSite(megabytes);
  TheSite = site.get();
  std::printf("%d files, %zu read, %.1f MB read\n", site->table->FileCount, site->read.size(),
              static_cast<double>(site->readBytes) / 1e6);

  const auto ms = benchmark::kMillisecond;
  benchmark::RegisterBenchmark("ReadFloor", ReadFloor)->Unit(ms)->Iterations(10)->UseRealTime();
  benchmark::RegisterBenchmark("Analysis", Analysis)->Unit(ms)->Iterations(5)->UseRealTime();
  benchmark::RegisterBenchmark("AnalysisPlain", AnalysisPlain)->Unit(ms)->Iterations(5)->UseRealTime();
  benchmark::RegisterBenchmark("AnalysisHalfTable", AnalysisHalfTable)->Unit(ms)->Iterations(5)->UseRealTime();
  benchmark::RegisterBenchmark("Matcher", Matcher)->Arg(1)->Arg(2)->Arg(3)->Unit(ms)->Iterations(5)->UseRealTime();
#ifdef QUILMERE_HAVE_HYPERSCAN
  benchmark::RegisterBenchmark("Hyperscan", Hyperscan)->Arg(1)->Arg(0)->Unit(ms)->Iterations(5)->UseRealTime();
#endif
  if (DropCaches()) {
    benchmark::RegisterBenchmark("ColdReadFloor", ColdReadFloor)->Unit(ms)->Iterations(3)->UseRealTime();
    benchmark::RegisterBenchmark("ColdAnalysis", ColdAnalysis)->Unit(ms)->Iterations(3)->UseRealTime();
  } else {
    std::printf("Cold runs skipped: dropping the page cache needs root and a writable "
                "/proc/sys/vm/drop_caches.\n");
  }
  benchmark::RegisterBenchmark("DirectSample", DirectSample)->Unit(ms)->Iterations(2)->UseRealTime();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  Summary("wall time", Best, *site);
  Summary("CPU time, all threads", BestCpu, *site);
  return 0;
}
