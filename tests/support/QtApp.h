#pragma once
#include <QApplication>

// The one QApplication of a test program, made on first use (the platform
// is offscreen: the test command sets QT_QPA_PLATFORM).
namespace testsupport {

inline void EnsureApplication() {
  static int argc = 1;
  static char arg0[] = "quilmere-test";
  static char* argv[] = {arg0, nullptr};
  if (QApplication::instance() == nullptr) new QApplication(argc, argv);
}

}  // namespace testsupport
