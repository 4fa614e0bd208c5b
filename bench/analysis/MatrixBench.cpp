// The benchmark matrix: each corpus at each vector level this processor
// runs, against the read floor, the plain automaton and Hyperscan.
//
// Corpora (sizes for --quick in brackets; a corpus is skipped when missing):
//   generated   the generated site of bench_analysis: 1000 files, 200 MB of
//               text (4 MB)
//   names       a many-names site: 10000 small files (1000), 40 % texts of
//               2 KB naming others
//   files       the same make with 100000 files (3000)
//   preside,    the real trees, unpacked at bench time from the archives
//   masa        (--archives, default ../shared/corpora beside the source)
//               into the build tree, never into the source
//   high        64 pages of bytes >= 0x80 only, 64 MB in all (4 MB)
// Measures, each the best of several runs taken in turn, wall and CPU time
// of the whole process (all threads):
//   floor       reading the files the analysis reads, 64 KiB blocks, one thread
//   analysis    AnalyzeReferences with the CFML rules, at the level
//   automaton   the same at the scalar level: the automaton with the same rules
//   plain       the plain name rule on the automaton: the analysis as it was
//               before the CFML rules and the vector path
//   Hyperscan   its literal mode over the same literals, streaming the same
//               files in the same blocks (when built with it)
// --quick leaves out the plain rule and Hyperscan, which the guard needs not.
// --guard fails (exit status 1) when, on any corpus and level, the analysis
// takes more than twice the time of the automaton with the same rules (the
// scalar level, measured in the same process, in turn with it), by the wall
// clock and by CPU time both: a collapse of the matcher's vector path shows
// in both, the noise of a shared machine seldom does. It is a guard against
// such a collapse, not a measurement.
// --load also times the analysis at each level with two processes that
// spin on the processor beside it (as an editor and a browser would beside
// the program), and gives its wall time over its CPU time there: summed
// over the runs, as each run's share of the processors varies.
// --sites=DIR keeps the generated corpora in DIR (made once, reused);
// --only=a,b runs those corpora alone; --runs=N sets the runs per measure.
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "analysis/CfmlRules.h"
#include "analysis/ReferenceAnalysis.h"
#include "bench/analysis/Sites.h"
#include "match/NameMatcher.h"
#include "platform/FileSystem.h"

#ifdef QUILMERE_HAVE_HYPERSCAN
#include <hs/hs.h>
#endif

namespace fs = std::filesystem;
using benchsites::Site;
using match::TNameMatcher;
using match::TVectorLevel;

namespace {

constexpr std::size_t BlockSize = 65536;
constexpr double GuardRatio = 2.0;

struct Options {
  bool quick = false;
  bool peers = true;  // the plain rule and Hyperscan
  bool guard = false;
  bool load = false;
  int runs = 0;  // 0: 3 quick, 5 else
  std::string sites;
  std::string archives = QUILMERE_CORPORA_ARCHIVES;
  std::vector<std::string> only;
};

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

struct Best {
  double wall = std::numeric_limits<double>::infinity();
  double cpu = std::numeric_limits<double>::infinity();
  bool Has() const { return wall != std::numeric_limits<double>::infinity(); }
};

// Wall and CPU time summed over runs.
struct Sum {
  double wall = 0, cpu = 0;
  bool Has() const { return cpu > 0; }
};

void Time(Best& best, const std::function<void()>& run, Sum* sum = nullptr) {
  const auto start = std::chrono::steady_clock::now();
  const double cpu = CpuSeconds();
  run();
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  best.wall = std::min(best.wall, wall);
  best.cpu = std::min(best.cpu, CpuSeconds() - cpu);
  if (sum != nullptr) {
    sum->wall += wall;
    sum->cpu += CpuSeconds() - cpu;
  }
}

// Processes that spin on the processor while it lives. A child runs nothing
// but its loop, so forking from a process with threads is safe.
class TSpinners {
 public:
  explicit TSpinners(int count) {
    for (int k = 0; k < count; ++k) {
      const pid_t pid = fork();
      if (pid == 0) {
        volatile unsigned long spin = 0;
        for (;;) spin = spin + 1;
      }
      if (pid > 0) pids_.push_back(pid);
    }
    usleep(100000);  // let the scheduler see them
  }
  ~TSpinners() {
    for (const pid_t pid : pids_) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
  TSpinners(const TSpinners&) = delete;
  TSpinners& operator=(const TSpinners&) = delete;

 private:
  std::vector<pid_t> pids_;
};

std::size_t ReadFloor(const Site& site) {
  std::vector<char> block(BlockSize);
  std::size_t total = 0;
  for (std::int32_t e : site.read) {
    platform::InputFile file(site.PathOf(e));
    for (std::size_t n; (n = file.Read(block.data(), BlockSize)) != 0;) total += n;
  }
  return total;
}

void Analyze(const Site& site, TVectorLevel level, analysis::TRuleSet rules) {
  TNameMatcher::LimitVectorLevel(level);
  auto table = std::make_unique<analysis::TFileTable>(*site.table);
  analysis::AnalyzeReferences(*table, "cfm", nullptr, nullptr, {}, rules);
}

#ifdef QUILMERE_HAVE_HYPERSCAN
// Hyperscan over the names, tag names and CFML literals, the names found
// once per text and the literals at every place; compiled in each run, as
// our matcher is built in each analysis.
class Hyperscan {
 public:
  explicit Hyperscan(const Site& site) : site_(site) {
    const analysis::TFileTable& t = *site.table;
    for (std::int32_t i = 1; i <= t.FileCount; ++i) {
      if (!t[i].TagName.empty()) names_.push_back(t[i].TagName);
      names_.push_back(t[i].Name);
    }
    std::vector<bool> positional(names_.size(), false);
    analysis::TFileTable copy = t;
    analysis::TCfmlRules rules(copy, copy.FileCount, names_, positional);
    for (std::size_t k = 0; k < names_.size(); ++k) {
      literals_.push_back(names_[k].data());
      lengths_.push_back(names_[k].size());
      flags_.push_back(HS_FLAG_CASELESS | (positional[k] ? 0 : HS_FLAG_SINGLEMATCH));
      ids_.push_back(static_cast<unsigned>(k));
    }
  }
  bool Run() {
    hs_database_t* db = nullptr;
    hs_compile_error_t* error = nullptr;
    if (hs_compile_lit_multi(literals_.data(), flags_.data(), ids_.data(), lengths_.data(),
                             static_cast<unsigned>(literals_.size()), HS_MODE_STREAM, nullptr, &db,
                             &error) != HS_SUCCESS) {
      hs_free_compile_error(error);
      return false;
    }
    hs_scratch_t* scratch = nullptr;
    hs_alloc_scratch(db, &scratch);
    std::vector<char> block(BlockSize);
    for (std::int32_t e : site_.read) {
      hs_stream_t* stream = nullptr;
      hs_open_stream(db, 0, &stream);
      platform::InputFile file(site_.PathOf(e));
      for (std::size_t n; (n = file.Read(block.data(), BlockSize)) != 0;) {
        hs_scan_stream(stream, block.data(), static_cast<unsigned>(n), 0, scratch, OnMatch, &matches_);
      }
      hs_close_stream(stream, scratch, OnMatch, &matches_);
    }
    hs_free_scratch(scratch);
    hs_free_database(db);
    return true;
  }

 private:
  static int OnMatch(unsigned, unsigned long long, unsigned long long, unsigned, void* count) {
    ++*static_cast<std::size_t*>(count);
    return 0;
  }
  const Site& site_;
  std::vector<std::string> names_;
  std::vector<const char*> literals_;
  std::vector<std::size_t> lengths_;
  std::vector<unsigned> flags_, ids_;
  std::size_t matches_ = 0;
};
#endif

const char* LevelName(TVectorLevel level) {
  return level == TVectorLevel::None ? "scalar" : level == TVectorLevel::Avx2 ? "avx2" : "avx512";
}

// A generated corpus below dir (a temp folder when dir is empty), written
// once: a marker file says it is complete.
std::unique_ptr<Site> Generated(const std::string& name, const std::string& dir,
                                const std::function<void(const std::string&)>& write) {
  const bool temporary = dir.empty();
  const std::string root = temporary ? benchsites::TempFolder() : dir + "/" + name + "/";
  if (temporary || !fs::exists(root + ".complete")) {
    std::error_code ec;
    fs::remove_all(root, ec);
    fs::create_directories(root);
    std::printf("writing %s...\n", name.c_str());
    std::fflush(stdout);
    write(root);
    if (!temporary) std::ofstream(root + ".complete");
  }
  auto site = benchsites::LoadSite(name, root);
  site->temporary = temporary;
  return site;
}

// A real tree, unpacked from archives/name.tar.xz into the build tree once.
std::unique_ptr<Site> RealTree(const std::string& name, const Options& o) {
  const std::string into = QUILMERE_CORPORA_DIR;
  const std::string root = into + "/" + name + "/";
  if (!fs::exists(into + "/." + name + ".complete")) {
    const std::string archive = o.archives + "/" + name + ".tar.xz";
    if (!fs::exists(archive)) {
      std::printf("%s skipped: no %s\n", name.c_str(), archive.c_str());
      return nullptr;
    }
    std::printf("unpacking %s...\n", archive.c_str());
    std::fflush(stdout);
    fs::create_directories(into);
    const std::string command = "tar -xJf '" + archive + "' -C '" + into + "'";
    if (std::system(command.c_str()) != 0 || !fs::exists(root)) {
      std::printf("%s skipped: unpacking failed\n", name.c_str());
      return nullptr;
    }
    std::ofstream(into + "/." + name + ".complete");
  }
  return benchsites::LoadSite(name, root);
}

struct Row {
  std::string site;
  TVectorLevel level;
  Best floor, analysis, automaton, plain, hyperscan;
  Sum loaded;  // the analysis with two spinners beside it
};

// Every measure of one site, in turn, runs times; then a row per level.
std::vector<Row> Measure(const Site& site, const std::vector<TVectorLevel>& levels, int runs,
                         bool peers, bool load) {
  Best floor, plain, hyperscan;
  std::map<TVectorLevel, Best> analysis;
#ifdef QUILMERE_HAVE_HYPERSCAN
  std::optional<Hyperscan> hs;
  if (peers) hs.emplace(site);
#endif
  for (int r = 0; r < runs; ++r) {
    Time(floor, [&] { ReadFloor(site); });
    for (TVectorLevel level : levels) {
      Time(analysis[level], [&] { Analyze(site, level, analysis::TRuleSet::Cfml); });
    }
    if (!peers) continue;
    Time(plain, [&] { Analyze(site, TVectorLevel::None, analysis::TRuleSet::Plain); });
#ifdef QUILMERE_HAVE_HYPERSCAN
    Time(hyperscan, [&] { hs->Run(); });
#endif
  }
  std::map<TVectorLevel, Sum> loaded;
  if (load) {
    const TSpinners spinners(2);
    for (int r = 0; r < runs; ++r) {
      for (TVectorLevel level : levels) {
        Best ignored;
        Time(ignored, [&] { Analyze(site, level, analysis::TRuleSet::Cfml); }, &loaded[level]);
      }
    }
  }
  std::vector<Row> rows;
  for (TVectorLevel level : levels) {
    rows.push_back({site.name, level, floor, analysis[level], analysis[TVectorLevel::None], plain,
                    hyperscan, loaded[level]});
  }
  return rows;
}

std::string Ms(const Best& b) {
  if (!b.Has()) return "-";
  char s[64];
  std::snprintf(s, sizeof s, "%.1f / %.1f", b.wall * 1e3, b.cpu * 1e3);
  return s;
}

std::string Ratio(double a, double b) {
  if (b == std::numeric_limits<double>::infinity()) return "-";
  char s[32];
  std::snprintf(s, sizeof s, "%.2f", a / b);
  return s;
}

bool Wanted(const Options& o, const std::string& name) {
  return o.only.empty() || std::find(o.only.begin(), o.only.end(), name) != o.only.end();
}

Options Parse(int argc, char** argv) {
  Options o;
  for (int k = 1; k < argc; ++k) {
    const std::string a = argv[k];
    if (a == "--quick") {
      o.quick = true;
    } else if (a == "--load") {
      o.load = true;
    } else if (a == "--guard") {
      o.guard = true;
    } else if (a.starts_with("--runs=")) {
      o.runs = std::stoi(a.substr(7));
    } else if (a.starts_with("--sites=")) {
      o.sites = a.substr(8);
    } else if (a.starts_with("--archives=")) {
      o.archives = a.substr(11);
    } else if (a.starts_with("--only=")) {
      std::string list = a.substr(7) + ",";
      for (std::size_t at; (at = list.find(',')) != std::string::npos; list.erase(0, at + 1)) {
        if (at > 0) o.only.push_back(list.substr(0, at));
      }
    } else {
      std::fprintf(stderr, "usage: %s [--quick] [--guard] [--load] [--runs=N] [--sites=DIR] "
                   "[--archives=DIR] [--only=generated,names,files,preside,masa,high]\n", argv[0]);
      std::exit(2);
    }
  }
  if (o.runs <= 0) o.runs = o.quick ? 3 : 5;
  o.peers = !o.quick;
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  const Options o = Parse(argc, argv);
  std::vector<TVectorLevel> levels;
  for (TVectorLevel level : {TVectorLevel::None, TVectorLevel::Avx2, TVectorLevel::Avx512}) {
    if (level <= match::SupportedVectorLevel()) levels.push_back(level);
  }
  const bool q = o.quick;
  using Maker = std::function<std::unique_ptr<Site>()>;
  const std::vector<std::pair<std::string, Maker>> corpora = {
      {"generated", [&] { return Generated(q ? "generated-quick" : "generated", o.sites,
                                           [&](const std::string& r) { benchsites::WriteGeneratedSite(r, q ? 4 : 200); }); }},
      {"names", [&] { return Generated(q ? "names-quick" : "names", o.sites,
                                       [&](const std::string& r) { benchsites::WriteManyFiles(r, q ? 1000 : 10000, 2048); }); }},
      {"files", [&] { return Generated(q ? "files-quick" : "files", o.sites,
                                       [&](const std::string& r) { benchsites::WriteManyFiles(r, q ? 3000 : 100000, 2048); }); }},
      {"preside", [&] { return RealTree("preside", o); }},
      {"masa", [&] { return RealTree("masa", o); }},
      {"high", [&] { return Generated(q ? "high-quick" : "high", o.sites,
                                      [&](const std::string& r) { benchsites::WriteHighBytes(r, q ? 4 : 64); }); }},
  };
  std::vector<Row> rows;
  for (const auto& [name, make] : corpora) {
    if (!Wanted(o, name)) continue;
    std::unique_ptr<Site> site = make();
    if (!site) continue;
    site->name = name;
    std::printf("%s: %d files, %zu read, %.1f MB read\n", name.c_str(), site->table->FileCount,
                site->read.size(), static_cast<double>(site->readBytes) / 1e6);
    std::fflush(stdout);
    for (Row& row : Measure(*site, levels, o.runs, o.peers, o.load)) rows.push_back(row);
  }

  std::printf("\nBest of %d runs, milliseconds, wall / CPU (all threads):\n\n", o.runs);
  std::printf("| corpus | level | read floor | analysis | plain automaton | Hyperscan | "
              "analysis / floor | analysis / automaton | analysis / plain automaton |%s\n",
              o.load ? " under load: analysis | under load: wall / CPU |" : "");
  std::printf("|---|---|---|---|---|---|---|---|---|%s\n", o.load ? "---|---|" : "");
  bool failed = false;
  for (const Row& r : rows) {
    std::printf("| %s | %s | %s | %s | %s | %s | %s / %s | %s / %s | %s / %s |", r.site.c_str(),
                LevelName(r.level), Ms(r.floor).c_str(), Ms(r.analysis).c_str(),
                Ms(r.plain).c_str(), Ms(r.hyperscan).c_str(),
                Ratio(r.analysis.wall, r.floor.wall).c_str(), Ratio(r.analysis.cpu, r.floor.cpu).c_str(),
                Ratio(r.analysis.wall, r.automaton.wall).c_str(), Ratio(r.analysis.cpu, r.automaton.cpu).c_str(),
                Ratio(r.analysis.wall, r.plain.wall).c_str(), Ratio(r.analysis.cpu, r.plain.cpu).c_str());
    if (o.load) {
      const double runs = o.runs;
      std::printf(" %s | %s |", Ms({r.loaded.wall / runs, r.loaded.cpu / runs}).c_str(),
                  r.loaded.Has() ? Ratio(r.loaded.wall, r.loaded.cpu).c_str() : "-");
    }
    std::printf("\n");
  }
  std::printf("\n(ratios: by wall time / by CPU time; the automaton: the same analysis at the "
              "scalar level%s)\n",
              o.load ? "; under load: two spinning processes beside it, mean of the runs, and "
                       "their wall time over their CPU time" : "");
  if (o.guard) {
    for (const Row& r : rows) {
      if (r.analysis.wall > GuardRatio * r.automaton.wall &&
          r.analysis.cpu > GuardRatio * r.automaton.cpu) {
        failed = true;
        std::printf("GUARD: %s at %s: the analysis takes %.2f x (wall) and %.2f x (CPU) the "
                    "automaton, more than %.0f x\n", r.site.c_str(), LevelName(r.level),
                    r.analysis.wall / r.automaton.wall, r.analysis.cpu / r.automaton.cpu, GuardRatio);
      }
    }
    if (failed) return 1;
    std::printf("guard: every corpus and level within %.0f x the automaton\n", GuardRatio);
  }
  return 0;
}
