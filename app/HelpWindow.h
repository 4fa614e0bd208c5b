#pragma once
#include <QString>
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

  // Shows the contents of the page; false when it cannot be read.
  bool ShowContents(const QString& htmlPath);
  // Tells, in the window, that the page is not there.
  void ShowMissing(const QString& helpFile, const QString& directory);
  QString Source() const;

 private:
  QTextBrowser* browser_;
};
