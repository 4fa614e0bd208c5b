#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <fstream>
#include <sstream>

#include "analysis/FileTable.h"
#include "report/CommandLine.h"
#include "report/ReportWriter.h"
#include "app/DesignLayout.h"
#include "app/Shortcuts.h"
#include "platform/qt/DesignUnits.h"
#include "platform/qt/StatusBar.h"
#include "results/qt/StringGrid.h"
#include "tests/support/LeaseHolder.h"
#include "tests/support/WindowFixture.h"

using analysis::FileTable;

namespace {

// Reviewing a run's verdicts: cancel, filter, find, the keyboard, the row
// actions and the export.
class ReviewTest : public testsupport::WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    site.Write("index.cfm", "<img src=\"img/logo.gif\"> <a href=\"news.cfm\">");
    site.Write("news.cfm", "plain");
    site.Write("img/logo.gif", "GIF89a");
    site.Write("img/old.gif", "GIF89a-old");
    site.Write("admin/unused.cfm", "nothing");
    site.Write("admin/old/backup.cfm", "nothing");
  }
  std::string Status() const { return window->StatusBar1->PanelText(0).toStdString(); }
  results::TStringGrid* Grid() const { return window->StringGrid1; }
  int RowOf(const std::string& name) const {
    for (int r = 1; r <= FileTable.FileCount; ++r) {
      if (FileTable[r].Name == name) return r;
    }
    return 0;
  }
  std::string Rows() const {
    std::string text;
    for (int r = 1; r <= FileTable.FileCount; ++r) {
      text += std::to_string(FileTable[r].Checked) + Grid()->Cell(2, r).toStdString() + " ";
    }
    return text;
  }
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key), modifiers);
  }
  testsupport::TempDir site;
};

// Esc in the scan's first pump, Cancel later in the analysis: each time the
// grid and the checks are the previous run's, by hand-made changes and all.
TEST_F(ReviewTest, CancelGivesThePreviousRunBack) {
  Process(site.Dir());
  ASSERT_EQ(FileTable.FileCount, 6);
  FileTable[RowOf("news.cfm")].Checked = 1;  // by hand
  window->FillGrid();
  const std::string before = Rows();
  testsupport::TempDir other;
  for (int i = 0; i < 30; ++i) other.Write("d" + std::to_string(i) + "/p.cfm", "x");

  for (const int stopAt : {1, 40}) {
    Grid()->setFocus();
    int pumps = 0;
    bool controlsShown = false;
    QTimer pump;
    pump.setInterval(0);
    QObject::connect(&pump, &QTimer::timeout, [&] {
      if (!window->Processing() || ++pumps != stopAt) return;
      controlsShown = window->ProgressBar1->isVisible() && window->BtnCancel->isVisible();
      if (stopAt == 1) {
        // As after a message box over controls the run disabled: no control
        // has the focus, the window gets the key.
        if (QWidget* focused = QApplication::focusWidget()) focused->clearFocus();
        QTest::keyClick(window.get(), Qt::Key_Escape);
      } else {
        window->BtnCancel->click();
      }
    });
    pump.start();
    Process(other.Dir());
    pump.stop();
    EXPECT_GE(pumps, stopAt);
    EXPECT_TRUE(controlsShown);
    EXPECT_EQ(Rows(), before);
    EXPECT_EQ(Status(), "  Cancelled.");
    EXPECT_EQ(FileTable.ProjectDirectory, site.Dir());
    EXPECT_TRUE(window->BtnDelete->isEnabled());
    EXPECT_FALSE(window->ProgressBar1->isVisible());
    EXPECT_EQ(window->CBProjectDir->findText(QString::fromStdString(other.Dir())), -1);
  }
}

// A page that cannot be opened yet (another process holds a lease on it)
// leaves the window answering, and closing the window ends the run there.
TEST_F(ReviewTest, ClosingTheWindowEndsARunWaitingForAPage) {
  Process(site.Dir());
  const std::string before = Rows();
  testsupport::TempDir other;
  other.Write("page.cfm", "x");
  testsupport::LeaseHolder lease(other.Dir() + "page.cfm");
  ASSERT_TRUE(lease.Held());
  // The scan and the entry pump a few times; past that only the wait does.
  constexpr int WhileBlocked = 10;
  int pumps = 0;
  QTimer pump;
  pump.setInterval(0);
  QObject::connect(&pump, &QTimer::timeout, [&] {
    if (window->Processing() && ++pumps == WhileBlocked) window.get()->close();
  });
  pump.start();
  Process(other.Dir());
  pump.stop();
  EXPECT_GE(pumps, WhileBlocked);
  EXPECT_EQ(Status(), "  Cancelled.");
  EXPECT_EQ(Rows(), before);
}

// With checked rows only, the commands reach the rows shown and no others;
// find goes from row to row among them, whatever the case.
TEST_F(ReviewTest, FilterAndFindActOnTheRowsShown) {
  Process(site.Dir());
  const int oldGif = RowOf("old.gif"), unused = RowOf("unused.cfm"), backup = RowOf("backup.cfm");
  ASSERT_EQ(FileTable[oldGif].Checked, 1);
  window->Showcheckedrowsonly1->trigger();
  for (int r = 1; r <= FileTable.FileCount; ++r) {
    EXPECT_EQ(Grid()->RowShown(r), FileTable[r].Checked == 1) << r;
  }
  Grid()->SelectRows(1, FileTable.FileCount);
  window->DeleteAll1->trigger();  // hidden used files must not become checked
  window->UncheckAll1->trigger();
  for (int r = 1; r <= FileTable.FileCount; ++r) EXPECT_EQ(FileTable[r].Checked, 0) << r;
  window->Restoreselectedstate1->trigger();

  Grid()->setFocus();
  Key(Qt::Key_F, Qt::ControlModifier);
  ASSERT_TRUE(window->PanelFind->isVisible());
  ASSERT_EQ(QApplication::focusWidget(), window->EdtFind);
  QTest::keyClicks(window->EdtFind, "ADMIN");
  const int first = Grid()->FocusedRow();
  EXPECT_TRUE(first == unused || first == backup);
  Key(Qt::Key_F3);
  EXPECT_EQ(Grid()->FocusedRow(), first == unused ? backup : unused);
  Key(Qt::Key_Return);  // in the box: the next one, not a Process run
  EXPECT_EQ(Grid()->FocusedRow(), first);
  EXPECT_EQ(Grid()->SelectedRows(), std::make_pair(first, first));
  window->EdtFind->setText(QStringLiteral("index"));  // used: hidden, not found
  Key(Qt::Key_F3);
  EXPECT_EQ(Grid()->FocusedRow(), first);
  EXPECT_EQ(Status(), "  No path holds \"index\".");
  Key(Qt::Key_Escape);
  EXPECT_FALSE(window->PanelFind->isVisible());
  EXPECT_EQ(QApplication::focusWidget(), Grid());
}

// The keyboard reaches the menu, and the row actions take the row it was
// opened at.
TEST_F(ReviewTest, RowActionsTakeTheRowTheMenuOpenedAt) {
  Process(site.Dir());
  const int row = RowOf("old.gif");
  const std::string path = site.Dir() + "img/old.gif";
  Grid()->setFocus();
  Grid()->GoToRow(row);
  Key(Qt::Key_Space);
  EXPECT_EQ(FileTable[row].Checked, 0);
  EXPECT_EQ(window->StatusBar1->PanelText(platform::StatusBar::CountPanel).trimmed(),
            "2 checked, 14 bytes");
  Key(Qt::Key_F10, Qt::ShiftModifier);
  EXPECT_TRUE(window->PopupMenu1->isVisible());
  window->PopupMenu1->hide();
  Grid()->GoToRow(1);  // the menu's row stays the one it opened at
  window->Copypath1->trigger();
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), path);
  window->Open1->trigger();
  ASSERT_TRUE(QTest::qWaitFor([&] { return Opened().size() == 1; }, 10000));
  window->Opencontainingfolder1->trigger();
  ASSERT_TRUE(QTest::qWaitFor([&] { return Opened().size() == 2; }, 10000));
  EXPECT_EQ(Opened(), (std::vector<std::string>{"file://" + path, "file://" + site.Dir() + "img/"}));
}

// Export writes what quilmere-report --why writes for the same tree.
TEST_F(ReviewTest, ExportIsByteForByteTheReport) {
  site.Write("odd\tname\\.gif", "x");
  Process(site.Dir());
  for (const auto& [format, flag] : {std::pair{report::TReportFormat::Tsv, "--format=tsv"},
                                     std::pair{report::TReportFormat::Json, "--format=json"}}) {
    const std::string file = config.Dir() + "export";
    window->ChooseExportFile = [&] { return TExportChoice{QString::fromStdString(file), format}; };
    window->Exportlist1->trigger();
    std::ifstream in(file, std::ios::binary);
    std::stringstream exported;
    exported << in.rdbuf();
    std::ostringstream report, err;
    platform::PosixDirectorySource real;
    ASSERT_EQ(report::RunReport({"--why", flag, site.Dir()}, report, err, real), 0);
    EXPECT_EQ(exported.str(), report.str()) << flag;
  }
  EXPECT_EQ(Status(), "  List exported to " + config.Dir() + "export.");
}

TEST_F(ReviewTest, DirectoryBoxTakesHomeAndPastedQuotes) {
  homeDirectory = site.Dir();
  OpenWindow();
  Process("~/img");
  EXPECT_EQ(FileTable.FileCount, 2);
  EXPECT_EQ(window->CBProjectDir->currentText().toStdString(), site.Dir() + "img/");
  Process(" \"" + site.Dir() + "admin\"\n");
  EXPECT_EQ(FileTable.FileCount, 2);
  EXPECT_EQ(FileTable.ProjectDirectory, site.Dir() + "admin/");
  Process("~/missing");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Invalid directory");
}

// At the smallest width the panels sit side by side; a text that does not
// fit is shortened on screen and whole as the panel's text.
TEST_F(ReviewTest, StatusPanelsNeverOverlapAndAFirstWindowFitsTheScreen) {
  const QRect desk = window.get()->screen()->availableGeometry();
  const QSize design(platform::Du(window.get(), design::WindowWidth),
                     platform::Du(window.get(), design::WindowHeight));
  EXPECT_EQ(window.get()->size(),
            (desk.size() * design::FirstWindowShare).expandedTo(design).boundedTo(desk.size()));

  window.get()->resize(window.get()->minimumSize());
  const QString longText = QStringLiteral("  Analyzing ") + QString(300, QLatin1Char('x'));
  window->StatusBar1->SetPanelText(platform::StatusBar::MessagePanel, longText);
  window->StatusBar1->SetPanelText(platform::StatusBar::CountPanel, QStringLiteral("  9 checked, 1.2 MB  "));
  QApplication::processEvents();
  QRect previous;
  for (int panel : {platform::StatusBar::MessagePanel, platform::StatusBar::CountPanel,
                    platform::StatusBar::FeedbackPanel}) {
    const QRect place = window->StatusBar1->PanelLabel(panel)->geometry();
    EXPECT_GE(place.left(), previous.right()) << panel;
    EXPECT_LE(place.right(), window->StatusBar1->width()) << panel;
    previous = place;
  }
  EXPECT_EQ(window->StatusBar1->PanelText(platform::StatusBar::MessagePanel), longText);
  EXPECT_NE(window->StatusBar1->PanelLabel(platform::StatusBar::MessagePanel)->text(), longText);
  EXPECT_EQ(window->StatusBar1->PanelLabel(platform::StatusBar::FeedbackPanel)->text().toStdString(),
            window->StatusBar1->PanelText(platform::StatusBar::FeedbackPanel).toStdString());
}

// The help page names every item of the grid's menu and every key.
TEST_F(ReviewTest, HelpPageNamesEveryMenuItemAndShortcut) {
  QFile file(QStringLiteral(QUILMERE_SOURCE_DIR "/app/help/Quilmere.html"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QString page = QString::fromUtf8(file.readAll());
  for (const QAction* item : window->PopupMenu1->actions()) {
    if (item->isSeparator()) continue;
    const QString text = QString(item->text()).remove(QLatin1Char('&'));
    EXPECT_TRUE(page.contains(QStringLiteral("<b>") + text + QStringLiteral("</b>")))
        << text.toStdString();
  }
  for (const char* keys : shortcuts::All) {
    EXPECT_TRUE(page.contains(QStringLiteral("<kbd>%1</kbd>").arg(QString::fromLatin1(keys))))
        << keys;
  }
}

}  // namespace
