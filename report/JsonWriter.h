#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A small JSON writer for the reports: values appended to a text in the order
// they are given, commas and escapes handled here. Strings are bytes, not
// necessarily UTF-8: String() writes valid UTF-8 as it is (controls, '"' and
// '\' escaped) and replaces every byte that is not part of a valid UTF-8
// sequence by U+FFFD, so the document is always valid JSON. BytesField()
// adds what a reader needs to recover such bytes exactly.
//
// Layout: the members of the outermost containers (down to the line depth,
// DefaultLineDepth unless the constructor is given another) stand one to a
// line, indented by two blanks a level; deeper containers are written on one
// line. The caller keeps the structure well formed (a key
// before each value of an object); assert checks it in debug builds.
namespace report {

class TJsonWriter {
 public:
  static constexpr std::size_t DefaultLineDepth = 2;

  explicit TJsonWriter(std::size_t lineDepth = DefaultLineDepth) : lineDepth_(lineDepth) {}

  void BeginObject();
  void EndObject();
  void BeginArray();
  void EndArray();
  void Key(std::string_view key);  // key is plain ASCII of our own
  void String(std::string_view bytes);
  void Int(std::int64_t value);
  void Bool(bool value);
  void Null();

  // Key(key) and String(bytes); when bytes are not valid UTF-8, also
  // Key(key + "_bytes") and the exact bytes in base64 (RFC 4648, with
  // padding).
  void BytesField(std::string_view key, std::string_view bytes);

  // The text written so far; TakeText() hands it over and starts afresh at
  // the same place in the structure (for writing out a long document in
  // pieces).
  const std::string& Text() const { return text_; }
  std::string TakeText();

 private:
  void BeforeValue();
  void Open(char bracket);
  void Close(char bracket);
  void LineBreak(std::size_t depth);

  struct TLevel {
    bool object;
    bool empty = true;
    bool afterKey = false;
  };
  std::size_t lineDepth_;
  std::string text_;
  std::vector<TLevel> levels_;
};

// True when bytes are valid UTF-8: no overlong forms, no surrogates, nothing
// above U+10FFFF, no sequence cut short.
bool IsValidUtf8(std::string_view bytes);

// bytes in base64 (RFC 4648 alphabet, with "=" padding).
std::string Base64(std::string_view bytes);

}  // namespace report
