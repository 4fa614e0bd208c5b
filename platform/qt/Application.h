#pragma once
#include <QApplication>
#include <QString>

// The application object: the program's title and help file, and the last
// line of defence of the error report. Every handler already runs inside
// Guard; notify() catches whatever a Qt-internal path still lets escape, so
// an error never ends the program.
namespace platform {

class Application : public QApplication {
  Q_OBJECT
 public:
  Application(int& argc, char** argv);

  // The title shown by message boxes and the error report ("Quilmere").
  static QString Title();
  static void SetTitle(const QString& title);
  // The help file the program names ("Quilmere.hlp").
  static QString HelpFile();
  static void SetHelpFile(const QString& file);

  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace platform
