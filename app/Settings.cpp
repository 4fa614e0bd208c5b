// The window's layout and the recent project directories, kept in the
// program's registry key. Layout failures are never shown; a failed read
// saves the layout at once so that every value exists after the first start.
#include <QComboBox>
#include <QSplitter>

#include "app/Main.h"
#include "app/RecentDirs.h"
#include "platform/Panel.h"
#include "platform/Registry.h"
#include "results/StringGrid.h"

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
  try {
    move(x(), key->ReadInteger("Top"));
    move(key->ReadInteger("Left"), y());
    resize(key->ReadInteger("Width"), height());
    resize(width(), key->ReadInteger("Height"));
    SetTreeWidth(Splitter1, key->ReadInteger("ShellTreeWidth"));
    StringGrid1->SetColWidth(0, key->ReadInteger("Col0"));
    StringGrid1->SetColWidth(1, key->ReadInteger("Col1"));
    StringGrid1->SetColWidth(2, key->ReadInteger("Col2"));
    for (int n = 1; n <= app::MaxRecentDirs; ++n) {
      const std::string dir = key->ReadString(app::RecentDirName(n));
      if (!QString::fromLocal8Bit(dir).trimmed().isEmpty()) {
        AddRecentDir(CBProjectDir, dir);
      }
    }
  } catch (const std::exception&) {
    SaveSettings();
  }
}

void TFrmmain::UpdateRecentDirs(const std::string& dir) {
  auto key = OpenSettingsKey(env_.RegistryPath);
  if (!key) return;
  // Registry errors here end the Process command.
  if (app::UpdateRecentDirs(*key, dir)) AddRecentDir(CBProjectDir, dir);
}
