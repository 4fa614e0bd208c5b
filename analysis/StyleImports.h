#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The style sheets that a Sass or Less source loads: the strings of its
// @import, @use and @forward statements, outside comments.
//
//   @import "a", 'b/c';      @use "config" as cfg;      @forward "src/list";
//   // @import "off";        /* @import "off"; */       (comments: skipped)
//
// A statement runs from its keyword to ";", "{" or "}" (in the indented
// syntax, .sass, also to the line's end) and each string in it is one
// import. Its last path segment, without a style extension and a leading
// "_", is the base B that the compilers complete to a partial or a sheet
// (ImportedNames). Strings outside statements are skipped as wholes, so
// that "//" inside one starts no comment, and so is "//" right after ":"
// (an unquoted url(http://...)).
//
// A streaming scanner: one pass over each byte, a look cut by a block's end
// goes on with the next block, and every statement and string it keeps is
// bounded. Owned by TCfmlRules; one text at a time, on the analysis thread.
namespace analysis {

class TStyleImports {
 public:
  static constexpr std::size_t MaxKeyword = 8;      // "FORWARD" and a byte
  static constexpr std::size_t MaxStatement = 1024; // keyword to its end
  static constexpr std::size_t MaxString = 256;     // one import's path

  // Receives the base B of an import and the line (from 1) of its string.
  using Sink = std::function<void(const std::string& base, std::int64_t line)>;

  explicit TStyleImports(Sink sink) : sink_(std::move(sink)) {}

  // A new text; indented: the .sass syntax, where a line ends a statement.
  void Start(bool indented);
  void Feed(const unsigned char* data, std::size_t size);

  // The files an import with base B may load: B and _B with each style
  // extension a compiler completes (.scss, .sass, .less), and B.css.
  static std::vector<std::string> ImportedNames(const std::string& base);

 private:
  enum class State : std::uint8_t {
    Code, Slash, LineComment, BlockComment, BlockStar, String, Keyword, Statement,
    StatementString
  };
  void Step(unsigned char c);
  void StepCode(unsigned char c);
  void EndString();

  Sink sink_;
  bool indented_ = false;
  State state_ = State::Code;
  int quote_ = 0;
  bool escaped_ = false;
  unsigned char previous_ = 0;  // the code byte before a "/"
  std::string keyword_;
  std::string value_;
  std::size_t statementBytes_ = 0;
  std::int64_t line_ = 1;
  std::int64_t stringLine_ = 1;
};

}  // namespace analysis
