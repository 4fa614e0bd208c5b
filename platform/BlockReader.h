#pragma once
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/MessagePump.h"

namespace platform {

// TBlockReader: reads a known list of files, in order, in blocks, on a
// thread of its own, a few blocks ahead of the one thread that takes them,
// so that the kernel's copying of a file's bytes overlaps the taker's work
// on the bytes before them.
//
// The taker goes through the list in order and may pass files over: the
// blocks of a file passed over are dropped (what was read of it ahead is
// the price of reading ahead). A file is read exactly as InputFile reads it,
// and what opening or reading it throws reaches the taker from Next, at the
// block where the failure came, after the blocks read before it. At most
// Slots blocks, in at most MaxAheadBytes of storage (a block's fits the
// rest of its file, up to the block size), are held at a time, whatever
// the files' sizes. A file read whole at its size at the open takes no slot
// for its end.
//
// Each block lies in a buffer with Prefix bytes in front of it that belong
// to the taker (to put the end of the previous block there, say): the reader
// never touches them. A Prepare function, when given, works on each block
// on a second thread of the reader's (so that reading the next blocks
// overlaps it) before the taker gets it, in reading order, a batch of
// PrepareBatch at a time, and on the empty block that ends a file not read
// whole at its open (not on a file whose open or read failed): the file's
// index, its bytes, and whether the file ends there. What it returns goes to
// the taker with the block (Next's note); what it throws reaches the taker
// as a read's failure. It runs until the thread ends, which may be after the
// reader is gone: what it works on must live as long as it does (hold it by
// a shared_ptr).
//
// The taker never waits for the reader longer than WaitSlice at a time
// without calling the pump it gave Next: an open can block for as long as
// another process holds a lease on the file, and a read as long as the disk
// takes. What the pump throws ends the wait. The reader's thread then need
// not have ended when the reader goes: it keeps what it works on alive
// (State) and ends by itself once the call it is in returns.
//
// Owned by the taker; Open and Next are called from one thread only.
class TBlockReader {
 public:
  static constexpr std::size_t Slots = 256;
  // Bytes of storage the blocks read ahead may take (a slot's storage fits
  // its block: small files take little).
  static constexpr std::size_t MaxAheadBytes = std::size_t{4} << 20;
  // Blocks prepared at a time, and handed to the taker together.
  static constexpr std::size_t PrepareBatch = 8;
  static constexpr std::chrono::milliseconds WaitSlice{50};

  using Note = std::shared_ptr<const void>;
  using Prepare =
      std::function<Note(std::size_t file, unsigned char* data, std::size_t size, bool last)>;
  TBlockReader(std::vector<std::string> paths, std::size_t blockSize, std::size_t prefix,
               Prepare prepare = nullptr);
  // A reader that starts reading the list at once, before any Open, and
  // whose Prepare (or none) comes later, through Prepared: for a taker with
  // work of its own to do first, such as building what prepares the
  // blocks. The blocks read meanwhile wait in the slots.
  struct Early {};
  TBlockReader(std::vector<std::string> paths, std::size_t blockSize, std::size_t prefix, Early);
  // For an Early reader, once, before the first Open: what prepares each
  // block (null: nothing does).
  void Prepared(Prepare prepare);
  // Tells the thread to stop and leaves without waiting for it to end.
  ~TBlockReader();
  TBlockReader(const TBlockReader&) = delete;
  TBlockReader& operator=(const TBlockReader&) = delete;

  // Starts taking paths[index], which comes after every index opened before.
  void Open(std::size_t index);
  // The next block of the open file: a pointer to its first byte (Prefix
  // bytes in front of it are the taker's) and its size, 0 at the end of the
  // file. It stays valid through the next call of Next too (so the block
  // before the end is there when the end comes), until the one after or
  // Open. Throws what reading the file threw. While no block is ready,
  // whileWaiting (when given) runs every WaitSlice, and what it throws
  // leaves Next. note gets what Prepare returned for the block (null
  // without one, and for the end of a file whose last block said so).
  std::size_t Next(unsigned char*& data, const MessagePump& whileWaiting = {});
  std::size_t Next(unsigned char*& data, Note& note, const MessagePump& whileWaiting = {});

 private:
  struct Slot {
    std::unique_ptr<unsigned char[]> storage;
    std::size_t capacity = 0;  // of storage, past the prefix
    std::size_t file = 0;
    std::size_t size = 0;      // 0: the file's end (or its failure)
    bool last = false;         // the file ends with this block
    std::exception_ptr error;  // what opening or reading threw
    Note note;                 // what Prepare made of it
  };
  // Slot numbers in order. It never allocates, so the threads cannot run
  // out of memory between two locks: it holds at most Slots of them, as
  // there are no more.
  class SlotQueue {
   public:
    bool empty() const { return count_ == 0; }
    std::size_t size() const { return count_; }
    std::size_t front() const { return ring_[head_]; }
    void push_back(std::size_t k) {
      ring_[(head_ + count_++) % Slots] = static_cast<std::uint16_t>(k);
    }
    void pop_front() {
      head_ = (head_ + 1) % Slots;
      --count_;
    }

   private:
    static_assert(Slots <= 65536);
    std::array<std::uint16_t, Slots> ring_{};
    std::size_t head_ = 0, count_ = 0;
  };
  // What the taker and the thread share; the thread holds it until it ends.
  struct State {
    State(std::vector<std::string> paths, std::size_t blockSize, std::size_t prefix,
          Prepare prepare);
    void Run();
    void PrepareRun();
    // Hands back a slot the taker held (mutex held).
    void Release(std::size_t& slot);
    // Puts slot k back among the free ones (mutex held).
    void Free(std::size_t k);

    const std::vector<std::string> paths_;
    const std::size_t blockSize_;
    const std::size_t prefix_;
    Prepare prepare_;        // set before the preparing starts
    bool deferred_ = false;  // an Early reader whose Prepare is not given yet
    std::vector<Slot> slots_;
    std::mutex mutex_;
    std::condition_variable filled_, freed_, read_;
    SlotQueue readSlots_;  // read, waiting for Prepare, in order
    SlotQueue ready_;      // filled slots, in reading order
    std::vector<std::size_t> free_;
    std::size_t heldBytes_ = 0;      // storage of the slots not free
    std::size_t held_ = SIZE_MAX;    // the slots the taker holds: the last
    std::size_t before_ = SIZE_MAX;  // handed out, and the one before it
    std::size_t wanted_ = 0;         // the file the taker is on
    bool ended_ = false;             // the taker had its file's last block
    bool opened_ = false;
    bool stop_ = false;
  };
  std::shared_ptr<State> state_;
  std::thread thread_;
  std::thread preparer_;  // with a Prepare: runs it on the blocks read
};

}  // namespace platform
