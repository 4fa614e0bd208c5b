#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <stdexcept>
#include <string>

#include "platform/Thread.h"

namespace {

struct FailingBody : platform::Thread {
  void Execute() override { throw std::runtime_error("socket gone"); }
};

// A fault that escapes a body ends the thread and reaches the error sink.
TEST(Thread, AFaultThatEscapesTheBodyIsReportedNotHidden) {
  std::mutex mutex;
  std::string seen;
  platform::SetThreadErrorSink([&](const std::string& text) {
    std::lock_guard lock(mutex);
    seen = text;
  });
  {
    FailingBody body;
    body.Resume();
    ASSERT_TRUE(body.WaitFor(std::chrono::seconds(10)));
  }
  platform::SetThreadErrorSink({});
  std::lock_guard lock(mutex);
  EXPECT_EQ(seen, "socket gone");
}

}  // namespace
