#pragma once
#include <string>

namespace platform {

// The text of the application's default error report: the error's text with a
// full stop appended exactly when its last character comes after "." in
// character-code order (bytes compared unsigned). Empty text stays empty.
std::string ErrorReportText(const std::string& text);

}  // namespace platform
