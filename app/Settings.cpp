// The window's layout and the recent project directories, kept in the
// program's registry key. Layout failures are never shown; a failed read
// saves the layout at once so that every value exists after the first start.
// Each of these opens the key once (one read of the file) and closes it once
// (one write).
#include <QAction>
#include <QComboBox>
#include <QGuiApplication>
#include <QScreen>
#include <QSplitter>
#include <algorithm>
#include <string>

#include "analysis/ProcessCommand.h"
#include "analysis/ReferenceAnalysis.h"
#include "analysis/ScanFilter.h"
#include "app/Main.h"
#include "app/RecentDirs.h"
#include "platform/AsciiText.h"
#include "platform/qt/Panel.h"
#include "platform/qt/Registry.h"
#include "results/qt/StringGrid.h"

namespace {

const QString kKeyPath = QStringLiteral("\\Software\\Orvanta\\Quilmere");

std::unique_ptr<platform::RegistryKey> OpenSettingsKey(const QString& registryPath) {
  platform::Registry registry(registryPath.isEmpty() ? platform::DefaultRegistryPath()
                                                     : registryPath);
  return registry.OpenKey(kKeyPath, true);
}

void SetTreeWidth(QSplitter* splitter, int width) {
  QList<int> sizes = splitter->sizes();
  const int total = sizes.value(0) + sizes.value(1);
  splitter->setSizes({width, std::max(0, total - width)});
}

// value within [low, high]; low wins when the range is empty, so a window
// never gets smaller than its minimum size.
int Bound(int value, int low, int high) { return std::max(low, std::min(value, high)); }

// The part of the desktop the window may cover.
QRect AvailableDesktop(const QWidget* window) {
  const QScreen* screen = window->screen();
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->availableGeometry() : window->frameGeometry();
}

// Moves the window to (left, top), or as near as keeps its frame on desk.
void PlaceOnDesktop(QWidget* window, const QRect& desk, int left, int top) {
  const QSize frame = window->frameGeometry().size();
  window->move(Bound(left, desk.left(), desk.left() + desk.width() - frame.width()),
               Bound(top, desk.top(), desk.top() + desk.height() - frame.height()));
}

bool ListHolds(const QComboBox* box, const std::string& dir) {
  const std::string upper = analysis::UpperAscii(dir);
  for (int i = 0; i < box->count(); ++i) {
    if (analysis::UpperAscii(box->itemText(i).toLocal8Bit().toStdString()) == upper) return true;
  }
  return false;
}

// Adds a directory to the box's drop-down list; the box's text stays.
void AddRecentDir(QComboBox* box, const std::string& dir) {
  const QString text = box->currentText();
  box->addItem(QString::fromLocal8Bit(dir));
  box->setEditText(text);
}

}  // namespace

void TFrmmain::SaveSettings() {
  try {
    auto key = OpenSettingsKey(env_.RegistryPath);
    if (!key) return;
    key->WriteInteger("Top", y());
    key->WriteInteger("Left", x());
    key->WriteInteger("Width", width());
    key->WriteInteger("Height", height());
    key->WriteInteger("ShellTreeWidth", Panel3->width());
    key->WriteInteger("Col0", StringGrid1->ColWidth(0));
    key->WriteInteger("Col1", StringGrid1->ColWidth(1));
    key->WriteInteger("Col2", StringGrid1->ColWidth(2));
    key->Close();
  } catch (const std::exception&) {
    // The layout is not worth an error box; the rest stays unwritten.
  }
}

void TFrmmain::LoadSettings() {
  std::unique_ptr<platform::RegistryKey> key;
  try {
    key = OpenSettingsKey(env_.RegistryPath);
  } catch (const std::exception&) {
  }
  if (!key) return;
  // The values are the user's to edit and may come from a larger screen:
  // each is held to what this desktop can show as it is applied. The frame
  // adds to the client size that "Width" and "Height" are.
  const QRect desk = AvailableDesktop(this);
  const QSize frameExtra = frameGeometry().size() - size();
  try {
    PlaceOnDesktop(this, desk, x(), key->ReadInteger("Top"));
    PlaceOnDesktop(this, desk, key->ReadInteger("Left"), y());
    resize(Bound(key->ReadInteger("Width"), minimumWidth(), desk.width() - frameExtra.width()),
           height());
    PlaceOnDesktop(this, desk, x(), y());
    resize(width(),
           Bound(key->ReadInteger("Height"), minimumHeight(), desk.height() - frameExtra.height()));
    PlaceOnDesktop(this, desk, x(), y());
    SetTreeWidth(Splitter1, Bound(key->ReadInteger("ShellTreeWidth"), 0, width()));
    for (int col = 0; col < 3; ++col) {
      const std::string name = "Col" + std::to_string(col);
      StringGrid1->SetColWidth(col, Bound(key->ReadInteger(name), 0, desk.width()));
    }
    for (int n = 1; n <= app::MaxRecentDirs; ++n) {
      const std::string dir = app::ReadRecentDir(*key, n);
      if (!platform::IsBlankText(dir)) {
        AddRecentDir(CBProjectDir, dir);
      }
    }
    key->Close();
  } catch (const std::exception&) {
    SaveSettings();
  }
}

bool TFrmmain::UpdateRecentDirs(const std::string& dir) {
  // A store that cannot be written costs the recent list, never the run: the
  // caller reports it. The box lists a new directory either way; a registry
  // that was not saved did not learn of it, so then the box's own list keeps
  // it from being listed twice.
  bool saved = false;
  bool added = true;
  try {
    if (auto key = OpenSettingsKey(env_.RegistryPath)) {
      added = app::UpdateRecentDirs(*key, dir);
      key->Close();
      saved = true;
    }
  } catch (const platform::RegistryError&) {
  }
  if (added && (saved || !ListHolds(CBProjectDir, dir))) AddRecentDir(CBProjectDir, dir);
  return saved;
}

analysis::TScanOptions TFrmmain::ReadScanOptions() {
  analysis::TScanOptions options;
  // A store that cannot be read leaves the version-control data out all the
  // same: leaving it in could offer a repository for deletion.
  try {
    if (auto key = OpenSettingsKey(env_.RegistryPath); key && key->HasValue("ExcludeDirs")) {
      options.ExcludedNames = analysis::SplitExcludeDirs(key->ReadString("ExcludeDirs"));
    }
  } catch (const std::exception&) {
  }
  return options;
}

void TFrmmain::LoadDeleteMode() {
  try {
    if (auto key = OpenSettingsKey(env_.RegistryPath)) {
      trashMode_ = key->ReadString("DeleteMode") == "trash";
    }
  } catch (const std::exception&) {
    trashMode_ = false;
  }
  MovetoTrash1->setChecked(trashMode_);
  EnableRestore();
}

void TFrmmain::SaveDeleteMode() {
  try {
    if (auto key = OpenSettingsKey(env_.RegistryPath)) {
      key->WriteString("DeleteMode", trashMode_ ? "trash" : "delete");
      key->Close();
    }
  } catch (const std::exception&) {
    // Like the layout: the mode still holds for this session.
  }
}
