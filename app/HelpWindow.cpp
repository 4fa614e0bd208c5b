#include "app/HelpWindow.h"

#include <QDir>
#include <QFileInfo>
#include <QTextBrowser>
#include <QVBoxLayout>

THelpWindow::THelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(QStringLiteral("Quilmere Help"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  browser_ = new QTextBrowser(this);
  browser_->setOpenExternalLinks(true);
  layout->addWidget(browser_);
  resize(640, 560);
}

QString THelpWindow::FindHelpFile(const QString& directory, const QString& helpFile) {
  const QString wanted = QFileInfo(helpFile).completeBaseName() + QStringLiteral(".html");
  const QDir dir(directory);
  for (const QString& name : dir.entryList(QDir::Files)) {
    if (name.compare(wanted, Qt::CaseInsensitive) == 0) return dir.filePath(name);
  }
  return {};
}

QString THelpWindow::FindHelpFile(const QStringList& directories, const QString& helpFile) {
  for (const QString& directory : directories) {
    const QString page = FindHelpFile(directory, helpFile);
    if (!page.isEmpty()) return page;
  }
  return {};
}

QStringList THelpWindow::ProgramHelpDirectories(const QString& programDirectory,
                                                const QString& installedDirectory) {
  return {programDirectory, QDir::cleanPath(QDir(programDirectory).filePath(installedDirectory))};
}

bool THelpWindow::ShowContents(const QString& htmlPath) {
  if (htmlPath.isEmpty() || !QFileInfo(htmlPath).isReadable()) return false;
  browser_->setSource(QUrl::fromLocalFile(htmlPath));
  browser_->moveCursor(QTextCursor::Start);
  show();
  raise();
  activateWindow();
  return true;
}

void THelpWindow::ShowMissing(const QString& helpFile, const QString& directory) {
  browser_->setPlainText(QStringLiteral("The help file %1 (%2) cannot be found in %3.")
                             .arg(helpFile, QFileInfo(helpFile).completeBaseName() +
                                                QStringLiteral(".html"),
                                  directory));
  show();
  raise();
}

QString THelpWindow::Source() const { return browser_->source().toLocalFile(); }
