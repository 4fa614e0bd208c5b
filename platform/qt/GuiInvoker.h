#pragma once
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/Thread.h"

class QObject;
class QThread;

// The synchronised call: a worker thread has a call run on the window thread
// and waits for it. The wait ends when the call has run, or when the window
// side has closed the channel before the call started; the window thread
// never waits for a worker, so neither side can hang the other at shutdown.
namespace platform {

// Shared by the window thread and the workers, so that a worker still
// holding it after the window is gone finds it closed rather than dangling.
class SyncChannel : public std::enable_shared_from_this<SyncChannel> {
 public:
  // From a worker: queues call for the window thread and waits. Returns true
  // once it has run (an exception of the call is rethrown here), false
  // without running it when the channel is or becomes closed before the call
  // starts. From the window thread itself the call runs at once.
  bool Invoke(const std::function<void()>& call);

  // Window thread: refuse every call not yet started and release the
  // workers waiting for one. A call already running finishes.
  void Close();
  bool Closed() const;

 private:
  friend class GuiInvoker;
  struct Job;
  SyncChannel(QObject* context, QThread* windowThread)
      : context_(context), windowThread_(windowThread) {}
  void Run(const std::shared_ptr<Job>& job, const std::function<void()>& call);

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool closed_ = false;
  QObject* context_;  // lives on the window thread; valid while !closed_
  QThread* const windowThread_;
};

// Owned by the window that workers report to; created and destroyed on the
// window thread. Its destruction closes the channel.
class GuiInvoker {
 public:
  GuiInvoker();
  ~GuiInvoker();
  GuiInvoker(const GuiInvoker&) = delete;
  GuiInvoker& operator=(const GuiInvoker&) = delete;

  std::shared_ptr<SyncChannel> Channel() const { return channel_; }
  // For Thread::SetSynchronizer.
  Thread::Synchronizer Synchronizer() const;
  // Closes the channel early, e.g. as the window starts going away.
  void Close() { channel_->Close(); }

 private:
  std::unique_ptr<QObject> context_;
  std::shared_ptr<SyncChannel> channel_;
};

}  // namespace platform
