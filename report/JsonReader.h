#pragma once
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// Reads one JSON document (RFC 8259) from text already in memory, in the
// order the caller asks for its parts, so a reader keeps only what it wants
// (the baseline keeps paths, never a tree of the document). The text is
// untrusted: every step checks the bytes it looks at, and nesting deeper
// than MaxDepth is refused rather than recursed into.
//
// Strings come back as bytes: escapes decoded, \uXXXX as UTF-8 (a surrogate
// pair as one code point, a lone surrogate refused), other bytes as they are.
namespace report {

// A document that is not what the reader was asked for; what() names the
// byte offset.
class JsonError : public std::runtime_error {
 public:
  explicit JsonError(const std::string& text) : std::runtime_error(text) {}
};

class TJsonReader {
 public:
  static constexpr std::size_t MaxDepth = 64;

  explicit TJsonReader(std::string_view text) : text_(text) {}

  // '{', then NextKey until it returns false (at the object's '}').
  void BeginObject();
  bool NextKey(std::string& key);
  // '[', then NextItem until it returns false (at the array's ']'); after a
  // true, the caller reads or skips the item.
  void BeginArray();
  bool NextItem();

  std::string String();
  bool Bool();
  // Any value, checked as it is passed over.
  void SkipValue();
  // Nothing but blanks after the document.
  void End();

 private:
  [[noreturn]] void Fail(const std::string& what) const;
  void SkipBlanks();
  char Peek();  // the next byte after blanks; Fail at the end of the text
  void Expect(char c);
  void Open(char bracket);
  bool Next(char close);
  void SkipNumber();
  void SkipLiteral(std::string_view word);
  unsigned HexQuad();
  void AppendCodePoint(std::string& out);

  std::string_view text_;
  std::size_t at_ = 0;
  // One flag per open container: true until its first member is read.
  std::vector<bool> first_;
};

// Decodes base64 (RFC 4648 alphabet, "=" padding required); false for
// anything else.
bool DecodeBase64(std::string_view text, std::string& bytes);

}  // namespace report
