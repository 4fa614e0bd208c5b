#include "report/JsonWriter.h"

#include <cassert>

namespace report {

namespace {

// The length of the valid UTF-8 sequence that starts at bytes[i], or 0 when
// none does. The bounds of the second byte rule out overlong forms (E0, F0),
// surrogates (ED) and code points above U+10FFFF (F4); lead bytes C0, C1 and
// F5 to FF never start a sequence.
std::size_t Utf8SequenceAt(std::string_view bytes, std::size_t i) {
  const auto at = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
  const unsigned lead = at(i);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (bytes.size() - i < length) return 0;
  if (at(i + 1) < low || at(i + 1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if ((at(i + k) & 0xC0) != 0x80) return 0;
  }
  return length;
}

constexpr const char* Replacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

void AppendEscaped(std::string& out, std::string_view bytes) {
  static constexpr char Hex[] = "0123456789abcdef";
  out += '"';
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t length = Utf8SequenceAt(bytes, i);
    if (length == 0) {
      out += Replacement;
      ++i;
      continue;
    }
    if (length > 1) {
      out.append(bytes.substr(i, length));
      i += length;
      continue;
    }
    const char c = bytes[i++];
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          out += "\\u00";
          out += Hex[(c >> 4) & 0xF];
          out += Hex[c & 0xF];
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t length = Utf8SequenceAt(bytes, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string Base64(std::string_view bytes) {
  static constexpr char Alphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  const auto at = [&](std::size_t k) -> std::uint32_t {
    return static_cast<unsigned char>(bytes[k]);
  };
  for (; bytes.size() - i >= 3; i += 3) {
    const std::uint32_t group = at(i) << 16 | at(i + 1) << 8 | at(i + 2);
    for (int shift = 18; shift >= 0; shift -= 6) out += Alphabet[(group >> shift) & 0x3F];
  }
  const std::size_t rest = bytes.size() - i;
  if (rest > 0) {
    const std::uint32_t group = at(i) << 16 | (rest == 2 ? at(i + 1) << 8 : 0);
    out += Alphabet[(group >> 18) & 0x3F];
    out += Alphabet[(group >> 12) & 0x3F];
    out += rest == 2 ? Alphabet[(group >> 6) & 0x3F] : '=';
    out += '=';
  }
  return out;
}

void TJsonWriter::LineBreak(std::size_t depth) {
  text_ += '\n';
  text_.append(2 * depth, ' ');
}

// Separates a value (or a key) from the one before it in its container.
void TJsonWriter::BeforeValue() {
  if (levels_.empty()) {
    assert(text_.empty() && "one document, one value");
    return;
  }
  TLevel& level = levels_.back();
  if (level.afterKey) {
    level.afterKey = false;
    return;
  }
  if (!level.empty) text_ += ',';
  const std::size_t depth = levels_.size();
  if (depth <= lineDepth_) {
    LineBreak(depth);
  } else if (!level.empty) {
    text_ += ' ';
  }
  level.empty = false;
}

void TJsonWriter::Open(char bracket) {
  assert(levels_.empty() || !levels_.back().object || levels_.back().afterKey);
  BeforeValue();
  text_ += bracket;
  levels_.push_back({bracket == '{'});
}

void TJsonWriter::Close(char bracket) {
  assert(!levels_.empty() && levels_.back().object == (bracket == '}'));
  assert(!levels_.back().afterKey);
  const bool empty = levels_.back().empty;
  const std::size_t depth = levels_.size();
  levels_.pop_back();
  if (!empty && depth <= lineDepth_) LineBreak(depth - 1);
  text_ += bracket;
  if (levels_.empty()) text_ += '\n';
}

void TJsonWriter::BeginObject() { Open('{'); }
void TJsonWriter::EndObject() { Close('}'); }
void TJsonWriter::BeginArray() { Open('['); }
void TJsonWriter::EndArray() { Close(']'); }

void TJsonWriter::Key(std::string_view key) {
  assert(!levels_.empty() && levels_.back().object && !levels_.back().afterKey);
  BeforeValue();
  AppendEscaped(text_, key);
  text_ += ": ";
  levels_.back().afterKey = true;
}

void TJsonWriter::String(std::string_view bytes) {
  BeforeValue();
  AppendEscaped(text_, bytes);
}

void TJsonWriter::Int(std::int64_t value) {
  BeforeValue();
  text_ += std::to_string(value);
}

void TJsonWriter::Bool(bool value) {
  BeforeValue();
  text_ += value ? "true" : "false";
}

void TJsonWriter::Null() {
  BeforeValue();
  text_ += "null";
}

void TJsonWriter::BytesField(std::string_view key, std::string_view bytes) {
  Key(key);
  String(bytes);
  if (IsValidUtf8(bytes)) return;
  Key(std::string(key) + "_bytes");
  String(Base64(bytes));
}

std::string TJsonWriter::TakeText() {
  std::string text;
  text.swap(text_);
  return text;
}

}  // namespace report
