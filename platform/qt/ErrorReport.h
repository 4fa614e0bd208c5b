#pragma once
#include <exception>
#include <string>
#include <utility>

// The application's default error report: an error box with the program's
// title and the error's text (full stop rule of ErrorReportText). Every event
// handler runs inside Guard, so no exception ever crosses Qt code; what
// escapes a handler is reported and the program goes on.
namespace platform {

void ReportError(const std::string& text);
void ReportException(std::exception_ptr error) noexcept;

template <class F>
void Guard(F&& handler) noexcept {
  try {
    std::forward<F>(handler)();
  } catch (...) {
    ReportException(std::current_exception());
  }
}

}  // namespace platform
