#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <chrono>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/qt/GuiInvoker.h"
#include "platform/Thread.h"

namespace {

using namespace std::chrono_literals;
constexpr auto kBound = 10s;

QCoreApplication& App() {
  static int argc = 1;
  static char name[] = "test_platform";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  return app;
}

// Handles the window thread's events until the worker's result is in.
template <typename T>
bool PumpUntilReady(std::future<T>& result) {
  const auto until = std::chrono::steady_clock::now() + kBound;
  while (result.wait_for(1ms) != std::future_status::ready) {
    if (std::chrono::steady_clock::now() > until) return false;
    QCoreApplication::processEvents();
  }
  return true;
}

class GuiInvokerTest : public testing::Test {
 protected:
  void SetUp() override { App(); }
};

TEST_F(GuiInvokerTest, RunsTheCallOnTheWindowThreadAndHandsItsFailureBack) {
  platform::GuiInvoker invoker;
  auto channel = invoker.Channel();
  QThread* ranOn = nullptr;
  auto result = std::async(std::launch::async, [&]() -> std::string {
    if (!channel->Invoke([&] { ranOn = QThread::currentThread(); })) return "not run";
    try {
      channel->Invoke([] { throw std::runtime_error("bad picture"); });
    } catch (const std::runtime_error& error) {
      return error.what();
    }
    return "nothing thrown";
  });
  ASSERT_TRUE(PumpUntilReady(result));
  EXPECT_EQ(result.get(), "bad picture");
  EXPECT_EQ(ranOn, QThread::currentThread());
}

TEST_F(GuiInvokerTest, ClosingReleasesTheWaitingWorkerAndTheCallNeverRuns) {
  platform::GuiInvoker invoker;
  auto channel = invoker.Channel();
  bool ran = false;
  std::promise<void> invoking;
  auto result = std::async(std::launch::async, [&] {
    invoking.set_value();
    return channel->Invoke([&] { ran = true; });
  });
  invoking.get_future().wait();
  invoker.Close();  // the window goes away without handling another event
  ASSERT_EQ(result.wait_for(kBound), std::future_status::ready);
  EXPECT_FALSE(result.get());
  QCoreApplication::processEvents();  // a call still queued must not run now
  EXPECT_FALSE(ran);
  EXPECT_FALSE(channel->Invoke([&] { ran = true; }));
  EXPECT_FALSE(ran);
}

TEST_F(GuiInvokerTest, ACallThatClosesTheChannelStillFinishesBeforeTheWorkerGoesOn) {
  platform::GuiInvoker invoker;
  auto channel = invoker.Channel();
  bool finished = false;
  auto result = std::async(std::launch::async, [&] {
    const bool ran = channel->Invoke([&] {
      invoker.Close();  // as when the call's own work ends in the window's destruction
      finished = true;
    });
    return ran && finished;  // read on the worker: only sound if it waited for the end
  });
  ASSERT_TRUE(PumpUntilReady(result));
  EXPECT_TRUE(result.get());
}

// A worker in the program's shape: one synchronised display step per resume.
class DisplayingThread : public platform::Thread {
 public:
  ~DisplayingThread() override { TerminateAndWait(); }
  int shown = 0;  // written on the window thread during the call
  std::promise<bool> outcome;

 protected:
  void Execute() override {
    outcome.set_value(Synchronize([this] { ++shown; }));
    Suspend();
  }
};

TEST_F(GuiInvokerTest, DestroyingTheWindowSideNeverHangsAWorkerInItsDisplayStep) {
  auto invoker = std::make_unique<platform::GuiInvoker>();
  DisplayingThread worker;
  worker.SetSynchronizer(invoker->Synchronizer());
  auto outcome = worker.outcome.get_future();
  worker.Resume();
  invoker.reset();  // no event handled since the resume
  ASSERT_EQ(outcome.wait_for(kBound), std::future_status::ready);
  EXPECT_FALSE(outcome.get());
  QCoreApplication::processEvents();
  EXPECT_EQ(worker.shown, 0);
  worker.TerminateAndWait();
  EXPECT_TRUE(worker.WaitFor(kBound));
}

TEST_F(GuiInvokerTest, AWorkerAskedToTerminateNoLongerReachesTheWindow) {
  platform::GuiInvoker invoker;
  DisplayingThread worker;
  worker.SetSynchronizer(invoker.Synchronizer());
  auto outcome = worker.outcome.get_future();
  worker.Terminate();  // the window's destruction has begun
  worker.Resume();
  ASSERT_TRUE(PumpUntilReady(outcome));
  EXPECT_FALSE(outcome.get());
  EXPECT_EQ(worker.shown, 0);
}

}  // namespace
