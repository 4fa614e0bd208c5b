#include "analysis/SchemaRefs.h"

#include <algorithm>
#include <cstring>

#include "analysis/TextWindow.h"

namespace analysis {

namespace {

// The last path segment of a "$ref" value, without the place after "#".
std::string FileNameOf(const std::string& value) {
  const std::string path = value.substr(0, value.find('#'));
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

void TSchemaRefs::Start() {
  phase_ = Phase::Seek;
  line_ = 1;
  value_.clear();
}

void TSchemaRefs::Feed(const unsigned char* data, std::size_t size) {
  const unsigned char* p = data;
  const unsigned char* const end = data + size;
  while (p < end) {
    if (phase_ == Phase::Seek) {
      // Straight to the next "$", counting the lines passed.
      const auto* dollar = static_cast<const unsigned char*>(std::memchr(p, '$', end - p));
      const unsigned char* stop = dollar ? dollar : end;
      line_ += std::count(p, stop, '\n');
      p = stop;
      if (dollar == nullptr) break;
      phase_ = Phase::Key;
      matched_ = 0;
      refLine_ = line_;
      ++p;
      continue;
    }
    if (!Step(*p)) {
      phase_ = Phase::Seek;  // look at this byte again: it may be a "$"
      continue;
    }
    if (*p == '\n') ++line_;
    ++p;
  }
}

bool TSchemaRefs::Step(unsigned char c) {
  static const char kRef[] = "REF";
  switch (phase_) {
    case Phase::Seek:
      return false;
    case Phase::Key:
      if (Fold(c) != kRef[matched_]) return false;
      if (++matched_ == 3) {
        phase_ = Phase::KeyQuote;
        blanks_ = 0;
      }
      return true;
    case Phase::KeyQuote:
      phase_ = Phase::BeforeColon;
      if (IsQuote(c)) return true;  // the key's closing quote
      [[fallthrough]];
    case Phase::BeforeColon:
      if (c == ':') {
        phase_ = Phase::AfterColon;
        blanks_ = 0;
        return true;
      }
      return IsBlank(c) && ++blanks_ <= MaxBlanks;
    case Phase::AfterColon:
      if (IsBlank(c)) return ++blanks_ <= MaxBlanks;
      phase_ = Phase::Value;
      value_.clear();
      quote_ = IsQuote(c) ? c : 0;
      if (quote_ != 0) return true;
      [[fallthrough]];
    case Phase::Value: {
      const bool closes = quote_ != 0 ? c == quote_
                                      : (IsBlank(c) || c == '\r' || c == '\n' || c == ',' ||
                                         c == '}' || c == ']');
      if (closes) {
        Report();
        phase_ = Phase::Seek;
        return quote_ != 0;  // an unquoted value's end may be a "$" itself
      }
      if (c == '\n' || value_.size() >= MaxValue) return false;
      value_ += static_cast<char>(c);
      return true;
    }
  }
  return false;
}

void TSchemaRefs::End() {
  if (phase_ == Phase::Value && quote_ == 0) Report();
  phase_ = Phase::Seek;
}

void TSchemaRefs::Report() {
  const std::string name = FileNameOf(value_);
  if (!name.empty()) sink_(name, refLine_);
}

}  // namespace analysis
