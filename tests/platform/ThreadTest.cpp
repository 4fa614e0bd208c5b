#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "platform/Thread.h"

namespace {

using namespace std::chrono_literals;
constexpr auto kBound = 10s;  // generous: only a hang ever waits this long

// A one-way gate the test opens for a waiting body, and a record of how many
// passes the body has made.
struct Gate {
  std::mutex mutex;
  std::condition_variable changed;
  bool open = true;
  int entered = 0;

  void Pass() {
    std::unique_lock lock(mutex);
    ++entered;
    changed.notify_all();
    changed.wait_for(lock, kBound, [this] { return open; });
  }
  bool WaitEntered(int count) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, kBound, [&] { return entered >= count; });
  }
  void Set(bool isOpen) {
    std::lock_guard lock(mutex);
    open = isOpen;
    changed.notify_all();
  }
  int Entered() {
    std::lock_guard lock(mutex);
    return entered;
  }
};

// One pass per resume, like the program's workers.
class PassingThread : public platform::Thread {
 public:
  explicit PassingThread(Gate& gate) : gate_(gate) {}
  ~PassingThread() override { TerminateAndWait(); }
  using Thread::Synchronize;

 protected:
  void Execute() override {
    while (!Terminated()) {
      gate_.Pass();
      Suspend();
    }
  }

 private:
  Gate& gate_;
};

TEST(ThreadTest, EachResumeRunsOnePassAndTerminationEndsAfterTheNext) {
  Gate gate;
  PassingThread thread(gate);
  EXPECT_TRUE(thread.Suspended());
  EXPECT_FALSE(thread.WaitForSuspended(1ms));  // not started: not waiting in Suspend either

  thread.Resume();
  ASSERT_TRUE(thread.WaitForSuspended(kBound));
  EXPECT_EQ(gate.Entered(), 1);
  thread.Resume();
  ASSERT_TRUE(thread.WaitForSuspended(kBound));
  EXPECT_EQ(gate.Entered(), 2);

  thread.Terminate();  // wakes nothing
  EXPECT_TRUE(thread.Suspended());
  EXPECT_FALSE(thread.WaitFor(1ms));
  thread.Resume();
  ASSERT_TRUE(thread.WaitFor(kBound));
  EXPECT_EQ(gate.Entered(), 2);
  EXPECT_FALSE(thread.Suspended());
}

TEST(ThreadTest, ResumeDuringAPassIsNotLost) {
  Gate gate;
  gate.Set(false);
  PassingThread thread(gate);
  thread.Resume();
  ASSERT_TRUE(gate.WaitEntered(1));
  EXPECT_FALSE(thread.Suspended());
  thread.Resume();  // comes while the first pass still runs
  gate.Set(true);
  ASSERT_TRUE(gate.WaitEntered(2));
  ASSERT_TRUE(thread.WaitForSuspended(kBound));
  EXPECT_EQ(gate.Entered(), 2);
}

TEST(ThreadTest, OwnerDeletingASuspendedThreadEndsItsBody) {
  Gate gate;
  auto thread = std::make_unique<PassingThread>(gate);
  thread->Resume();
  ASSERT_TRUE(thread->WaitForSuspended(kBound));
  thread.reset();  // must neither hang nor make another pass
  EXPECT_EQ(gate.Entered(), 1);
}

struct EndRecord {
  std::mutex mutex;
  std::condition_variable changed;
  bool deleted = false;
  int nice = 0;
};

class SelfFreeingThread : public platform::Thread {
 public:
  explicit SelfFreeingThread(std::shared_ptr<EndRecord> record) : record_(std::move(record)) {}
  ~SelfFreeingThread() override {
    std::lock_guard lock(record_->mutex);
    record_->deleted = true;
    record_->changed.notify_all();
  }

 protected:
  void Execute() override {
    std::lock_guard lock(record_->mutex);
    record_->nice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
  }

 private:
  std::shared_ptr<EndRecord> record_;
};

TEST(ThreadTest, FreesItselfWhenItEndsAndRunsOneStepBelowItsCreator) {
  auto record = std::make_shared<EndRecord>();
  auto* thread = new SelfFreeingThread(record);
  thread->SetFreeOnTerminate(true);
  thread->SetPriority(platform::ThreadPriority::BelowNormal);
  const int creatorNice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
  thread->Resume();  // from here on the object is not ours to touch

  std::unique_lock lock(record->mutex);
  ASSERT_TRUE(record->changed.wait_for(lock, kBound, [&] { return record->deleted; }));
  EXPECT_EQ(record->nice, creatorNice < 19 ? creatorNice + 1 : 19);
}

TEST(ThreadTest, SynchronizeGoesThroughTheSynchronizerUntilTerminationIsRequested) {
  Gate gate;
  PassingThread thread(gate);
  int viaSynchronizer = 0;
  int ran = 0;
  thread.SetSynchronizer([&](const std::function<void()>& call) {
    ++viaSynchronizer;
    call();
    return true;
  });
  EXPECT_TRUE(thread.Synchronize([&] { ++ran; }));
  EXPECT_EQ(viaSynchronizer, 1);
  EXPECT_EQ(ran, 1);

  thread.SetSynchronizer([](const std::function<void()>&) { return false; });  // window going away
  EXPECT_FALSE(thread.Synchronize([&] { ++ran; }));

  thread.Terminate();
  thread.SetSynchronizer({});
  EXPECT_FALSE(thread.Synchronize([&] { ++ran; }));
  EXPECT_EQ(ran, 1);
}

}  // namespace
