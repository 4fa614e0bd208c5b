#include "report/JsonReader.h"

#include <cstdint>

namespace report {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void AppendUtf8(std::string& out, unsigned code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | code >> 6);
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | code >> 12);
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | code >> 18);
    out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

void TJsonReader::Fail(const std::string& what) const {
  throw JsonError("at byte " + std::to_string(at_) + ": " + what);
}

void TJsonReader::SkipBlanks() {
  while (at_ < text_.size() &&
         (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r')) {
    ++at_;
  }
}

char TJsonReader::Peek() {
  SkipBlanks();
  if (at_ == text_.size()) Fail("the text ends early");
  return text_[at_];
}

void TJsonReader::Expect(char c) {
  if (Peek() != c) Fail(std::string("expected '") + c + "'");
  ++at_;
}

void TJsonReader::Open(char bracket) {
  if (first_.size() == MaxDepth) Fail("nested too deep");
  Expect(bracket);
  first_.push_back(true);
}

// Past the separator before the container's next member; false (and the
// container closed) at its end.
bool TJsonReader::Next(char close) {
  if (first_.empty()) Fail("no container is open");
  if (Peek() == close) {
    ++at_;
    first_.pop_back();
    return false;
  }
  if (!first_.back()) Expect(',');
  first_.back() = false;
  return true;
}

void TJsonReader::BeginObject() { Open('{'); }
void TJsonReader::BeginArray() { Open('['); }
bool TJsonReader::NextItem() { return Next(']'); }

bool TJsonReader::NextKey(std::string& key) {
  if (!Next('}')) return false;
  key = String();
  Expect(':');
  return true;
}

unsigned TJsonReader::HexQuad() {
  if (text_.size() - at_ < 4) Fail("a \\u escape is cut short");
  unsigned value = 0;
  for (int k = 0; k < 4; ++k) {
    const int digit = HexValue(text_[at_++]);
    if (digit < 0) Fail("a \\u escape needs four hex digits");
    value = value << 4 | static_cast<unsigned>(digit);
  }
  return value;
}

// After "\u": one code point, two escapes for a surrogate pair.
void TJsonReader::AppendCodePoint(std::string& out) {
  unsigned code = HexQuad();
  if (code >= 0xDC00 && code <= 0xDFFF) Fail("a lone low surrogate");
  if (code >= 0xD800 && code <= 0xDBFF) {
    if (text_.substr(at_, 2) != "\\u") Fail("a high surrogate without its pair");
    at_ += 2;
    const unsigned low = HexQuad();
    if (low < 0xDC00 || low > 0xDFFF) Fail("a high surrogate without its pair");
    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
  }
  AppendUtf8(out, code);
}

std::string TJsonReader::String() {
  Expect('"');
  std::string out;
  for (;;) {
    if (at_ == text_.size()) Fail("a string is not closed");
    const char c = text_[at_++];
    if (c == '"') return out;
    if (static_cast<unsigned char>(c) < 0x20) Fail("a control byte in a string");
    if (c != '\\') {
      out += c;
      continue;
    }
    if (at_ == text_.size()) Fail("a string is not closed");
    switch (const char e = text_[at_++]) {
      case '"': case '\\': case '/': out += e; break;
      case 'b': out += '\b'; break;
      case 'f': out += '\f'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'u': AppendCodePoint(out); break;
      default: Fail("an unknown escape");
    }
  }
}

bool TJsonReader::Bool() {
  const char c = Peek();
  SkipLiteral(c == 't' ? "true" : "false");
  return c == 't';
}

void TJsonReader::SkipLiteral(std::string_view word) {
  if (text_.substr(at_, word.size()) != word) Fail("expected " + std::string(word));
  at_ += word.size();
}

// -? (0 | [1-9][0-9]*) (. [0-9]+)? ([eE] [+-]? [0-9]+)?
void TJsonReader::SkipNumber() {
  const auto digits = [this] {
    const std::size_t start = at_;
    while (at_ < text_.size() && IsDigit(text_[at_])) ++at_;
    if (at_ == start) Fail("a number lacks its digits");
    return at_ - start;
  };
  if (text_[at_] == '-') ++at_;
  const bool leadingZero = at_ < text_.size() && text_[at_] == '0';
  if (digits() > 1 && leadingZero) Fail("a number with a leading zero");
  if (at_ < text_.size() && text_[at_] == '.') {
    ++at_;
    digits();
  }
  if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
    ++at_;
    if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
    digits();
  }
}

void TJsonReader::SkipValue() {
  const char c = Peek();
  std::string key;
  switch (c) {
    case '{':
      BeginObject();
      while (NextKey(key)) SkipValue();
      break;
    case '[':
      BeginArray();
      while (NextItem()) SkipValue();
      break;
    case '"': String(); break;
    case 't': SkipLiteral("true"); break;
    case 'f': SkipLiteral("false"); break;
    case 'n': SkipLiteral("null"); break;
    default:
      if (c != '-' && !IsDigit(c)) Fail("expected a value");
      SkipNumber();
  }
}

void TJsonReader::End() {
  SkipBlanks();
  if (at_ != text_.size()) Fail("more text after the document");
}

bool DecodeBase64(std::string_view text, std::string& bytes) {
  if (text.size() % 4 != 0) return false;
  bytes.clear();
  bytes.reserve(text.size() / 4 * 3);
  for (std::size_t i = 0; i < text.size(); i += 4) {
    const bool last = i + 4 == text.size();
    const int pad = last ? (text[i + 3] == '=') + (text[i + 2] == '=') : 0;
    if (pad == 1 && text[i + 2] == '=') return false;  // "x=y=" or "xy=="-like misuse
    std::uint32_t group = 0;
    for (int k = 0; k < 4 - pad; ++k) {
      const int value = Base64Value(text[i + static_cast<std::size_t>(k)]);
      if (value < 0) return false;
      group = group << 6 | static_cast<std::uint32_t>(value);
    }
    group <<= 6 * pad;
    bytes += static_cast<char>(group >> 16 & 0xFF);
    if (pad < 2) bytes += static_cast<char>(group >> 8 & 0xFF);
    if (pad < 1) bytes += static_cast<char>(group & 0xFF);
  }
  return true;
}

}  // namespace report
