#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "analysis/FileTable.h"

// The benchmarks' sites: trees on disk, scanned into a table with no file
// limit, and the entries the analysis (with the CFML rules) reads.
namespace benchsites {

struct Site {
  std::string name;
  std::string root;  // ends in "/"
  std::unique_ptr<analysis::TFileTable> table;
  std::vector<std::int32_t> read;  // entries the analysis reads, in order
  std::size_t readBytes = 0;
  bool temporary = false;          // removed with the site
  ~Site();
  std::string PathOf(std::int32_t e) const;
};

// A new empty folder in the temp folder, ending in "/".
std::string TempFolder();

// Scans root and finds what the analysis reads.
std::unique_ptr<Site> LoadSite(const std::string& name, const std::string& root);

// The generated site: 1000 files in nested folders, 40 % of them pages,
// includes, HTML, style sheets and scripts with megabytes of text in all,
// which names most of the other files; written below root.
void WriteGeneratedSite(const std::string& root, std::size_t megabytes);

// Many small files: count files (40 % texts of about textBytes each, the
// others binary stubs) in folders of 100, each text naming a few others.
void WriteManyFiles(const std::string& root, std::size_t count, std::size_t textBytes);

// Texts of bytes >= 0x80 only (megabytes in all, in 64 pages), beside 200
// other files whose names the matcher looks for.
void WriteHighBytes(const std::string& root, std::size_t megabytes);

}  // namespace benchsites
