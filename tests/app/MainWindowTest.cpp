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

TEST_F(MainWindowTest, ShowsItsCaptionsTitlesAndStartState) {
  EXPECT_EQ(window->windowTitle(), "Quilmere");
  EXPECT_EQ(window->Label1->text(), "Project Directory");
  EXPECT_EQ(window->BtnProcess->text(), "&Process");
  EXPECT_EQ(window->BtnDelete->text(), "&Delete");
  EXPECT_FALSE(window->BtnDelete->isEnabled());
  EXPECT_TRUE(window->BtnProcess->isDefault());
  EXPECT_EQ(window->StatusBar1->PanelText(0), "  Press F1 for help.");
  EXPECT_EQ(window->StatusBar1->PanelText(1), "Send feedback to: feedback@orvanta.example     ");
  EXPECT_EQ(window->StatusBar1->toolTip(), "Click to send feedback to Orvanta");
  EXPECT_EQ(window->StatusBar1->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(window->ImgJPEGAd->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(window->StringGrid1->Cell(0, 0), "Unused");
  EXPECT_EQ(window->StringGrid1->Cell(1, 0), "Directory");
  EXPECT_EQ(window->StringGrid1->Cell(2, 0), "File name");
  EXPECT_EQ(window->StringGrid1->RowCount(), 2);
  EXPECT_EQ(window->StringGrid1->ColCount(), 3);
  EXPECT_EQ(window->StringGrid1->ColWidth(0), Du(77));
  EXPECT_EQ(window->StringGrid1->ColWidth(1), Du(186));
  EXPECT_EQ(window->StringGrid1->ColWidth(2), Du(234));
  EXPECT_EQ(window->StringGrid1->rowHeight(0), Du(24));
  EXPECT_TRUE(window->Timer1->isActive());
  EXPECT_EQ(window->Timer1->interval(), 60000);
}

TEST_F(MainWindowTest, ControlsSitAtTheirDesignPlaces) {
  EXPECT_EQ(window->Panel1->height(), Du(137));
  EXPECT_EQ(window->Panel4->height(), Du(85));
  EXPECT_EQ(window->ImgJPEGAd->size(), QSize(Du(576), Du(74)));
  EXPECT_EQ(window->BtnProcess->geometry(), QRect(Du(422), Du(89), Du(83), Du(32)));
  EXPECT_EQ(window->BtnDelete->geometry(), QRect(Du(512), Du(90), Du(81), Du(31)));
  EXPECT_EQ(window->CBProjectDir->pos(), QPoint(Du(112), Du(98)));
  EXPECT_EQ(window->CBProjectDir->width(), Du(305));
  EXPECT_EQ(window->Panel3->width(), Du(228));
  EXPECT_EQ(window->Splitter1->handleWidth(), Du(5));
  EXPECT_EQ(window->StatusBar1->height(), Du(29));
  EXPECT_EQ(window->StatusBar1->PanelLabel(0)->width(), Du(450));
}

TEST_F(MainWindowTest, CannotBeMadeSmallerThanItsMinimum) {
  window->resize(100, 100);
  EXPECT_EQ(window->size(), QSize(Du(600), Du(360)));
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
