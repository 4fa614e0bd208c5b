#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <string_view>

#include "app/DesignLayout.h"
#include "app/FolderTree.h"
#include "app/Main.h"
#include "platform/qt/DesignUnits.h"
#include "platform/qt/ImageControl.h"
#include "platform/qt/Panel.h"
#include "platform/qt/StatusBar.h"
#include "results/qt/StringGrid.h"
#include "tests/support/TempDir.h"
#include "tests/support/WindowFixture.h"

namespace {

class MainWindowTest : public testsupport::WindowFixture {
 protected:
  int Du(int v) const { return platform::Du(window.get(), v); }

  // Waits (bounded) until the folder tree knows the path as a folder.
  bool SelectInTree(const QString& path) {
    return QTest::qWaitFor([&] { return window->ShellTreeView1->SelectPath(path); }, 10000);
  }
};

// What showing the window sets up: the status texts, the grid's titles and
// its one blank row, the banner's minute tick, and Delete off until a run.
TEST_F(MainWindowTest, ShowingTheWindowSetsUpItsStartState) {
  EXPECT_FALSE(window->BtnDelete->isEnabled());
  EXPECT_EQ(window->StatusBar1->PanelText(platform::StatusBar::MessagePanel),
            "  Press F1 for help.");
  EXPECT_EQ(window->StatusBar1->PanelText(platform::StatusBar::FeedbackPanel),
            "Send feedback to: feedback@orvanta.example     ");
  EXPECT_EQ(window->StringGrid1->Cell(2, 0), "File name");
  EXPECT_EQ(window->StringGrid1->RowCount(), 2);
  EXPECT_TRUE(window->Timer1->isActive());
}

TEST_F(MainWindowTest, ControlsSitAtTheirDesignPlaces) {
  for (const design::TPlace& place : design::Places) {
    const auto* control = window.get()->findChild<QWidget*>(QString::fromLatin1(place.Control));
    ASSERT_NE(control, nullptr) << place.Control;
    // The banner keeps its centre as the panel resizes: its top only.
    if (std::string_view(place.Control) == "ImgJPEGAd") {
      EXPECT_EQ(control->y(), Du(place.Top));
    } else {
      EXPECT_EQ(control->pos(), QPoint(Du(place.Left), Du(place.Top))) << place.Control;
    }
    if (place.Width != 0) {
      EXPECT_EQ(control->width(), Du(place.Width)) << place.Control;
    }
    if (place.Height != 0) {
      EXPECT_EQ(control->height(), Du(place.Height)) << place.Control;
    }
  }
  EXPECT_EQ(window->Panel1->height(), Du(design::Panel1Height));
  EXPECT_EQ(window->Panel4->height(), Du(design::Panel4Height));
  EXPECT_EQ(window->Panel3->width(), Du(design::TreeWidth));
  EXPECT_EQ(window->Splitter1->handleWidth(), Du(design::SplitterHandle));
  EXPECT_EQ(window->StatusBar1->height(), Du(design::StatusBarHeight));
  EXPECT_EQ(window->StatusBar1->PanelLabel(0)->width(), Du(design::StatusPanel0Width));
}

TEST_F(MainWindowTest, CannotBeMadeSmallerThanItsMinimum) {
  window.get()->resize(100, 100);
  EXPECT_EQ(window.get()->size(), QSize(Du(600), Du(360)));
}

TEST_F(MainWindowTest, TreeSelectionFillsTheBoxWithoutTrailingDelimiter) {
  testsupport::TempDir tmp;
  tmp.Write("site/index.cfm");
  const QString site = QString::fromStdString(tmp.Dir() + "site");
  ASSERT_TRUE(SelectInTree(site));
  EXPECT_EQ(window->CBProjectDir->currentText(), site);

  ASSERT_TRUE(SelectInTree(QStringLiteral("/")));
  EXPECT_EQ(window->CBProjectDir->currentText(), "/");

  // My Computer has no path: the box stays as it was.
  window->CBProjectDir->setEditText(QStringLiteral("typed by hand"));
  window->ShellTreeView1->setCurrentIndex(window->ShellTreeView1->Model()->TopIndex());
  EXPECT_EQ(window->ShellTreeView1->SelectedPath(), "");
  EXPECT_EQ(window->CBProjectDir->currentText(), "typed by hand");
  // Choosing a folder never starts a Process command.
  EXPECT_EQ(window->StatusBar1->PanelText(0), "  Press F1 for help.");
}

TEST_F(MainWindowTest, F1IsSeenWhicheverControlHasTheFocus) {
  QSignalSpy help(window.get(), &TFrmmain::HelpRequested);
  QWidget* controls[] = {window->CBProjectDir, window->StringGrid1, window->ShellTreeView1,
                         window->BtnProcess};
  for (QWidget* control : controls) {
    control->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
  }
  EXPECT_EQ(help.count(), 4);
  QTest::keyClick(window->StringGrid1, Qt::Key_A);
  EXPECT_EQ(help.count(), 4);
}

}  // namespace
