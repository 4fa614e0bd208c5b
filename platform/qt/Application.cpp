#include "platform/qt/Application.h"

#include "platform/qt/ErrorReport.h"

namespace platform {

namespace {
QString& TitleValue() {
  static QString title = QStringLiteral("Quilmere");
  return title;
}
QString& HelpFileValue() {
  static QString file;
  return file;
}
}  // namespace

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

QString Application::Title() { return TitleValue(); }
void Application::SetTitle(const QString& title) { TitleValue() = title; }
QString Application::HelpFile() { return HelpFileValue(); }
void Application::SetHelpFile(const QString& file) { HelpFileValue() = file; }

bool Application::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    ReportException(std::current_exception());
    return false;
  }
}

}  // namespace platform
