#include "bench/analysis/Sites.h"

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

#include "analysis/CfmlRules.h"
#include "analysis/DirectoryScan.h"
#include "analysis/ReferenceAnalysis.h"
#include "platform/FileId.h"
#include "platform/FileSystem.h"

namespace fs = std::filesystem;

namespace benchsites {

namespace {

const char* const Words[] = {"product", "list",   "detail", "news",    "contact", "about",
                             "cart",    "order",  "user",   "admin",   "report",  "search",
                             "gallery", "photo",  "banner", "logo",    "menu",    "footer",
                             "header",  "style",  "script", "util",    "form",    "login",
                             "table",   "item",   "price",  "category", "page",   "index"};
const char* const Markup[] = {"<td class=\"", "\">", "</td>\n", "<cfoutput>", "</cfoutput>",
                              "#form.", "#", " ", " ", " ", "\n", "<a href=\"", "<div id=\"",
                              "</div>", "<cfif ", " eq ", "<cfset ", " = ", ".", "_", "; "};
const char* const ReadExt[] = {".cfm", ".cfm", ".cfm", ".cfm", ".cfm", ".inc", ".htm", ".html",
                               ".css", ".js"};
const char* const OtherExt[] = {".gif", ".jpg", ".png", ".pdf", ".txt", ".swf"};

struct Planned {
  std::string path, name;
  bool text;
};

class Random {
 public:
  explicit Random(unsigned seed) : rng_(seed) {}
  std::size_t Pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_); }
  std::string Number(int below) { return std::to_string(Pick(static_cast<std::size_t>(below))); }

 private:
  std::mt19937 rng_;
};

// A pool of markup and words to cut the texts from.
std::string Pool(Random& r, std::size_t size) {
  std::string pool;
  while (pool.size() < size) {
    pool += r.Pick(3) == 0 ? Markup[r.Pick(std::size(Markup))] : Words[r.Pick(30)];
    if (r.Pick(4) == 0) pool += r.Number(1000);
  }
  return pool;
}

// Texts cut from the pool, each naming files of plan (nine in ten of
// them can be named) every piece, until each is perText long.
void WriteTexts(const std::string& root, const std::vector<Planned>& plan, Random& r,
                const std::string& pool, std::size_t perText, std::size_t pieceMax) {
  for (const Planned& f : plan) {
    fs::create_directories(fs::path(root + f.path).parent_path());
    std::ofstream out(root + f.path, std::ios::binary);
    if (!f.text) {
      out << "binary";
      continue;
    }
    std::string text;
    text.reserve(perText + pieceMax + 256);
    while (text.size() < perText) {
      const std::size_t length = pieceMax / 8 + r.Pick(pieceMax - pieceMax / 8);
      text.append(pool, r.Pick(pool.size() - length), length);
      const Planned& target = plan[r.Pick(plan.size() * 9 / 10)];
      if (target.name.size() > 4 && target.name.ends_with(".cfm") && r.Pick(2) == 0) {
        text += "<cf_" + target.name.substr(0, target.name.size() - 4) + ">";
      } else {
        text += "<a href=\"" + target.path + "\">";
      }
    }
    out << text;
  }
}

}  // namespace

Site::~Site() {
  std::error_code ec;
  if (temporary && !root.empty()) fs::remove_all(root, ec);
}

std::string Site::PathOf(std::int32_t e) const { return (*table)[e].Directory + (*table)[e].Name; }

std::string TempFolder() {
  std::string pattern = (fs::temp_directory_path() / "quilmere-bench-XXXXXX").string();
  return std::string(mkdtemp(pattern.data())) + "/";
}

std::unique_ptr<Site> LoadSite(const std::string& name, const std::string& root) {
  auto site = std::make_unique<Site>();
  site->name = name;
  site->root = root.ends_with('/') ? root : root + "/";
  site->table = std::make_unique<analysis::TFileTable>(analysis::NoFileLimit);
  platform::PosixDirectorySource source;
  // As the program scans a project: the folders above it are no part of it.
  site->table->Reset(site->root, platform::IdentityOf(site->root));
  analysis::ScanDirectory(site->root, *site->table, source, nullptr);
  // Which entries the analysis (with the CFML rules) reads: its status text
  // for entry e comes after the entry-file test and before the decision, when
  // Checked is what the plain rule's decision sees.
  analysis::TFileTable probe = *site->table;
  std::int32_t e = 0;
  analysis::AnalyzeReferences(probe, "cfm", [&](const std::string& s) {
    if (s == "  Analyze...") return;
    ++e;
    const std::string ext = analysis::UpperExtension(probe[e].Name);
    if (ext == ".CFM" || ext == ".INC" || ext == ".HTM" || ext == ".CSS" || ext == ".JS" ||
        (ext == ".HTML" && probe[e].Checked == 1) || analysis::TCfmlRules::IsReadExtension(ext)) {
      site->read.push_back(e);
    }
  }, nullptr, {}, analysis::TRuleSet::Cfml);
  for (std::int32_t r : site->read) site->readBytes += fs::file_size(site->PathOf(r));
  return site;
}

void WriteGeneratedSite(const std::string& root, std::size_t megabytes) {
  Random r(2024);
  const std::vector<std::string> dirs = {"",          "inc/",        "css/",   "js/",
                                         "pages/",    "pages/shop/", "pages/shop/old/",
                                         "pages/news/", "img/",      "img/icons/", "docs/"};
  std::vector<Planned> plan;
  std::vector<std::string> seen;
  while (plan.size() < 1000) {
    const bool text = plan.size() % 5 < 2;  // 40 %
    std::string name = std::string(Words[r.Pick(30)]) + "_" + Words[r.Pick(30)] + "_" + r.Number(100);
    name += text ? ReadExt[r.Pick(10)] : OtherExt[r.Pick(6)];
    if (std::find(seen.begin(), seen.end(), name) != seen.end()) continue;
    seen.push_back(name);
    plan.push_back({dirs[r.Pick(dirs.size())] + name, name, text});
  }
  const std::string pool = Pool(r, std::size_t{4} << 20);
  WriteTexts(root, plan, r, pool, (megabytes << 20) / 400, 8000);
}

void WriteManyFiles(const std::string& root, std::size_t count, std::size_t textBytes) {
  Random r(2025);
  std::vector<Planned> plan;
  for (std::size_t k = 0; k < count; ++k) {
    const bool text = k % 5 < 2;
    const std::string name = std::string(Words[r.Pick(30)]) + "_" + Words[r.Pick(30)] + "_" +
                             std::to_string(k) + (text ? ReadExt[r.Pick(10)] : OtherExt[r.Pick(6)]);
    plan.push_back({"d" + std::to_string(k / 100) + "/" + name, name, text});
  }
  const std::string pool = Pool(r, std::size_t{1} << 20);
  WriteTexts(root, plan, r, pool, textBytes, std::max<std::size_t>(64, textBytes / 4));
}

void WriteHighBytes(const std::string& root, std::size_t megabytes) {
  Random r(2026);
  for (int k = 0; k < 200; ++k) {
    std::ofstream(root + Words[k % 30] + "_" + std::to_string(k) + OtherExt[k % 6]) << "binary";
  }
  const std::size_t perPage = (megabytes << 20) / 64;
  for (int k = 0; k < 64; ++k) {
    std::string text(perPage, '\0');
    for (char& c : text) c = static_cast<char>(0x80 + r.Pick(128));
    std::ofstream(root + "page" + std::to_string(k) + ".cfm", std::ios::binary) << text;
  }
}

}  // namespace benchsites
