#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// The "$ref" values of a JSON or YAML text, the way API descriptions chain
// their schema files:
//
//   "$ref" <blanks> ":" <blanks> "\"" value "\""     JSON
//   $ref   <blanks> ":" <blanks> ["'" | "\""] value   YAML, quoted or not
//
// The value ends at its closing quote, or (unquoted) at a blank, a line
// end, "," or "}"; it is cut at "#" (the part after names a place inside the
// file) and its last path segment is what the look reports: the name of the
// file it loads. Nothing else of these texts names a file: configuration
// files would keep whatever their values happen to spell.
//
// A streaming scanner: the text comes in blocks of any size, each byte is
// looked at a bounded number of times (memchr to the next "$", then at most
// the bounded look after it), and a look cut by a block's end goes on with
// the next block. Owned by TCfmlRules; one text at a time, on the analysis
// thread.
namespace analysis {

class TSchemaRefs {
 public:
  // Longest value looked at; a longer one is no file's path.
  static constexpr std::size_t MaxValue = 512;
  // Blanks allowed around the ":".
  static constexpr std::size_t MaxBlanks = 64;

  // Receives a referenced file name (as written) and the line (from 1) of
  // its "$ref".
  using Sink = std::function<void(const std::string& name, std::int64_t line)>;

  explicit TSchemaRefs(Sink sink) : sink_(std::move(sink)) {}

  void Start();
  void Feed(const unsigned char* data, std::size_t size);
  // The text has ended: an unquoted value cut by the end still counts.
  void End();

 private:
  enum class Phase : std::uint8_t { Seek, Key, KeyQuote, BeforeColon, AfterColon, Value };
  // Takes byte c in the current phase; false when the look failed at c, so
  // that c is looked at again as a possible "$".
  bool Step(unsigned char c);
  void Report();

  Sink sink_;
  Phase phase_ = Phase::Seek;
  std::size_t matched_ = 0;  // bytes of "REF" matched after "$"
  std::size_t blanks_ = 0;
  int quote_ = 0;            // the value's quote, 0 when unquoted
  std::string value_;
  std::int64_t line_ = 1;    // of the byte being looked at
  std::int64_t refLine_ = 1;
};

}  // namespace analysis
