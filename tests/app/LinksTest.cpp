#include <gtest/gtest.h>

#include <QTest>
#include <QTextBrowser>

#include "app/Config.h"
#include "app/HelpWindow.h"
#include "app/OpenLink.h"
#include "platform/qt/ImageControl.h"
#include "platform/qt/StatusBar.h"
#include "results/qt/StringGrid.h"
#include "tests/support/TempDir.h"
#include "tests/support/WindowFixture.h"

namespace {

class LinksTest : public testsupport::WindowFixture {
 protected:
  bool WaitOpened(std::size_t count) {
    return QTest::qWaitFor([&] { return Opened().size() >= count && window->Link->Suspended(); },
                           10000);
  }
};

TEST_F(LinksTest, BannerClickBeforeAnyBannerOpensTheMakersSite) {
  QTest::mouseClick(window->ImgJPEGAd, Qt::LeftButton);
  ASSERT_TRUE(WaitOpened(1));
  EXPECT_EQ(Opened(), std::vector<std::string>{"http://www.orvanta.example/"});
}

TEST_F(LinksTest, StatusBarClickOpensTheFeedbackMailAndTheBannerThenOpensItToo) {
  QTest::mouseClick(window->StatusBar1, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
  ASSERT_TRUE(WaitOpened(1));
  const std::string feedback =
      "mailto:feedback@orvanta.example?subject=Feedback%20for%20Quilmere";
  EXPECT_EQ(Opened(), std::vector<std::string>{feedback});
  window->ImgAdClick();
  ASSERT_TRUE(WaitOpened(2));
  EXPECT_EQ(Opened().back(), feedback);
  // A link set by the banner replaces it.
  window->SetLinkUrl("https://ads.example/x");
  window->ImgAdClick();
  ASSERT_TRUE(WaitOpened(3));
  EXPECT_EQ(Opened().back(), "https://ads.example/x");
}

TEST_F(LinksTest, F1ShowsTheHelpPageFromTheTop) {
  helpDirectory = QString::fromStdString(std::string(QUILMERE_SOURCE_DIR) + "/app/help");
  OpenWindow();
  window->StringGrid1->setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
  ASSERT_NE(window->HelpWindow, nullptr);
  EXPECT_TRUE(window->HelpWindow->isVisible());
  EXPECT_TRUE(window->HelpWindow->Source().endsWith("Quilmere.html"));
  EXPECT_EQ(THelpWindow::FindHelpFile(helpDirectory, "QUILMERE.HLP"),
            window->HelpWindow->Source());
}

// The installed layout (bin/quilmere, share/quilmere/Quilmere.html) and the
// build tree's (the page beside the program, which wins).
TEST(ProgramHelp, FoundInstalledBesideBinAndInTheBuildTree) {
  testsupport::TempDir root;
  const QString bin = QString::fromStdString(root.Dir() + "usr/bin");
  const std::string installed = root.Write("usr/share/quilmere/Quilmere.html");
  root.Write("usr/bin/quilmere");
  const QStringList directories = THelpWindow::ProgramHelpDirectories(
      bin, QString::fromLatin1(config::InstalledHelpDirectory));
  EXPECT_EQ(THelpWindow::FindHelpFile(directories, "quilmere.hlp").toStdString(), installed);

  const std::string beside = root.Write("usr/bin/quilmere.html");
  EXPECT_EQ(THelpWindow::FindHelpFile(directories, "quilmere.hlp").toStdString(), beside);
  EXPECT_EQ(THelpWindow::FindHelpFile(directories, "other.hlp"), QString());
}

TEST_F(LinksTest, MissingHelpPageIsSaidInTheViewer) {
  helpDirectory = QString::fromStdString(config.Dir());
  OpenWindow();
  window->ShowHelp();
  ASSERT_NE(window->HelpWindow, nullptr);
  EXPECT_TRUE(window->HelpWindow->isVisible());
  EXPECT_TRUE(boxes.empty());
}

}  // namespace
