#include "analysis/CfmlRules.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstring>
#include <functional>
#include <map>
#include <optional>


#include "analysis/BlockMarks.h"
#include "analysis/ByteRows.h"
#include "analysis/CfmlFileKinds.h"
#include "analysis/EditorPlugins.h"
#include "analysis/FolderLiterals.h"
#include "analysis/ModuleSpecifiers.h"
#include "analysis/NameSuffixes.h"
#include "analysis/RangeMarker.h"
#include "analysis/SchemaRefs.h"
#include "analysis/StyleImports.h"
#include "analysis/ReferenceAnalysis.h"
#include "analysis/TextWindow.h"
#include "platform/AsciiText.h"
#include "platform/Attributes.h"
#include "platform/FileSystem.h"

namespace analysis {

namespace {

// Bounds of the looks around a place: longer runs are not what the rules
// look for, and cutting them keeps every check short.
constexpr std::int64_t MaxBlanks = 64;       // blanks between a quote and "&"
constexpr std::int64_t MaxPrefixValue = 64;  // prefix="..."
constexpr std::int64_t MaxStatement = 256;   // this.mappings[...] = ...;
constexpr std::int64_t MaxLiteral = 256;     // back to a string's opening quote
constexpr std::int64_t MaxPrefixToken = 256; // a literal prefix before '" &' 
constexpr std::size_t MaxSettingsFile = 1 << 20;  // read of Application.cfc for mappings

constexpr TByteClass PrefixOpeners("\"'./\\");       // before a literal prefix
constexpr TByteClass TemplateOpeners("\"'./\\#=");   // before a template's stem
constexpr TByteClass TemplateClosers("\"'&");         // after it
constexpr TByteClass ImportEnds("\"'; \t\r\n");       // after "D.*"

// Four bytes as one key.
std::uint32_t Pack(const char* b) {
  std::uint32_t key;
  std::memcpy(&key, b, sizeof key);
  return key;
}

std::string Stem(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

// The folders of a directory below the project directory, upper-cased,
// outermost first. Where the project lies plays no part: the folders above
// it (and its own name) are cut, and "." and ".." name no folder.
std::vector<std::string> Folders(const std::string& directory, const std::string& project) {
  std::vector<std::string> parts;
  std::size_t start = directory.starts_with(project) ? project.size() : 0;
  while (start < directory.size()) {
    std::size_t end = directory.find(platform::PathDelimiter, start);
    if (end == std::string::npos) end = directory.size();
    const std::string part = directory.substr(start, end - start);
    if (!part.empty() && part != "." && part != "..") parts.push_back(UpperAscii(part));
    start = end + 1;
  }
  return parts;
}

// The base names a resource bundle file answers to: B for B.properties,
// B_ll.properties and B_ll_CC.properties (ll, CC two letters).
std::vector<std::string> BundleNames(const std::string& stem) {
  std::vector<std::string> names{stem};
  auto letters = [&](std::size_t at) {
    return at + 2 <= stem.size() && std::isalpha(static_cast<unsigned char>(stem[at])) &&
           std::isalpha(static_cast<unsigned char>(stem[at + 1]));
  };
  const std::size_t n = stem.size();
  if (n > 3 && stem[n - 3] == '_' && letters(n - 2)) {
    names.push_back(stem.substr(0, n - 3));
    if (n > 6 && stem[n - 6] == '_' && letters(n - 5)) names.push_back(stem.substr(0, n - 6));
  }
  return names;
}

// The first limit bytes of the file at path; nothing when it cannot be read
// (the analysis reports that when it reads the file itself).
std::string ReadHead(const std::string& path, std::size_t limit) {
  std::string text;
  try {
    platform::InputFile file(path);
    char block[65536];
    for (std::size_t n; text.size() < limit && (n = file.Read(block, sizeof block)) != 0;) {
      text.append(block, std::min(n, limit - text.size()));
    }
  } catch (const platform::IoError&) {
    text.clear();
  }
  return text;
}

// What the aliases of a run have used of their budget so far.
struct AliasBudget {
  std::size_t count = 0;
  std::size_t bytes = 0;   // of their names and folders
  std::size_t read = 0;    // of the application files read for them
};

// The aliases that this.mappings["/name"] = ... "folder" ...; statements of
// text make: each name (its last path segment, upper-cased) stands for the
// last folder of the statement's last string literal. Reading stops at the
// first alias that would exceed the budget.
void ReadMappings(const std::string& text,
                  std::map<std::string, std::vector<std::string>>& aliases,
                  AliasBudget& budget) {
  std::size_t inFile = 0;
  static const std::string kMappings = "THIS.MAPPINGS[";
  const std::string upper = UpperAscii(text);
  auto lastSegment = [](std::string s) {
    while (!s.empty() && (s.back() == '/' || s.back() == '\\')) s.pop_back();
    const std::size_t cut = s.find_last_of("/\\");
    return cut == std::string::npos ? s : s.substr(cut + 1);
  };
  for (std::size_t at = upper.find(kMappings); at != std::string::npos;
       at = upper.find(kMappings, at + 1)) {
    std::size_t o = at + kMappings.size();
    if (o >= upper.size() || !IsQuote(upper[o])) continue;
    const char quote = upper[o];
    const std::size_t close = upper.find(quote, o + 1);
    if (close == std::string::npos || close - o > MaxPrefixValue) continue;
    const std::string name = lastSegment(upper.substr(o + 1, close - o - 1));
    // The statement: up to ";" or the end of the line, within bounds.
    std::string literal, last;
    char open = 0;
    bool assigned = false;
    for (o = close + 1; o < upper.size() && o - close <= MaxStatement; ++o) {
      const char c = upper[o];
      if (open == 0 && (c == ';' || c == '\n')) break;
      if (open != 0) {
        if (c == open) {
          last = literal;
          open = 0;
        } else {
          literal += c;
        }
      } else if (c == '=') {
        assigned = true;
      } else if (IsQuote(c) && assigned) {
        open = c;
        literal.clear();
      }
    }
    const std::string folder = lastSegment(last);
    if (name.empty() || folder.empty()) continue;
    const std::size_t bytes = name.size() + folder.size();
    if (inFile == TCfmlRules::MaxAliasesPerFile || budget.count == TCfmlRules::MaxAliases ||
        bytes > TCfmlRules::MaxAliasBytes - budget.bytes) {
      return;
    }
    ++inFile;
    ++budget.count;
    budget.bytes += bytes;
    aliases[name].push_back(folder);
  }
}

enum class Kind : std::uint8_t {
  // Found once per text.
  CustomTag,       // cf_<stem> of a CFML file other than .cfm
  OrmEnabled,      // "ormenabled" anywhere switches the ORM on
  LoadPaths,       // "loadPaths" anywhere switches Java load paths on
  Persistent,      // persistent="true" in a component's own text
  RemoteAccess,    // access="remote" or restpath= in a component's own text
  Extends,         // "extends" in a component's own text
  JavaFolder,      // the last two folders of a .jar or .class file
  // Positional: checked at every place.
  Stem,            // a stem: of a component, a template, a tag or a bundle
  FolderPath,      // D/#, D.#, D\#, D/" & ..., D.* : D a folder or an alias
  PrefixDecl,      // prefix= before a quote
  Package,         // A.B or A/B ending a string literal
  TestBase,        // TestCase or BaseSpec ending a name
  Describe,        // describe(
  It,              // it(
  Remote,          // the token "remote"
  Rest,            // rest="true"
  FolderLiteral,   // "A/B/" of a folder B in A, closing a path literal
  Module,          // a quote and "./" or "../" in a script
  EditorPlugin,    // the name of an editor plugin's folder
};

// What a read text is, for the rules that look at one kind only.
enum class TextKind : std::uint8_t {
  Other,        // pages, style sheets, markup, configuration
  StyleSource,  // .scss, .sass, .less: their imports
  Script,       // .js, .mjs, .ts, .vue: their module specifiers
  Schema,       // .json, .yml, .yaml: read for their "$ref" values alone
};

TextKind KindOfText(const std::string& path) {
  const std::string ext = UpperExtension(path);
  if (OneOf(ext, {".SCSS", ".SASS", ".LESS"})) return TextKind::StyleSource;
  if (OneOf(ext, {".JS", ".MJS", ".TS", ".VUE"})) return TextKind::Script;
  if (OneOf(ext, {".JSON", ".YML", ".YAML"})) return TextKind::Schema;
  return TextKind::Other;
}

struct Pattern {
  Kind kind;
  std::uint32_t group;  // into owners, packages or stems by kind
};

// The files one stem (upper-cased) can stand for, as owner groups (None when
// there are none): a component named by its dotted path's last part, a
// template named without extension (bundles too), a tag of a tag library
// (<p:stem, or <stem with an empty prefix).
struct StemGroups {
  static constexpr std::uint32_t None = UINT32_MAX;
  std::uint32_t components = None;
  std::uint32_t templates = None;
  std::uint32_t tags = None;
};

// A place whose check waits for bytes that are not read yet.
struct Waiting {
  std::uint32_t id;     // the pattern
  std::int64_t offset;  // the match's end
};

}  // namespace

struct TCfmlRules::Impl {
  TFileTable& table;
  std::int32_t count;
  std::uint32_t base = 0;  // the first pattern id of these rules
  std::size_t aliasCount = 0;
  std::vector<Pattern> patterns;
  std::vector<std::vector<std::int32_t>> owners;  // entry groups of patterns
  std::vector<StemGroups> stemGroups;

  // Files below folders, by upper-cased folder name: CFML files at any depth
  // and other files directly inside.
  std::unordered_map<std::string, std::vector<std::int32_t>> folderEntries;
  std::vector<std::vector<std::int32_t>> packageEntries;  // by package group
  // CFML files by upper-cased stem, sorted, for literal prefixes.
  std::vector<std::pair<std::string, std::int32_t>> stems;
  RangeMarker prefixMarks{0};
  // The literal prefixes (upper-cased, 4 bytes or more) of those stems, by
  // group, and whether each was applied whole already.
  std::vector<std::string> namePrefixes;
  std::vector<char> prefixApplied;
  std::unordered_map<std::string, std::uint32_t> prefixGroup;
  // The first 4 bytes of those stems, by group, with the run of stems that
  // start with them (anchorOf: the group of those bytes, packed); and the
  // bytes that occur in some stem.
  struct Anchor {
    std::size_t lo = 0, hi = 0;
  };
  std::vector<Anchor> anchors;
  std::unordered_map<std::uint32_t, std::uint32_t> anchorOf;
  std::size_t longestStem = 0;
  bool stemByte[256] = {};
  bool stemByteEither[256] = {};  // a stem byte in either case
  // The same, and the prefix openers, 32 bytes at a time, where usable.
  TByteRows stemRows, openerRows{PrefixOpeners.has};
  const bool rowsUsable = TByteRows::Usable();
  // The folders each folder pattern stands for: the folder of that name and
  // the folders of an alias of that name.
  std::vector<std::vector<std::string>> folderTargets;
  // Files by upper-cased name, and index.js files by their folder's, for
  // the rules that compute a name: imports, module specifiers, "$ref".
  std::unordered_map<std::string, std::vector<std::int32_t>> byName;
  std::unordered_map<std::string, std::vector<std::int32_t>> indexScripts;
  // By group: every file marked (the literal retires), or the number of
  // the last text that marked all but its own file (so that a text inside
  // the folder goes over the files once, not at each of its places).
  TFolderLiterals folderLiterals;
  std::vector<char> folderLiteralDone;
  std::vector<std::uint32_t> folderLiteralText;
  TEditorPlugins editorPlugins;
  std::vector<char> pluginDone;
  std::vector<std::uint32_t> pluginText;
  std::optional<TNameSuffixes> nameSuffixes;

  // Run state.
  std::vector<char> used;  // marked by these rules
  bool ormEnabled = false;
  bool loadPaths = false;
  bool emptyPrefix = false;
  std::unordered_set<std::string> prefixes;
  // <p:stem seen: p -> owner groups, with the first text that used each.
  std::unordered_map<std::string, std::map<std::uint32_t, std::string>> prefixedTags;
  std::map<std::uint32_t, std::string> emptyPrefixTags;  // group -> first text
  std::unordered_set<std::string> foldersMarked;
  std::vector<std::pair<std::int32_t, std::string>> persistent;  // entity components
  std::map<std::uint32_t, std::string> javaFolders;              // group -> first text

  // Text state.
  std::int32_t entry = 0;
  std::string path;
  bool isComponent = false;
  TextKind textKind = TextKind::Other;
  std::uint32_t textNumber = 0;  // counts the texts from 1
  TStyleImports styleImports{[this](const std::string& stem, std::int64_t at) {
    MarkNamesAtLine(TStyleImports::ImportedNames(stem), TUseRule::StyleImport, at);
  }};
  TSchemaRefs schemaRefs{[this](const std::string& name, std::int64_t at) {
    MarkNamesAtLine({UpperAscii(name)}, TUseRule::SchemaRef, at);
  }};
  // Where a reason comes from: the place being checked (its line is worked
  // out at the block's end, while its bytes are at hand) or a line that a
  // scanner counted itself.
  std::int64_t reasonPlace = -1;
  std::int64_t reasonLine = 0;
  std::vector<std::int64_t> placeOf;  // by entry: its reason's place, -1 when none waits
  std::vector<std::int32_t> placed;   // the entries whose place waits
  std::int64_t linesBefore = 0;       // line ends before the current block
  std::int64_t blockLines = 0;        // line ends in the current block
  TTextWindow window;
  std::size_t size = 0;  // of the current block
  std::vector<Waiting> waiting;
  // The "#" (and "&") whose suffix looks wait for bytes not read yet.
  std::vector<std::pair<std::int64_t, bool>> suffixWaiting;  // offset, after "&"
  bool testBase = false;
  bool remote = false;
  std::int64_t firstDescribe = -1;
  std::int64_t lastIt = -1;

  Impl(TFileTable& t, std::int32_t n)
      : table(t), count(n), used(static_cast<std::size_t>(n) + 1),
        placeOf(static_cast<std::size_t>(n) + 1, -1) {
    marks.avx2 = rowsUsable;  // the same AVX2 for the block's marks
  }

  // --- building ---------------------------------------------------------

  std::uint32_t Add(std::vector<std::string>& out, std::vector<bool>& positional,
                    const std::string& literal, Kind kind, std::uint32_t group, bool place) {
    out.push_back(literal);
    positional.push_back(place);
    patterns.push_back({kind, group});
    return static_cast<std::uint32_t>(out.size() - 1);
  }
  std::uint32_t Group(std::vector<std::int32_t> entries) {
    owners.push_back(std::move(entries));
    return static_cast<std::uint32_t>(owners.size() - 1);
  }

  // readAliases gives the aliases of this.mappings; it is called once the
  // table's own literals are made, so that the application files' heads
  // are read meanwhile.
  void Build(std::vector<std::string>& out, std::vector<bool>& positional,
             const std::function<std::map<std::string, std::vector<std::string>>()>& readAliases) {
    base = static_cast<std::uint32_t>(out.size());
    std::map<std::string, std::vector<std::int32_t>> components, templates, tags, tagLibs, bundles;
    std::map<std::string, std::vector<std::int32_t>> javaByFolder;
    std::map<std::string, std::uint32_t> packageGroup;
    // The folders of the directory of the entry before, and, as the entries
    // reach them, their lists in folderEntries and their pairs' package
    // groups: the entries of one directory mostly come one after another.
    const std::string* directory = nullptr;
    std::vector<std::string> dirFolders;
    std::vector<std::vector<std::int32_t>*> folderLists;
    std::vector<std::uint32_t> pairGroups;
    for (std::int32_t i = 1; i <= count; ++i) {
      const std::string upper = UpperAscii(table[i].Name);
      const std::string ext = UpperExtension(table[i].Name);
      const std::string stem = Stem(upper);
      if (directory == nullptr || *directory != table[i].Directory) {
        directory = &table[i].Directory;
        dirFolders = Folders(table[i].Directory, table.ProjectDirectory);
        folderLists.assign(dirFolders.size(), nullptr);
        pairGroups.assign(dirFolders.size(), StemGroups::None);
      }
      byName[upper].push_back(i);
      if (upper == "INDEX.JS" && !dirFolders.empty()) indexScripts[dirFolders.back()].push_back(i);
      folderLiterals.Add(i, dirFolders);
      editorPlugins.Add(i, upper, dirFolders, table[i].Directory);
      if (!stem.empty()) {
        if (IsComponent(ext)) components[stem].push_back(i);
        if (IsCfmlTemplate(ext)) templates[stem].push_back(i);
        if (OneOf(ext, {".CFML", ".CFC", ".CFS", ".LUCEE"})) tags["CF_" + stem].push_back(i);
        if (OneOf(ext, {".CFM", ".CFC"})) tagLibs[stem].push_back(i);
        if (ext == ".PROPERTIES") {
          for (const std::string& b : BundleNames(stem)) bundles[b].push_back(i);
        }
        if (IsCfmlFile(ext)) stems.emplace_back(stem, i);
      }
      if (OneOf(ext, {".JAR", ".CLASS"}) && dirFolders.size() >= 2) {
        javaByFolder[dirFolders[dirFolders.size() - 2] + '/' + dirFolders.back()].push_back(i);
      }
      // Folders that hold the file: CFML files count for every folder above
      // them, other files for their own folder only.
      for (std::size_t d = 0; d < dirFolders.size(); ++d) {
        const bool own = d + 1 == dirFolders.size();
        if (!own && !IsCfmlFile(ext)) continue;
        if (folderLists[d] == nullptr) folderLists[d] = &folderEntries[dirFolders[d]];
        folderLists[d]->push_back(i);
        if (d >= 1) {
          if (pairGroups[d] == StemGroups::None) {
            const std::string key = dirFolders[d - 1] + '/' + dirFolders[d];
            auto [it, fresh] = packageGroup.try_emplace(key, packageEntries.size());
            if (fresh) packageEntries.emplace_back();
            pairGroups[d] = it->second;
          }
          packageEntries[pairGroups[d]].push_back(i);
        }
      }
    }
    // One literal per stem: the places decide what it names.
    std::map<std::string, StemGroups> byStem;
    for (auto& [stem, entries] : components) byStem[stem].components = Group(entries);
    for (auto& [stem, entries] : templates) byStem[stem].templates = Group(entries);
    for (auto& [name, entries] : bundles) {
      StemGroups& g = byStem[name];
      if (g.templates == StemGroups::None) {
        g.templates = Group(entries);
      } else {
        owners[g.templates].insert(owners[g.templates].end(), entries.begin(), entries.end());
      }
    }
    for (auto& [stem, entries] : tagLibs) byStem[stem].tags = Group(entries);
    for (auto& [stem, groups] : byStem) {
      stemGroups.push_back(groups);
      Add(out, positional, stem, Kind::Stem, static_cast<std::uint32_t>(stemGroups.size() - 1),
          true);
    }
    for (auto& [tag, entries] : tags) {
      Add(out, positional, tag, Kind::CustomTag, Group(entries), false);
    }
    for (auto& [key, group] : packageGroup) {
      std::string dotted = key;
      std::replace(dotted.begin(), dotted.end(), '/', '.');
      Add(out, positional, key, Kind::Package, group, true);
      Add(out, positional, dotted, Kind::Package, group, true);
    }
    for (auto& [key, entries] : javaByFolder) {
      const std::uint32_t group = Group(entries);
      std::string backslashed = key;
      std::replace(backslashed.begin(), backslashed.end(), '/', '\\');
      Add(out, positional, key, Kind::JavaFolder, group, false);
      Add(out, positional, backslashed, Kind::JavaFolder, group, false);
    }
    // prefix= without its quote: '="' ends far too many places of a page
    // for the matcher's filter; the check reads the quote.
    Add(out, positional, "PREFIX=", Kind::PrefixDecl, 0, true);
    for (const char* q : {"\"", "'"}) {
      Add(out, positional, std::string("PERSISTENT=") + q + "TRUE" + q, Kind::Persistent, 0, false);
      Add(out, positional, std::string("ACCESS=") + q + "REMOTE" + q, Kind::RemoteAccess, 0,
          false);
      Add(out, positional, std::string("REST=") + q + "TRUE" + q, Kind::Rest, 0, true);
    }
    Add(out, positional, "RESTPATH=", Kind::RemoteAccess, 0, false);
    Add(out, positional, "ORMENABLED", Kind::OrmEnabled, 0, false);
    Add(out, positional, "LOADPATHS", Kind::LoadPaths, 0, false);
    Add(out, positional, "EXTENDS", Kind::Extends, 0, false);
    Add(out, positional, "TESTCASE", Kind::TestBase, 0, true);
    Add(out, positional, "BASESPEC", Kind::TestBase, 0, true);
    Add(out, positional, "DESCRIBE(", Kind::Describe, 0, true);
    Add(out, positional, "IT(", Kind::It, 0, true);
    Add(out, positional, "REMOTE", Kind::Remote, 0, true);

    // Literal prefixes: every prefix P of 4 bytes or more of a CFML stem,
    // with an opener before it and "#" after it. They are looked for at each
    // "#" of a text, back over the bytes before it (a byte search: matching
    // an opener and the first bytes of every stem met a place every few
    // dozen bytes), and at each "&" for a prefix in a string joined there.
    std::sort(stems.begin(), stems.end());
    prefixMarks = RangeMarker(stems.size());
    // Each prefix once, in order: a stem's prefixes no longer than what it
    // shares with the stem before it came with that one.
    const std::string* before = nullptr;
    for (const auto& [stem, i] : stems) {
      std::size_t shared = 0;
      if (before != nullptr) {
        const std::size_t most = std::min(before->size(), stem.size());
        while (shared < most && (*before)[shared] == stem[shared]) ++shared;
      }
      for (std::size_t k = std::max<std::size_t>(4, shared + 1); k <= stem.size(); ++k) {
        namePrefixes.push_back(stem.substr(0, k));
      }
      before = &stem;
      for (char c : stem) stemByte[static_cast<unsigned char>(c)] = true;
      longestStem = std::max(longestStem, stem.size());
    }
    for (int c = 0; c < 256; ++c) stemByteEither[c] = stemByte[static_cast<unsigned char>(Fold(c))];
    stemRows = TByteRows(stemByteEither);
    prefixGroup.reserve(namePrefixes.size());
    for (std::size_t k = 0; k < namePrefixes.size(); ++k) {
      prefixGroup.emplace(namePrefixes[k], static_cast<std::uint32_t>(k));
    }
    prefixApplied.assign(namePrefixes.size(), 0);
    for (std::size_t k = 0; k < stems.size();) {
      if (stems[k].first.size() < 4) {
        ++k;
        continue;
      }
      const std::string head = stems[k].first.substr(0, 4);
      Anchor a{k, k};
      while (a.hi < stems.size() && stems[a.hi].first.compare(0, 4, head) == 0) ++a.hi;
      k = a.hi;
      anchorOf.emplace(Pack(head.data()), static_cast<std::uint32_t>(anchors.size()));
      anchors.push_back(a);
    }

    // Paths computed below a folder: its name (or an alias's) then a path
    // separator and "#", or a string closed there and joined with "&", or an
    // import of the whole package.
    const std::map<std::string, std::vector<std::string>> aliases = readAliases();
    std::map<std::string, std::vector<std::string>> targets;
    for (const auto& [folder, entries] : folderEntries) targets[folder].push_back(folder);
    for (const auto& [alias, folders] : aliases) {
      for (const std::string& folder : folders) targets[alias].push_back(folder);
    }
    for (auto& [name, folders] : targets) {
      const auto group = static_cast<std::uint32_t>(folderTargets.size());
      folderTargets.push_back(std::move(folders));
      for (const char* after : {"/#", ".#", "\\#", "/\"", ".\"", "/'", ".'", ".*"}) {
        Add(out, positional, name + after, Kind::FolderPath, group, true);
      }
    }
    BuildComputedNames(out, positional);
  }

  // The rules of their own units: folders named by a path literal, module
  // specifiers, editor plugin lists and literal suffixes.
  void BuildComputedNames(std::vector<std::string>& out, std::vector<bool>& positional) {
    for (const TRuleLiteral& l : folderLiterals.Literals()) {
      Add(out, positional, l.text, Kind::FolderLiteral, l.group, true);
      folderLiteralDone.push_back(0);
      folderLiteralText.push_back(0);
    }
    for (const TRuleLiteral& l : TModuleSpecifiers::Literals()) {
      Add(out, positional, l.text, Kind::Module, l.group, true);
    }
    for (const TRuleLiteral& l : editorPlugins.Literals()) {
      Add(out, positional, l.text, Kind::EditorPlugin, l.group, true);
      pluginDone.push_back(0);
      pluginText.push_back(0);
    }
    nameSuffixes.emplace(stems);
  }

  // --- marking ----------------------------------------------------------

  void Mark(std::int32_t i, TUseRule rule, const std::string& referrer) {
    if (i < 1 || i > count) return;
    used[static_cast<std::size_t>(i)] = 1;
    TFileName& e = table[i];
    std::int64_t& waits = placeOf[static_cast<std::size_t>(i)];
    if (e.Reason == TUseRule::None) {
      e.Reason = rule;
      e.Referrer = referrer;
      e.ReasonLine = static_cast<std::int32_t>(std::min<std::int64_t>(reasonLine, INT32_MAX));
      if (reasonPlace >= 0) {
        waits = reasonPlace;
        placed.push_back(i);
      }
    } else if (waits > reasonPlace && reasonPlace >= 0 && e.Reason == rule) {
      // The same rule again in the same text: its first place gives the
      // line, whatever order the places come in.
      waits = reasonPlace;
    }
  }
  // A reference found in the current text: never to the text's own file.
  void MarkReferenced(std::int32_t i, TUseRule rule) {
    if (i != entry) Mark(i, rule, path);
  }
  void MarkGroup(std::uint32_t group, TUseRule rule) {
    for (std::int32_t i : owners[group]) MarkReferenced(i, rule);
  }
  // The files a computed name stands for (upper-cased names).
  void MarkNames(const std::vector<std::string>& names, TUseRule rule) {
    for (const std::string& name : names) {
      const auto it = byName.find(name);
      if (it == byName.end()) continue;
      for (std::int32_t i : it->second) MarkReferenced(i, rule);
    }
  }
  void MarkNamesAtLine(const std::vector<std::string>& names, TUseRule rule, std::int64_t at) {
    reasonLine = at;
    MarkNames(names, rule);
    reasonLine = 0;
  }

  // Whether a group holds an entry other than the current text's own.
  bool NamesOther(std::uint32_t group) const {
    for (std::int32_t i : owners[group]) {
      if (i != entry) return true;
    }
    return false;
  }
  // A mark decided at the end of the run for a reference found in text.
  void MarkFrom(std::int32_t i, TUseRule rule, const std::string& text) {
    if (table[i].Directory + table[i].Name != text) Mark(i, rule, text);
  }

  // --- bytes ------------------------------------------------------------

  int At(std::int64_t o) const { return window.At(o); }
  std::int64_t TokenStart(std::int64_t end, std::int64_t limit) const {
    return window.TokenStart(end, limit);
  }
  std::string Upper(std::int64_t start, std::int64_t end) const {
    return window.Upper(start, end);
  }
  // --- matches ----------------------------------------------------------

  // Checks the match of pattern id ending at offset end; false when it needs
  // bytes that are not read yet.
  bool Check(std::uint32_t id, std::int64_t end, std::size_t length) {
    const Pattern& p = patterns[id - base];
    const std::int64_t start = end - static_cast<std::int64_t>(length);
    const int before = At(start - 1);
    const int after = At(end);
    switch (p.kind) {
      case Kind::Stem: {
        if (after == LaterByte) return false;
        const StemGroups& g = stemGroups[p.group];
        if (g.components != StemGroups::None && !IsTokenByte(before) && !IsTokenByte(after) &&
            after != '.') {
          MarkGroup(g.components, TUseRule::Component);
        }
        if (g.templates != StemGroups::None && TemplateOpeners(before) &&
            TemplateClosers(after)) {
          MarkGroup(g.templates, TUseRule::Template);
        }
        if (g.tags != StemGroups::None && !IsTokenByte(after)) TagPlace(g.tags, start, before);
        return true;
      }
      case Kind::PrefixDecl:
        if (IsTokenByte(before)) return true;
        if (after == LaterByte) return false;
        if (!IsQuote(after)) return true;
        return ReadPrefix(end + 1, after);
      case Kind::FolderPath: {
        if (IsTokenByte(before)) return true;
        const int tail = At(end - 1);
        if (tail == '*') {
          if (after == LaterByte) return false;
          if (!ImportEnds(after)) return true;
        } else if (IsQuote(tail)) {
          const int joined = JoinedAfter(end);
          if (joined == LaterByte) return false;
          if (joined != '&') return true;
        }
        for (const std::string& folder : folderTargets[p.group]) MarkFolder(folder);
        return true;
      }
      case Kind::Package:
        if (IsTokenByte(before)) return true;
        if (after == LaterByte) return false;
        if (IsQuote(after) && !IsTaglibValue(start, after)) MarkPackage(p.group);
        return true;
      case Kind::TestBase:
        if (after == LaterByte) return false;
        if (!IsTokenByte(after) && after != '.') testBase = true;
        return true;
      case Kind::Describe:
        if (firstDescribe < 0 || start < firstDescribe) firstDescribe = start;
        return true;
      case Kind::It:
        if (!IsTokenByte(before)) lastIt = std::max(lastIt, start);
        return true;
      case Kind::Remote:
        if (IsTokenByte(before)) return true;
        if (after == LaterByte) return false;
        if (!IsTokenByte(after)) remote = true;
        return true;
      case Kind::Rest:
        if (!IsTokenByte(before)) remote = true;
        return true;
      case Kind::FolderLiteral:
        return Answer(TFolderLiterals::Look(window, start, end),
                      [&] { MarkFolderLiteral(p.group); });
      case Kind::Module: {
        if (textKind != TextKind::Script) return true;
        std::string last;
        return Answer(TModuleSpecifiers::Look(window, start, end, last),
                      [&] { MarkModule(last); });
      }
      case Kind::EditorPlugin:
        return Answer(TEditorPlugins::Look(window, start, end), [&] { MarkPlugin(p.group); });
      default:
        return true;
    }
  }

  // A rule unit's look: marks on a hit; false when it waits for bytes.
  template <class OnHit>
  static bool Answer(TLook look, OnHit onHit) {
    if (look == TLook::Later) return false;
    if (look == TLook::Hit) onHit();
    return true;
  }

  void MarkFolderLiteral(std::uint32_t group) {
    if (folderLiteralText[group] == textNumber) return;
    folderLiteralText[group] = textNumber;
    bool all = true;
    for (std::int32_t i : folderLiterals.Entries(group)) {
      if (i == entry) all = false;
      MarkReferenced(i, TUseRule::FolderLiteral);
    }
    if (all) folderLiteralDone[group] = 1;
  }
  void MarkModule(const std::string& last) {
    MarkNames(TModuleSpecifiers::FileNames(last), TUseRule::ModuleSpecifier);
    if (const auto it = indexScripts.find(last); it != indexScripts.end()) {
      for (std::int32_t i : it->second) MarkReferenced(i, TUseRule::ModuleSpecifier);
    }
  }
  // A plugin listed in a text outside its own folder.
  void MarkPlugin(std::uint32_t group) {
    if (pluginText[group] == textNumber) return;
    pluginText[group] = textNumber;
    bool all = true;
    for (const TEditorPlugins::Plugin& plugin : editorPlugins.Plugins(group)) {
      if (path.starts_with(plugin.directory)) {
        all = false;
        continue;
      }
      MarkReferenced(plugin.entry, TUseRule::EditorPlugin);
    }
    if (all) pluginDone[group] = 1;
  }

  // Whether no place of pattern p can mark anything any more (its files are
  // marked).
  bool Retires(const Pattern& p) {
    switch (p.kind) {
      case Kind::FolderLiteral: return folderLiteralDone[p.group] != 0;
      case Kind::EditorPlugin: return pluginDone[p.group] != 0;
      default: return false;
    }
  }

  // Checks a match at its place, which gives the line of the reasons it
  // records.
  bool CheckPlace(std::uint32_t id, std::int64_t end) {
    const std::size_t length = PatternLength(id);
    reasonPlace = end - static_cast<std::int64_t>(length);
    const bool done = Check(id, end, length);
    reasonPlace = -1;
    return done;
  }

  // The lines of the reasons recorded at places since the last call: one
  // walk over the bytes at hand, up to the last such place.
  void ResolveLines() {
    if (placed.empty()) return;
    std::sort(placed.begin(), placed.end(), [&](std::int32_t a, std::int32_t b) {
      return placeOf[static_cast<std::size_t>(a)] < placeOf[static_cast<std::size_t>(b)];
    });
    const unsigned char* const bytes = window.block - window.offset;  // bytes[o]: offset o
    std::int64_t o = window.first;
    const auto held = static_cast<std::size_t>(window.block - (bytes + o));
    std::int64_t lines = linesBefore - static_cast<std::int64_t>(CountLineEnds(bytes + o, held));
    for (std::int32_t i : placed) {
      std::int64_t& at = placeOf[static_cast<std::size_t>(i)];
      const std::int64_t to = std::clamp(at, o, window.last);
      lines += static_cast<std::int64_t>(CountLineEnds(bytes + o, static_cast<std::size_t>(to - o)));
      o = to;
      table[i].ReasonLine = static_cast<std::int32_t>(std::min<std::int64_t>(lines + 1, INT32_MAX));
      at = -1;
    }
    placed.clear();
  }

  // A tag library's tag: <stem (for an empty prefix) or <p:stem.
  void TagPlace(std::uint32_t group, std::int64_t start, int before) {
    if (!NamesOther(group)) return;
    if (before == '<') {
      emptyPrefixTags.try_emplace(group, path);
    } else if (before == ':') {
      const std::int64_t from = TokenStart(start - 1, MaxPrefixValue);
      if (from < 0 || from == start - 1 || At(from - 1) != '<') return;
      prefixedTags[Upper(from, start - 1)].try_emplace(group, path);
    }
  }

  // prefix="p": the value up to the closing quote.
  bool ReadPrefix(std::int64_t from, int quote) {
    std::string value;
    for (std::int64_t o = from; o - from <= MaxPrefixValue; ++o) {
      const int c = At(o);
      if (c == LaterByte) return false;
      if (c == NoByte) return true;
      if (c == quote) {
        if (value.empty()) emptyPrefix = true;
        prefixes.insert(value);
        return true;
      }
      value += Fold(c);
    }
    return true;
  }

  // The first byte after optional blanks from offset from (LaterByte when
  // it is not read yet).
  int JoinedAfter(std::int64_t from) const {
    for (std::int64_t o = from; o - from <= MaxBlanks; ++o) {
      const int c = At(o);
      if (!IsBlank(c)) return c;
    }
    return NoByte;
  }

  // Whether the string literal closed by quote at the match's end opens right
  // after taglib= (a tag library's path, not a package).
  bool IsTaglibValue(std::int64_t start, int quote) const {
    std::int64_t o = start - 1;
    for (; start - o <= MaxLiteral; --o) {
      const int c = At(o);
      if (c == NoByte) return false;
      if (c == quote) break;
    }
    if (At(o) != quote) return false;
    --o;
    while (IsBlank(At(o))) --o;
    if (At(o) != '=') return false;
    --o;
    while (IsBlank(At(o))) --o;
    static const char kTaglib[] = "TAGLIB";
    for (int k = 5; k >= 0; --k, --o) {
      if (Fold(At(o)) != kTaglib[k]) return false;
    }
    return !IsTokenByte(At(o));
  }

  void MarkPackage(std::uint32_t group) {
    for (std::int32_t i : packageEntries[group]) MarkReferenced(i, TUseRule::Folder);
  }

  // --- what places mark ------------------------------------------------

  // The "&" at offset o: a literal prefix in a string closed just before it
  // (blanks between), with an opener before the prefix.
  void JoinedPrefix(std::int64_t o) {
    std::int64_t q = o - 1;
    while (IsBlank(At(q)) && o - q <= MaxBlanks) --q;
    if (!IsQuote(At(q)) || !IsTokenByte(At(q - 1))) return;
    const std::int64_t start = TokenStart(q, MaxPrefixToken);
    if (start < 0 || q - start < 4 || !PrefixOpeners(At(start - 1))) return;
    const auto it = prefixGroup.find(Upper(start, q));
    if (it == prefixGroup.end() || prefixApplied[it->second]) return;
    if (NamePrefix(namePrefixes[it->second])) prefixApplied[it->second] = 1;
  }


  // The literal prefixes that end at the "#" at offset h: each run of stem
  // bytes before it, of 4 bytes up to the longest stem's length, with an
  // opener before it, that starts with a stem's first 4 bytes and is a
  // prefix of a stem. Every byte is at hand (the history holds more than
  // the longest stem). The look reads at most the longest stem's length
  // back, and looks up a prefix only where an opener and the first bytes of
  // a stem whose files are not all marked yet start it.
  void PrefixesBefore(std::int64_t h) {
    const auto longest = static_cast<std::int64_t>(longestStem);
    if (rowsUsable && h - 33 >= window.first && h <= window.last) {
      // The 32 bytes before the "#" at once: bit i stands for offset h - 32 + i.
      const unsigned char* const at = window.block + (h - 32 - window.offset);
      const std::uint32_t inStem = stemRows.Members(at);
      const auto run = static_cast<std::int64_t>(std::countl_one(inStem));
      if (run < 32 || longest <= 32) {
        const std::int64_t reach = std::min(run, longest);
        // Starts s within the run of stem bytes, at least 4 before the "#",
        // after an opener; from the nearest on, as the walk below goes.
        std::uint32_t starts = openerRows.Members(at - 1) & ((1u << 29) - 1);
        starts &= reach == 0 ? 0u : ~0u << (32 - reach);
        for (; starts != 0; starts &= ~(1u << (31 - std::countl_zero(starts)))) {
          PrefixAt(h - 32 + (31 - std::countl_zero(starts)), h);
        }
        return;
      }
    }
    if (h - longest - 1 >= window.first && h <= window.last) {
      // Every byte the look may reach is at hand (as it mostly is): walked
      // by pointer, as this runs at every "#".
      const unsigned char* const bytes = window.block - window.offset;  // bytes[o]: offset o
      for (std::int64_t s = h - 1; h - s <= longest; --s) {
        if (!stemByteEither[bytes[s]]) return;
        if (h - s >= 4 && PrefixOpeners(bytes[s - 1])) PrefixAt(s, h);
      }
      return;
    }
    for (std::int64_t s = h - 1; h - s <= longest; --s) {
      const int c = At(s);
      if (c < 0 || !stemByte[static_cast<unsigned char>(Fold(c))]) return;
      if (h - s >= 4 && PrefixOpeners(At(s - 1))) PrefixAt(s, h);
    }
  }
  // The literal prefix [s, h) before a "#", s after an opener.
  void PrefixAt(std::int64_t s, std::int64_t h) {
    const char head[4] = {Fold(At(s)), Fold(At(s + 1)), Fold(At(s + 2)), Fold(At(s + 3))};
    const auto anchor = anchorOf.find(Pack(head));
    if (anchor == anchorOf.end() || AnchorDone(anchor->second)) return;
    const auto it = prefixGroup.find(Upper(s, h));
    if (it == prefixGroup.end() || prefixApplied[it->second]) return;
    reasonPlace = s - 1;
    if (NamePrefix(namePrefixes[it->second])) prefixApplied[it->second] = 1;
    reasonPlace = -1;
  }

  // The literal suffix that starts after the "#" (or the "&") at offset o;
  // false when it needs bytes not read yet.
  bool SuffixAfter(std::int64_t o, bool joined) {
    std::string suffix;
    std::int64_t close = 0;
    const TLook look = joined ? nameSuffixes->LookJoined(window, o, suffix, close)
                              : nameSuffixes->Look(window, o + 1, suffix, close);
    if (look == TLook::Later) return false;
    if (look == TLook::Hit) {
      reasonPlace = close - static_cast<std::int64_t>(TNameSuffixes::MinSuffix);
      nameSuffixes->Apply(suffix, entry,
                          [&](std::int32_t i) { Mark(i, TUseRule::NameSuffix, path); });
      reasonPlace = -1;
    }
    return true;
  }
  void RetrySuffixes() {
    if (suffixWaiting.empty()) return;
    std::vector<std::pair<std::int64_t, bool>> still;
    for (const auto& [o, joined] : suffixWaiting) {
      if (!SuffixAfter(o, joined)) still.emplace_back(o, joined);
    }
    suffixWaiting.swap(still);
  }
  // Each "#" of the block: the literal prefix before it and the suffix after.
  void LookAtHashes() {
    const bool before = !anchors.empty();
    const bool after = nameSuffixes && !nameSuffixes->Empty();
    if (!before && !after) return;
    for (const std::uint32_t at : marks.Hashes()) {
      const std::int64_t o = window.offset + at;
      if (before) PrefixesBefore(o);
      if (after && !SuffixAfter(o, false)) suffixWaiting.emplace_back(o, false);
    }
  }
  // Whether every stem that starts with anchor group's bytes is marked by
  // literal prefixes already.
  bool AnchorDone(std::uint32_t group) {
    return prefixMarks.AllMarked(anchors[group].lo, anchors[group].hi);
  }

  // A literal prefix P (a token of at least 4 bytes with a delimiter before
  // it): every CFML file whose stem starts with P.
  // Returns false when it left the current text's own file out.
  bool NamePrefix(const std::string& prefix) {
    const auto lo = std::lower_bound(stems.begin(), stems.end(),
                                     std::pair<std::string, std::int32_t>(prefix, 0));
    auto hi = lo;
    while (hi != stems.end() && hi->first.compare(0, prefix.size(), prefix) == 0) ++hi;
    bool whole = true;
    prefixMarks.MarkRange(
        static_cast<std::size_t>(lo - stems.begin()), static_cast<std::size_t>(hi - stems.begin()),
        [&](std::size_t k) {
          if (stems[k].second != entry) return false;
          whole = false;
          return true;
        },
        [&](std::size_t k) { Mark(stems[k].second, TUseRule::NamePrefix, path); });
    return whole;
  }

  // The files a path computed below folder reaches.
  void MarkFolder(const std::string& folder) {
    if (foldersMarked.count(folder) != 0) return;
    const auto it = folderEntries.find(folder);
    if (it == folderEntries.end()) return;
    bool all = true;
    for (std::int32_t i : it->second) {
      if (i == entry) all = false;
      MarkReferenced(i, TUseRule::Folder);
    }
    if (all) foldersMarked.insert(folder);
  }

  void RetryWaiting() {
    if (waiting.empty()) return;
    std::vector<Waiting> still;
    for (const Waiting& w : waiting) {
      if (!CheckPlace(w.id, w.offset)) still.push_back(w);
    }
    waiting.swap(still);
  }

  TBlockMarks marks;  // of the current block, from EndBlock on
  std::vector<std::size_t> lengths;  // of every pattern of these rules
  std::size_t PatternLength(std::uint32_t id) const { return lengths[id - base]; }
};

TCfmlRules::TCfmlRules(TFileTable& table, std::int32_t count, std::vector<std::string>& patterns,
                       std::vector<bool>& positional, const HeadReader& readHead)
    : impl_(std::make_unique<Impl>(table, count)) {
  positional.resize(patterns.size(), false);
  // The aliases of this.mappings: they name folders that places anywhere,
  // read before or after, may compute paths below. The engine takes them
  // from the application's own file.
  impl_->Build(patterns, positional, [&] {
    std::map<std::string, std::vector<std::string>> aliases;
    AliasBudget budget;
    for (const std::string& path : SettingsFiles(table, count)) {
      if (budget.read >= TCfmlRules::MaxSettingsBytes) break;
      const std::size_t limit =
          std::min(MaxSettingsFile, TCfmlRules::MaxSettingsBytes - budget.read);
      const std::string head = readHead ? readHead(path, limit) : ReadHead(path, limit);
      budget.read += head.size();
      ReadMappings(head, aliases, budget);
    }
    impl_->aliasCount = budget.count;
    return aliases;
  });
  for (std::size_t k = impl_->base; k < patterns.size(); ++k) {
    impl_->lengths.push_back(patterns[k].size());
  }
}

TCfmlRules::~TCfmlRules() = default;

std::vector<std::string> TCfmlRules::SettingsFiles(const TFileTable& table, std::int32_t count) {
  std::vector<std::string> paths;
  for (std::int32_t i = 1; i <= count; ++i) {
    if (OneOf(UpperAscii(table[i].Name),
              {"APPLICATION.CFC", "APPLICATION.CFM", "APPLICATION.LUCEE"})) {
      paths.push_back(table[i].Directory + table[i].Name);
    }
  }
  return paths;
}

std::size_t TCfmlRules::AliasCount() const { return impl_->aliasCount; }

bool TCfmlRules::IsReadExtension(const std::string& upperExt) {
  return OneOf(upperExt, {".CFC", ".CFML", ".CFS", ".LUCEE", ".XML", ".HTACCESS", ".CONFIG",
                          ".HTML", ".SCSS", ".SASS", ".LESS", ".MJS", ".TS", ".VUE"}) ||
         ReadsReferencesOnly(upperExt);
}

bool TCfmlRules::ReadsReferencesOnly(const std::string& upperExt) {
  return OneOf(upperExt, {".JSON", ".YML", ".YAML"});
}

TUseRule TCfmlRules::EntryRule(const std::string& upperName) {
  if (OneOf(upperName, {"APPLICATION.CFC", "APPLICATION.LUCEE", "INDEX.CFML", "SERVER.CFC",
                        "WEB.CFC"})) {
    return TUseRule::EngineEntryFile;
  }
  if (OneOf(upperName, {"ROBOTS.TXT", "FAVICON.ICO", ".HTACCESS", "WEB.CONFIG",
                        "CROSSDOMAIN.XML", "CLIENTACCESSPOLICY.XML"})) {
    return TUseRule::ConventionFile;
  }
  return TUseRule::None;
}

void TCfmlRules::StartText(std::int32_t entry, const std::string& path) {
  Impl& m = *impl_;
  m.entry = entry;
  m.path = path;
  m.isComponent = entry != 0 && UpperExtension(m.table[entry].Name) == ".CFC";
  m.textKind = KindOfText(path);
  ++m.textNumber;
  if (m.textKind == TextKind::StyleSource) m.styleImports.Start(UpperExtension(path) == ".SASS");
  if (m.textKind == TextKind::Schema) m.schemaRefs.Start();
  m.window = TTextWindow{};
  m.size = 0;
  m.linesBefore = m.blockLines = 0;
  m.waiting.clear();
  m.suffixWaiting.clear();
  m.testBase = m.remote = false;
  m.firstDescribe = m.lastIt = -1;
}

void TCfmlRules::BeginBlock(const unsigned char* block, std::size_t size, std::size_t history) {
  Impl& m = *impl_;
  TTextWindow& w = m.window;
  w.offset += static_cast<std::int64_t>(m.size);
  m.linesBefore += m.blockLines;
  w.block = block;
  m.size = size;
  w.first = std::max<std::int64_t>(0, w.offset - static_cast<std::int64_t>(history));
  w.last = w.offset + static_cast<std::int64_t>(size);
}

bool TCfmlRules::OnMatch(std::uint32_t id, const unsigned char* end) {
  Impl& m = *impl_;
  const Pattern& p = m.patterns[id - m.base];
  if (m.Retires(p)) return false;
  const std::int64_t at = m.window.offset + (end - m.window.block);
  if (!m.CheckPlace(id, at)) m.waiting.push_back({id, at});
  return true;
}

match::TWordEnds TCfmlRules::WordEnds() const {
  const Impl& m = *impl_;
  match::TWordEnds ends;
  ends.names.assign(m.base + m.patterns.size(), false);
  ends.starts.assign(m.base + m.patterns.size(), false);
  for (std::size_t k = 0; k < m.patterns.size(); ++k) {
    const Kind kind = m.patterns[k].kind;
    ends.names[m.base + k] =
        kind == Kind::Stem || kind == Kind::Package || kind == Kind::TestBase || kind == Kind::Remote;
    // Every check of these wants a byte before them that no name is made
    // of: a stem's component, template and tag places, a package's, remote.
    ends.starts[m.base + k] = kind == Kind::Stem || kind == Kind::Package || kind == Kind::Remote;
  }
  for (int c = 0; c < 256; ++c) ends.wordBytes[c] = IsTokenByte(c);
  return ends;
}

void TCfmlRules::EndBlock() {
  Impl& m = *impl_;
  const unsigned char* const block = m.window.block;
  if (m.textKind == TextKind::Schema) {
    m.schemaRefs.Feed(block, m.size);
    return;
  }
  m.RetryWaiting();
  m.RetrySuffixes();
  if (m.textKind == TextKind::StyleSource) m.styleImports.Feed(block, m.size);
  m.marks.Scan(block, m.size);
  m.LookAtHashes();
  // "&" is rare enough in pages to look at each one: a literal prefix that a
  // string closes just before it ("edit" & x), and a suffix that a string
  // opened after it starts (x & "Service").
  const bool prefixes = !m.namePrefixes.empty();
  const bool suffixes = m.nameSuffixes && !m.nameSuffixes->Empty();
  if (prefixes || suffixes) {
    for (const std::uint32_t at : m.marks.Amps()) {
      const std::int64_t o = m.window.offset + at;
      if (prefixes) {
        m.reasonPlace = o;
        m.JoinedPrefix(o);
        m.reasonPlace = -1;
      }
      if (suffixes && !m.SuffixAfter(o, true)) m.suffixWaiting.emplace_back(o, true);
    }
  }
  m.ResolveLines();
  m.blockLines = static_cast<std::int64_t>(m.marks.LineEnds());
}

void TCfmlRules::EndText(const std::vector<std::uint32_t>& found) {
  Impl& m = *impl_;
  m.window.ended = true;
  if (m.textKind == TextKind::Schema) {
    m.schemaRefs.End();
    return;
  }
  m.RetryWaiting();
  m.waiting.clear();
  m.RetrySuffixes();
  m.suffixWaiting.clear();
  m.ResolveLines();
  bool extends = false, persistent = false, remoteAccess = false, namesTag = false;
  for (std::uint32_t id : found) {
    if (id < m.base) continue;
    const Pattern& p = m.patterns[id - m.base];
    switch (p.kind) {
      case Kind::CustomTag:
        for (std::int32_t i : m.owners[p.group]) {
          if (i == m.entry) continue;
          m.MarkReferenced(i, TUseRule::CustomTag);
          namesTag = true;
        }
        break;
      case Kind::OrmEnabled: m.ormEnabled = true; break;
      case Kind::LoadPaths: m.loadPaths = true; break;
      case Kind::Persistent: persistent = true; break;
      case Kind::RemoteAccess: remoteAccess = true; break;
      case Kind::Extends: extends = true; break;
      case Kind::JavaFolder: m.javaFolders.try_emplace(p.group, m.path); break;
      default: break;
    }
  }
  if (namesTag) m.Mark(m.entry, TUseRule::NamesAFile, std::string());
  if (!m.isComponent) return;
  // What a component's own text says about it.
  if (remoteAccess || m.remote) m.Mark(m.entry, TUseRule::EngineRegistered, m.path);
  if (persistent) m.persistent.emplace_back(m.entry, m.path);
  const bool describes = m.firstDescribe >= 0 && m.lastIt > m.firstDescribe;
  if ((extends && m.testBase) || describes) m.Mark(m.entry, TUseRule::TestBundle, m.path);
}

void TCfmlRules::MarkNamed(const std::vector<std::int32_t>& owners) {
  Impl& m = *impl_;
  bool any = false;
  for (std::int32_t i : owners) {
    if (i == m.entry) continue;
    m.MarkReferenced(i, TUseRule::Named);
    any = true;
  }
  if (any) m.Mark(m.entry, TUseRule::NamesAFile, std::string());
}

void TCfmlRules::Mark(std::int32_t entry, TUseRule rule) {
  const bool byName = rule == TUseRule::EngineEntryFile || rule == TUseRule::ConventionFile;
  impl_->Mark(entry, rule, byName ? std::string() : impl_->path);
}

void TCfmlRules::Finish() {
  Impl& m = *impl_;
  m.entry = 0;
  for (const auto& [prefix, groups] : m.prefixedTags) {
    if (m.prefixes.count(prefix) == 0) continue;
    for (const auto& [group, text] : groups) {
      for (std::int32_t i : m.owners[group]) m.MarkFrom(i, TUseRule::TagLibrary, text);
    }
  }
  if (m.emptyPrefix) {
    for (const auto& [group, text] : m.emptyPrefixTags) {
      for (std::int32_t i : m.owners[group]) m.MarkFrom(i, TUseRule::TagLibrary, text);
    }
  }
  if (m.ormEnabled) {
    for (const auto& [i, text] : m.persistent) m.Mark(i, TUseRule::EngineRegistered, text);
  }
  if (m.loadPaths) {
    for (const auto& [group, text] : m.javaFolders) {
      for (std::int32_t i : m.owners[group]) m.Mark(i, TUseRule::JavaLoadPath, text);
    }
  }
  for (std::int32_t i = 1; i <= m.count; ++i) {
    if (m.used[static_cast<std::size_t>(i)]) m.table.MarkUsed(i);
  }
}

}  // namespace analysis
