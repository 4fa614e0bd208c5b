#include <gtest/gtest.h>

#include <QTest>
#include <QTextBrowser>

#include "app/HelpWindow.h"
#include "app/OpenLink.h"
#include "platform/qt/ImageControl.h"
#include "platform/qt/StatusBar.h"
#include "results/qt/StringGrid.h"
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

TEST_F(LinksTest, MissingHelpPageIsSaidInTheViewer) {
  helpDirectory = QString::fromStdString(config.Dir());
  OpenWindow();
  window->ShowHelp();
  ASSERT_NE(window->HelpWindow, nullptr);
  EXPECT_TRUE(window->HelpWindow->isVisible());
  EXPECT_TRUE(boxes.empty());
}

}  // namespace
