#include "platform/qt/GuiInvoker.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <exception>

namespace platform {

struct SyncChannel::Job {
  enum class State { Queued, Running, Done, Abandoned };
  State state = State::Queued;
  std::exception_ptr error;
};

bool SyncChannel::Invoke(const std::function<void()>& call) {
  auto job = std::make_shared<Job>();
  std::unique_lock lock(mutex_);
  if (closed_) return false;
  if (QThread::currentThread() == windowThread_) {
    lock.unlock();
    call();
    return true;
  }
  // Posted under the lock: Close takes it too, so the context cannot go
  // while the call is being queued on it. The queued functor reaches call
  // only after it has seen the job still queued, that is while this thread
  // still waits below.
  QMetaObject::invokeMethod(
      context_, [self = shared_from_this(), job, &call] { self->Run(job, call); },
      Qt::QueuedConnection);
  changed_.wait(lock, [&] {
    return job->state == Job::State::Done || (closed_ && job->state == Job::State::Queued);
  });
  if (job->state != Job::State::Done) {
    job->state = Job::State::Abandoned;
    return false;
  }
  lock.unlock();
  if (job->error) std::rethrow_exception(job->error);
  return true;
}

void SyncChannel::Run(const std::shared_ptr<Job>& job, const std::function<void()>& call) {
  {
    std::lock_guard lock(mutex_);
    if (closed_ || job->state != Job::State::Queued) return;
    job->state = Job::State::Running;
  }
  std::exception_ptr error;
  try {
    call();
  } catch (...) {
    error = std::current_exception();
  }
  std::lock_guard lock(mutex_);
  job->error = error;
  job->state = Job::State::Done;
  changed_.notify_all();
}

void SyncChannel::Close() {
  std::lock_guard lock(mutex_);
  closed_ = true;
  changed_.notify_all();
}

bool SyncChannel::Closed() const {
  std::lock_guard lock(mutex_);
  return closed_;
}

GuiInvoker::GuiInvoker()
    : context_(std::make_unique<QObject>()),
      channel_(std::shared_ptr<SyncChannel>(new SyncChannel(context_.get(), context_->thread()))) {}

GuiInvoker::~GuiInvoker() {
  channel_->Close();
  context_.reset();  // drops the calls still queued on it
}

Thread::Synchronizer GuiInvoker::Synchronizer() const {
  return [channel = channel_](const std::function<void()>& call) { return channel->Invoke(call); };
}

}  // namespace platform
