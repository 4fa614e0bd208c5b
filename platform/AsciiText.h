#pragma once
#include <string>

// Two small text rules that every part of the program shares.
//
// Case: names and file texts are bytes; comparing them without regard to
// case changes the ASCII letters a to z (A to Z) only, every other byte stays.
//
// Blank: a text is blank when it holds no byte above the space, so blanks
// and control characters alike are trimmed from its ends.
namespace platform {

constexpr char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
constexpr char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string UpperAscii(std::string text) {
  for (char& c : text) c = UpperAscii(c);
  return text;
}
inline std::string LowerAscii(std::string text) {
  for (char& c : text) c = LowerAscii(c);
  return text;
}

constexpr bool IsBlankByte(char c) { return static_cast<unsigned char>(c) <= ' '; }

inline bool IsBlankText(const std::string& text) {
  for (char c : text) {
    if (!IsBlankByte(c)) return false;
  }
  return true;
}

// text without the blank bytes at both ends.
inline std::string TrimBlanks(const std::string& text) {
  std::size_t first = 0, last = text.size();
  while (first < last && IsBlankByte(text[first])) ++first;
  while (last > first && IsBlankByte(text[last - 1])) --last;
  return text.substr(first, last - first);
}

}  // namespace platform
