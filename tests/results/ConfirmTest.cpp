#include <gtest/gtest.h>

#include <QApplication>

#include "tests/support/QtApp.h"
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "results/qt/Confirm.h"

namespace {

class ConfirmTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { testsupport::EnsureApplication(); }
  // Runs the dialog modally while act drives it; returns the modal result.
  int Run(const std::function<void()>& act) {
    QTimer::singleShot(0, &dialog, [&] {
      EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
      act();
      if (dialog.isVisible()) dialog.done(99);  // nothing ended it
    });
    return dialog.exec();
  }
  TFrmConfirm dialog;
};

TEST_F(ConfirmTest, ButtonsEndWithTheirModalResults) {
  EXPECT_EQ(Run([&] { dialog.BtnOk->click(); }), TFrmConfirm::mrOk);
  EXPECT_EQ(Run([&] { dialog.BtnCancel->click(); }), TFrmConfirm::mrCancel);
  EXPECT_EQ(Run([&] { dialog.close(); }), TFrmConfirm::mrCancel);
}

TEST_F(ConfirmTest, EscDoesNothingAndEnterPressesTheFocusedButton) {
  EXPECT_EQ(Run([&] {
              QTest::keyClick(&dialog, Qt::Key_Escape);
              EXPECT_TRUE(dialog.isVisible());
            }),
            99);
  // First opening: OK has the focus.
  EXPECT_EQ(Run([&] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); }), 1);
  // Tab to Cancel and press Space: the next opening keeps the focus there.
  EXPECT_EQ(Run([&] {
              QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
              QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
            }),
            2);
  EXPECT_EQ(Run([&] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); }), 2);
}

}  // namespace
