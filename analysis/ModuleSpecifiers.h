#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/TextWindow.h"

// Script modules loaded by a relative specifier without extension, which
// the bundler or the module loader completes:
//
//   require("./alpine/tooltip")      import("../lib/chart")
//   import x from './store'          export * from "./util"      import "./setup"
//
// A string that starts with "./" or "../" right after require( or import(
// (blanks allowed) or after the word from or import names, by its last
// segment L when L has no extension, L.js, L.mjs, L.ts, L.jsx and L.vue,
// and index.js in a folder named L. The matcher looks for the opening quote
// with "./" or "../"; the look checks the words before it and reads the
// string, both within bounds.
//
// Stateless; used by TCfmlRules on the analysis thread for script texts.
namespace analysis {

class TModuleSpecifiers {
 public:
  static constexpr std::int64_t MaxSpecifier = 256;  // the string's bytes
  static constexpr std::int64_t MaxBlanks = 64;      // between the word and the string

  // The quote and "./" or "../" that start a relative specifier.
  static std::vector<TRuleLiteral> Literals();
  // A literal of this rule spans [start, end). On Hit, last is L,
  // upper-cased.
  static TLook Look(const TTextWindow& text, std::int64_t start, std::int64_t end,
                    std::string& last);
  // The file names L stands for (upper-cased), index.js in a folder L aside.
  static std::vector<std::string> FileNames(const std::string& last);

 private:
  static bool LoadsBefore(const TTextWindow& text, std::int64_t quote);
  static TLook ReadLast(const TTextWindow& text, std::int64_t from, int quote, std::string& last);
};

}  // namespace analysis
