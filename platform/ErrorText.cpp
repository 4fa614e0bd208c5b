#include "platform/ErrorText.h"

namespace platform {

std::string ErrorReportText(const std::string& text) {
  if (text.empty()) return text;
  const auto last = static_cast<unsigned char>(text.back());
  if (last > static_cast<unsigned char>('.')) return text + ".";
  return text;
}

}  // namespace platform
