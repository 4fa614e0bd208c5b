#include "platform/qt/ErrorReport.h"

#include "platform/qt/Application.h"
#include "platform/ErrorText.h"
#include "platform/qt/MessageBoxes.h"

namespace platform {

void ReportError(const std::string& text) {
  ShowMessage(QString::fromLocal8Bit(ErrorReportText(text)), Application::Title(),
              MessageIcon::Critical);
}

void ReportException(std::exception_ptr error) noexcept {
  // Showing the box may itself fail (out of memory); nothing may escape.
  try {
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& e) {
      ReportError(e.what());
    } catch (...) {
      ReportError("Unknown error");
    }
  } catch (...) {
  }
}

}  // namespace platform
