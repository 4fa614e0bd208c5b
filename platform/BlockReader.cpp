#include "platform/BlockReader.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <utility>

#include "platform/FileSystem.h"

namespace platform {

TBlockReader::State::State(std::vector<std::string> paths, std::size_t blockSize,
                           std::size_t prefix, Prepare prepare)
    : paths_(std::move(paths)),
      blockSize_(blockSize),
      prefix_(prefix),
      prepare_(std::move(prepare)),
      slots_(Slots) {
  // A slot's storage comes with its first block (see Run): a reader of one
  // short file allocates one, and none is cleared for nothing.
  for (std::size_t k = 0; k < Slots; ++k) free_.push_back(k);
}

TBlockReader::TBlockReader(std::vector<std::string> paths, std::size_t blockSize,
                           std::size_t prefix, Prepare prepare)
    : state_(std::make_shared<State>(std::move(paths), blockSize, prefix, std::move(prepare))) {
  if (state_->paths_.empty()) return;
  thread_ = std::thread([state = state_] { state->Run(); });
  if (state_->prepare_) preparer_ = std::thread([state = state_] { state->PrepareRun(); });
}

TBlockReader::TBlockReader(std::vector<std::string> paths, std::size_t blockSize,
                           std::size_t prefix, Early)
    : state_(std::make_shared<State>(std::move(paths), blockSize, prefix, nullptr)) {
  state_->deferred_ = true;
  state_->opened_ = true;  // from the list's first file on
  if (state_->paths_.empty()) return;
  thread_ = std::thread([state = state_] { state->Run(); });
}

void TBlockReader::Prepared(Prepare prepare) {
  State& s = *state_;
  std::lock_guard<std::mutex> lock(s.mutex_);
  if (!s.deferred_) return;
  s.deferred_ = false;
  s.prepare_ = std::move(prepare);
  if (s.prepare_) {
    preparer_ = std::thread([state = state_] { state->PrepareRun(); });
  } else {
    // What was read meanwhile needs nothing more.
    for (; !s.readSlots_.empty(); s.readSlots_.pop_front())
      s.ready_.push_back(s.readSlots_.front());
    if (!s.ready_.empty()) s.filled_.notify_one();
  }
}

TBlockReader::~TBlockReader() {
  {
    std::lock_guard<std::mutex> lock(state_->mutex_);
    state_->stop_ = true;
  }
  state_->freed_.notify_all();
  state_->read_.notify_all();
  // The thread sees stop_ as soon as the open or read it may be in returns,
  // which another process's lease can delay by a minute: nobody waits.
  if (thread_.joinable()) thread_.detach();
  if (preparer_.joinable()) preparer_.detach();
}

void TBlockReader::State::Release(std::size_t& slot) {
  if (slot == SIZE_MAX) return;
  Free(slot);
  slot = SIZE_MAX;
}

void TBlockReader::State::Free(std::size_t k) {
  free_.push_back(k);
  const std::size_t before = heldBytes_;
  heldBytes_ -= slots_[k].capacity;
  // The reader waits for half the slots and half the bytes (see Run): one
  // wake-up per batch.
  if (free_.size() == Slots / 2 ||
      (before > MaxAheadBytes / 2 && heldBytes_ <= MaxAheadBytes / 2)) {
    freed_.notify_one();
  }
}

void TBlockReader::Open(std::size_t index) {
  State& s = *state_;
  std::lock_guard<std::mutex> lock(s.mutex_);
  s.Release(s.before_);
  s.Release(s.held_);
  s.wanted_ = index;
  const bool first = !s.opened_;
  s.opened_ = true;
  s.ended_ = false;
  // The blocks of files passed over go back to the reader (which Free wakes
  // when that lets it go on: a wake-up per file would cost the reader a
  // time slice apiece, on a busy machine, for nothing).
  while (!s.ready_.empty() && s.slots_[s.ready_.front()].file < index) {
    s.Free(s.ready_.front());
    s.ready_.pop_front();
  }
  if (first) s.freed_.notify_one();  // the reader waits for the first file
}

std::size_t TBlockReader::Next(unsigned char*& data, const MessagePump& whileWaiting) {
  Note note;
  return Next(data, note, whileWaiting);
}

std::size_t TBlockReader::Next(unsigned char*& data, Note& note, const MessagePump& whileWaiting) {
  note.reset();
  State& s = *state_;
  std::unique_lock<std::mutex> lock(s.mutex_);
  s.Release(s.before_);
  s.before_ = s.held_;
  s.held_ = SIZE_MAX;
  if (s.ended_) return 0;  // the block before was the file's last
  for (;;) {
    while (!s.filled_.wait_for(lock, WaitSlice, [&] { return !s.ready_.empty(); })) {
      if (!whileWaiting) continue;
      lock.unlock();
      whileWaiting();
      lock.lock();
    }
    const std::size_t k = s.ready_.front();
    s.ready_.pop_front();
    Slot& slot = s.slots_[k];
    if (slot.file < s.wanted_) {  // passed over after it was queued
      s.Free(k);
      s.freed_.notify_one();
      continue;
    }
    s.held_ = k;
    if (slot.error) {
      const std::exception_ptr error = slot.error;
      lock.unlock();
      // The taker's own copy of the failure: the reader's threads let go of
      // theirs whenever they end.
      try {
        std::rethrow_exception(error);
      } catch (const IoError& e) {
        // (A copy would share the message's buffer, whose count the
        // threads would then share.)
        if (e.Path().empty()) throw IoError(std::string(e.Text()));
        throw IoError(std::string(e.Text()), std::string(e.Path()));
      } catch (const std::bad_alloc&) {
        throw std::bad_alloc();
      }
    }
    data = slot.storage.get() + s.prefix_;
    note = std::move(slot.note);
    s.ended_ = slot.last;
    return slot.size;
  }
}

void TBlockReader::State::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  // Nothing is read before the taker asks for its first file.
  freed_.wait(lock, [&] { return stop_ || opened_; });
  FolderHandle folders;  // the files of a folder come one after another
  for (std::size_t file = wanted_; file < paths_.size() && !stop_; ++file) {
    if (file < wanted_) file = wanted_;
    lock.unlock();
    std::unique_ptr<InputFile> input;
    std::exception_ptr error;
    try {
      input = std::make_unique<InputFile>(paths_[file], folders);
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    for (bool more = true; more;) {
      // Storage for the block, no larger than the file's rest (most files
      // are far smaller than a block); a slot keeps what it has unless that
      // is much larger.
      constexpr std::size_t Page = 4096;
      const std::size_t need = error ? Page
                                     : static_cast<std::size_t>(std::min<std::uint64_t>(
                                           blockSize_, (input->Left() + Page) / Page * Page));
      // Once all slots or MaxAheadBytes are taken, reading goes on when
      // half of them are free again, so that the two threads wake each
      // other once per batch rather than once per block. (The taker waits
      // only when no block is ready, so then all slots and bytes but those
      // of the two blocks it keeps are free.)
      if (free_.empty() || heldBytes_ + need > MaxAheadBytes) {
        if (!readSlots_.empty()) read_.notify_one();  // before this thread waits
        freed_.wait(lock, [&] {
          return stop_ || (free_.size() >= Slots / 2 && heldBytes_ <= MaxAheadBytes / 2);
        });
      }
      if (stop_) return;
      if (file < wanted_) break;  // passed over: on to the wanted file
      const std::size_t k = free_.back();
      free_.pop_back();
      Slot& slot = slots_[k];
      const bool fits = slot.storage && slot.capacity >= need && slot.capacity <= 2 * need + Page;
      if (!fits) {
        slot.storage.reset();
        slot.capacity = need;
      }
      heldBytes_ += slot.capacity;
      slot.file = file;
      slot.size = 0;
      slot.last = false;
      slot.error = error;
      slot.note.reset();
      if (!error) {
        lock.unlock();
        try {
          if (!slot.storage) slot.storage.reset(new unsigned char[prefix_ + slot.capacity]);
          unsigned char* const data = slot.storage.get() + prefix_;
          slot.size = input->Read(reinterpret_cast<char*>(data), slot.capacity);
          slot.last = slot.size != 0 && input->AtEnd();
        } catch (...) {
          slot.error = std::current_exception();
        }
        lock.lock();
      }
      more = slot.size != 0 && !slot.error && !slot.last;
      if (prepare_ || deferred_) {
        // The preparing is woken a batch of blocks at a time, or before this
        // thread waits for slots (above), or once the list is read (below).
        readSlots_.push_back(k);
        if (readSlots_.size() >= PrepareBatch) read_.notify_one();
      } else {
        ready_.push_back(k);
        filled_.notify_one();
      }
    }
  }
  read_.notify_one();  // the list is read: the rest of it to prepare
}

// The second stage, when there is a Prepare: the blocks read, in order, a
// batch at a time (one lock and one wake-up of the taker per batch), each
// prepared unless it failed or its file was passed over meanwhile.
void TBlockReader::State::PrepareRun() {
  std::unique_lock<std::mutex> lock(mutex_);
  // (Nothing here allocates: the thread has no one to tell that memory ran out.)
  std::array<std::size_t, PrepareBatch> batch{};
  std::array<char, PrepareBatch> work{};
  for (;;) {
    read_.wait(lock, [&] { return stop_ || !readSlots_.empty(); });
    if (stop_) return;
    const std::size_t n = std::min(readSlots_.size(), PrepareBatch);
    for (std::size_t j = 0; j < n; ++j) {
      batch[j] = readSlots_.front();
      readSlots_.pop_front();
    }
    for (std::size_t j = 0; j < n; ++j) {
      work[j] = !slots_[batch[j]].error && slots_[batch[j]].file >= wanted_;
    }
    lock.unlock();
    for (std::size_t j = 0; j < n; ++j) {
      if (!work[j]) continue;
      Slot& slot = slots_[batch[j]];
      try {
        unsigned char* const data = slot.storage.get() + prefix_;
        slot.note = prepare_(slot.file, data, slot.size, slot.last || slot.size == 0);
      } catch (...) {
        slot.error = std::current_exception();
      }
    }
    lock.lock();
    for (std::size_t j = 0; j < n; ++j) ready_.push_back(batch[j]);
    filled_.notify_one();
  }
}

}  // namespace platform
