#pragma once
#include <gtest/gtest.h>

#include <QApplication>

#include "tests/support/QtApp.h"
#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "analysis/FileTable.h"
#include "app/Main.h"
#include "tests/support/FrmmainTestAccess.h"
#include "platform/qt/MessageBoxes.h"
#include "tests/support/TempDir.h"

// A main window on the offscreen platform, with its registry in a temp
// folder, message boxes recorded instead of shown, deletions recorded (and
// refused where refuseDelete says), and the confirmation answered by
// confirmAnswer.
namespace testsupport {

struct RecordedBox {
  std::string text;
  std::string title;
};

class WindowFixture : public testing::Test {
 protected:
  static void SetUpTestSuite() { testsupport::EnsureApplication(); }

  void SetUp() override {
    // The file table is the process's own: each test starts with it empty,
    // as the program does.
    analysis::FileTable.Reset();
    platform::SetMessageBoxHandler(
        [this](const QString& text, const QString& title, platform::MessageIcon) {
          boxes.push_back({text.toStdString(), title.toStdString()});
        });
    OpenWindow();
  }

  void TearDown() override {
    window.reset();
    platform::SetMessageBoxHandler({});
  }

  // Opens (or reopens) the window on the same registry.
  void OpenWindow() {
    window.reset();
    TFrmmainEnvironment env;
    env.RegistryPath = RegistryPath();
    env.Source = source;
    env.Opener = [this](const std::string& url) {
      std::lock_guard<std::mutex> lock(openedMutex);
      opened.push_back(url);
    };
    env.HelpDirectory = helpDirectory;
    env.HomeDirectory = homeDirectory;
    // Never the user's own Trash.
    env.HomeTrash = config.Dir() + "Trash";
    // The banner talks to loopback only: a test server, or a closed port.
    env.AdServerHost = "127.0.0.1";
    env.AdServerPort = adServerPort;
    env.AdTimeLimit = std::chrono::milliseconds(2000);
    // Records each deletion; refuseDelete stands for a file system that
    // fails it. The window's own checks and unlinkat do the rest.
    env.DeleteFile = [this](const std::string& path) {
      deleted.push_back(path);
      return !(refuseDelete && refuseDelete(path));
    };
    window.reset(new TFrmmain(env));
    window->ConfirmDelete = [this] {
      ++confirmations;
      return confirmAnswer;
    };
    window.get()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  }

  QString RegistryPath() const { return QString::fromStdString(config.Dir() + "registry.json"); }

  // Types dir into the box and presses Process.
  void Process(const std::string& dir) {
    window->CBProjectDir->setEditText(QString::fromStdString(dir));
    window->BtnProcess->click();
  }

  TempDir config;
  platform::DirectorySource* source = nullptr;  // the real file system when null
  WindowUnderTest window;
  std::vector<RecordedBox> boxes;
  std::vector<std::string> deleted;
  std::function<bool(const std::string&)> refuseDelete;  // true: the file stays
  // What the link opener was asked to open (from its own thread).
  std::vector<std::string> Opened() {
    std::lock_guard<std::mutex> lock(openedMutex);
    return opened;
  }
  std::mutex openedMutex;
  std::vector<std::string> opened;
  QString helpDirectory;
  std::string homeDirectory;  // what "~" stands for; the user's home when empty
  int adServerPort = 9;  // nothing listens there
  int confirmations = 0;
  int confirmAnswer = 1;
};

}  // namespace testsupport
