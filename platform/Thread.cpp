#include "platform/Thread.h"

#include <cstdio>
#include <exception>
#include <mutex>

#include <cassert>
#include <cerrno>
#include <sys/resource.h>
#include <unistd.h>

namespace platform {
namespace {

void LowerOwnPriorityOneStep() {
  // On Linux a thread has its own nice value; PRIO_PROCESS with the thread
  // id addresses this thread only.
  const id_t self = static_cast<id_t>(gettid());
  errno = 0;
  const int nice = getpriority(PRIO_PROCESS, self);
  if (nice == -1 && errno != 0) return;
  if (nice < 19) setpriority(PRIO_PROCESS, self, nice + 1);
}

}  // namespace

Thread::~Thread() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) TerminateAndWait();
}

void Thread::Resume() {
  std::lock_guard lock(mutex_);
  if (finished_) return;
  if (!started_) {
    started_ = true;
    suspended_ = false;
    // Run takes the lock before it may end, so thread_ is set by then.
    thread_ = std::thread(&Thread::Run, this);
    return;
  }
  if (suspended_) {
    suspended_ = false;
  } else {
    resumePending_ = true;
  }
  changed_.notify_all();
}

bool Thread::Suspended() const {
  std::lock_guard lock(mutex_);
  return suspended_;
}

void Thread::Terminate() {
  std::lock_guard lock(mutex_);
  terminated_ = true;
}

bool Thread::Terminated() const {
  std::lock_guard lock(mutex_);
  return terminated_;
}

void Thread::SetPriority(ThreadPriority priority) {
  std::lock_guard lock(mutex_);
  priority_ = priority;
}

void Thread::SetFreeOnTerminate(bool freeOnTerminate) {
  std::lock_guard lock(mutex_);
  freeOnTerminate_ = freeOnTerminate;
}

void Thread::SetSynchronizer(Synchronizer synchronizer) {
  std::lock_guard lock(mutex_);
  synchronizer_ = std::move(synchronizer);
}

bool Thread::WaitFor(std::chrono::milliseconds bound) const {
  std::unique_lock lock(mutex_);
  assert(!freeOnTerminate_);
  return changed_.wait_for(lock, bound, [this] { return finished_; });
}

bool Thread::WaitForSuspended(std::chrono::milliseconds bound) const {
  std::unique_lock lock(mutex_);
  assert(!freeOnTerminate_);
  return changed_.wait_for(lock, bound, [this] { return started_ && (suspended_ || finished_); }) &&
         suspended_;
}

void Thread::TerminateAndWait() {
  {
    std::lock_guard lock(mutex_);
    terminated_ = true;
    if (!started_ || freeOnTerminate_) return;
    if (suspended_) {
      suspended_ = false;
    } else {
      resumePending_ = true;
    }
    changed_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
}

void Thread::Suspend() {
  std::unique_lock lock(mutex_);
  assert(std::this_thread::get_id() == thread_.get_id());
  if (resumePending_) {
    resumePending_ = false;
    return;
  }
  suspended_ = true;
  changed_.notify_all();
  changed_.wait(lock, [this] { return !suspended_; });
}

bool Thread::Synchronize(const std::function<void()>& call) {
  Synchronizer synchronizer;
  {
    std::lock_guard lock(mutex_);
    if (terminated_) return false;
    synchronizer = synchronizer_;
  }
  if (!synchronizer) {
    call();
    return true;
  }
  return synchronizer(call);
}

namespace {

std::mutex errorSinkMutex;
ThreadErrorSink errorSink;

}  // namespace

void SetThreadErrorSink(ThreadErrorSink sink) {
  std::lock_guard lock(errorSinkMutex);
  errorSink = std::move(sink);
}

void ReportThreadError(std::exception_ptr error) noexcept {
  std::string text = "unknown error";
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    text = e.what();
  } catch (...) {
  }
  try {
    std::lock_guard lock(errorSinkMutex);
    if (errorSink) {
      errorSink(text);
      return;
    }
  } catch (...) {
  }
  std::fprintf(stderr, "A worker thread ended by an error: %s\n", text.c_str());
}

void Thread::Run(Thread* self) {
  bool lower = false;
  {
    std::lock_guard lock(self->mutex_);
    lower = self->priority_ == ThreadPriority::BelowNormal;
  }
  if (lower) LowerOwnPriorityOneStep();
  try {
    self->Execute();
  } catch (...) {
    // A body handles what it can report itself; what escapes it is a fault,
    // which ends the thread and is told to the error sink, not hidden.
    ReportThreadError(std::current_exception());
  }
  bool freeSelf = false;
  {
    std::lock_guard lock(self->mutex_);
    self->finished_ = true;
    self->suspended_ = false;
    freeSelf = self->freeOnTerminate_;
    if (freeSelf) self->thread_.detach();
    self->changed_.notify_all();
  }
  if (freeSelf) delete self;
}

}  // namespace platform
