#include "analysis/StyleImports.h"

#include "analysis/TextWindow.h"

namespace analysis {

namespace {

// The extensions an import may spell out, upper-cased; none is part of B.
const char* const StyleExtensions[] = {".SCSS", ".SASS", ".LESS", ".CSS"};

// B of an import's path: its last segment without a style extension and a
// leading "_" (upper-cased).
std::string BaseOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  std::string base = platform::UpperAscii(slash == std::string::npos ? path : path.substr(slash + 1));
  for (const std::string ext : StyleExtensions) {
    if (base.size() > ext.size() && base.compare(base.size() - ext.size(), ext.size(), ext) == 0) {
      base.resize(base.size() - ext.size());
      break;
    }
  }
  if (!base.empty() && base.front() == '_') base.erase(0, 1);
  return base;
}

bool IsKeywordByte(unsigned char c) { return IsTokenByte(c) || c == '-'; }

}  // namespace

std::vector<std::string> TStyleImports::ImportedNames(const std::string& base) {
  std::vector<std::string> names;
  for (const char* ext : {".SCSS", ".SASS", ".LESS"}) {
    names.push_back(base + ext);
    names.push_back("_" + base + ext);
  }
  names.push_back(base + ".CSS");
  return names;
}

void TStyleImports::Start(bool indented) {
  indented_ = indented;
  state_ = State::Code;
  escaped_ = false;
  previous_ = 0;
  line_ = 1;
}

void TStyleImports::Feed(const unsigned char* data, std::size_t size) {
  for (std::size_t k = 0; k < size; ++k) {
    Step(data[k]);
    if (data[k] == '\n') ++line_;
  }
}

void TStyleImports::Step(unsigned char c) {
  switch (state_) {
    case State::Code:
      StepCode(c);
      break;
    case State::Slash:
      if (c == '/' && previous_ != ':') {
        state_ = State::LineComment;
      } else if (c == '*') {
        state_ = State::BlockComment;
      } else {
        state_ = State::Code;
        StepCode(c);
      }
      break;
    case State::LineComment:
      if (c == '\n') state_ = State::Code;
      break;
    case State::BlockComment:
      if (c == '*') state_ = State::BlockStar;
      break;
    case State::BlockStar:
      state_ = c == '/' ? State::Code : c == '*' ? State::BlockStar : State::BlockComment;
      break;
    case State::String:
    case State::StatementString:
      if (escaped_) {
        escaped_ = false;
      } else if (c == '\\') {
        escaped_ = true;
      } else if (c == quote_ || c == '\n') {
        EndString();
        break;
      }
      if (state_ == State::StatementString && value_.size() < MaxString + 1) {
        value_ += static_cast<char>(c);
      }
      break;
    case State::Keyword:
      if (IsKeywordByte(c) && keyword_.size() < MaxKeyword) {
        keyword_ += Fold(c);
        break;
      }
      state_ = (keyword_ == "IMPORT" || keyword_ == "USE" || keyword_ == "FORWARD")
                   ? State::Statement
                   : State::Code;
      statementBytes_ = 0;
      Step(c);
      break;
    case State::Statement:
      if (++statementBytes_ > MaxStatement || c == ';' || c == '{' || c == '}' ||
          (indented_ && c == '\n')) {
        state_ = State::Code;
      } else if (IsQuote(c)) {
        state_ = State::StatementString;
        quote_ = c;
        value_.clear();
        stringLine_ = line_;
      }
      break;
  }
}

void TStyleImports::StepCode(unsigned char c) {
  if (c == '/') {
    state_ = State::Slash;
    return;
  }
  if (IsQuote(c)) {
    state_ = State::String;
    quote_ = c;
  } else if (c == '@') {
    state_ = State::Keyword;
    keyword_.clear();
  }
  previous_ = c;
}

void TStyleImports::EndString() {
  escaped_ = false;
  if (state_ == State::String) {
    state_ = State::Code;
    return;
  }
  state_ = State::Statement;
  if (value_.size() > MaxString) return;
  const std::string base = BaseOf(value_);
  if (!base.empty()) sink_(base, stringLine_);
}

}  // namespace analysis
