#pragma once
#include <QString>
#include <QStringList>
#include <QWidget>

class QTextBrowser;

// The help viewer: shows the HTML counterpart of a help file (same base
// name, ".html") at its top. One window, reused; GUI thread.
class THelpWindow : public QWidget {
  Q_OBJECT
 public:
  explicit THelpWindow(QWidget* parent = nullptr);

  // The HTML counterpart of helpFile (e.g. "quilmere.hlp") in directory,
  // whatever the letter case of its name; empty when there is none.
  static QString FindHelpFile(const QString& directory, const QString& helpFile);
  // The same over several directories: the first one that holds it wins.
  static QString FindHelpFile(const QStringList& directories, const QString& helpFile);
  // Where the program at programDirectory keeps its help page: beside
  // itself in the build tree, installedDirectory (relative to it) once
  // installed.
  static QStringList ProgramHelpDirectories(const QString& programDirectory,
                                            const QString& installedDirectory);

  // Shows the contents of the page; false when it cannot be read.
  bool ShowContents(const QString& htmlPath);
  // Tells, in the window, that the page is not there.
  void ShowMissing(const QString& helpFile, const QString& directory);
  QString Source() const;

 private:
  QTextBrowser* browser_;
};
