#pragma once
#include <chrono>
#include <condition_variable>
#include <functional>
#include <exception>
#include <mutex>
#include <string>
#include <thread>

// A worker thread in the program's own terms: created suspended, its body
// (Execute) starts at the first Resume and may suspend itself until the next
// one; others may read whether it is suspended, request its termination and
// run a call on the window thread from it (Synchronize).
//
// Ownership: either the creator deletes the object, after ending the body
// (TerminateAndWait), or, with SetFreeOnTerminate(true), the object deletes
// itself on its own thread when Execute returns; nobody may touch it after
// the Resume that lets it end.
//
// No wake-up is lost: a Resume that comes while the body is running (not
// suspended) makes the body's next Suspend return at once.
namespace platform {

enum class ThreadPriority { Normal, BelowNormal };

class Thread {
 public:
  // Runs call on the window thread and waits for it; returns false when the
  // call was not run because the window side is going away.
  using Synchronizer = std::function<bool(const std::function<void()>& call)>;

  Thread() = default;
  virtual ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // Starts the body the first time, later wakes it from Suspend. Any thread.
  void Resume();
  // True before the first Resume and while the body waits in Suspend.
  bool Suspended() const;
  // Sets the termination request; wakes nothing.
  void Terminate();
  bool Terminated() const;

  // Set before the first Resume. BelowNormal is one nice step below the
  // creating thread's, best effort: a failure leaves the priority as it was.
  void SetPriority(ThreadPriority priority);
  void SetFreeOnTerminate(bool freeOnTerminate);
  // How Synchronize reaches the window thread. Without one, Synchronize runs
  // the call on the calling thread (for code tested without a window).
  void SetSynchronizer(Synchronizer synchronizer);

  // Bounded waits for the creator and for tests; not for a thread that frees
  // itself. WaitFor: true once Execute has returned. WaitForSuspended: true
  // once the body waits in Suspend.
  bool WaitFor(std::chrono::milliseconds bound) const;
  bool WaitForSuspended(std::chrono::milliseconds bound) const;

  // Requests termination, wakes the body and joins it. For an owner that
  // deletes the thread: call it before anything the body uses goes away (a
  // derived class calls it first thing in its destructor).
  void TerminateAndWait();

 protected:
  // The body, on the thread. It should check Terminated() after each Suspend.
  virtual void Execute() = 0;
  // Waits until the next Resume; only from the body.
  void Suspend();
  // Runs call on the window thread while this thread waits. Does not run it,
  // and returns false, once termination has been requested or when the
  // window side refuses it. An exception of the call is rethrown here.
  bool Synchronize(const std::function<void()>& call);

 private:
  static void Run(Thread* self);

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool started_ = false;
  bool suspended_ = true;
  bool resumePending_ = false;
  bool finished_ = false;
  bool terminated_ = false;
  bool freeOnTerminate_ = false;
  ThreadPriority priority_ = ThreadPriority::Normal;
  Synchronizer synchronizer_;
  std::thread thread_;
};

// Where a fault that escapes a thread's body goes: the text of the error,
// on the thread that failed. Standard error when no sink is set.
using ThreadErrorSink = std::function<void(const std::string&)>;
void SetThreadErrorSink(ThreadErrorSink sink);
void ReportThreadError(std::exception_ptr error) noexcept;

}  // namespace platform
