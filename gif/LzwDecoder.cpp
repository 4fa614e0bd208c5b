// TGifSubImage::Decode: the variable-length-code LZW scheme of GIF.
//
// Codes are packed least significant bit first across the data sub-blocks.
// ClearCode = 2^CodeSize resets the table, EndCode = ClearCode + 1 ends the
// data, table codes start at EndCode + 1, code widths grow from CodeSize + 1
// to 12 bits, and a table that holds 4096 entries must be followed by a
// clear code.
//
// Every table entry's string is a stretch of output that has already been
// written: an entry added after code K stands for K's output followed by
// the first byte of the next code's output, which lie back to back. So an
// entry is kept as (where it starts, its length) and expanding a code is a
// forward block copy, not a walk down a prefix chain. A root code's string
// is its byte in a constant table, so roots and table codes are copied
// alike. The output is the frame's own pixel store for plain frames;
// interlaced frames decode into a scratch store whose rows go to their
// interlaced places as they complete.
//
// Two paths share that state. The fast loop (RunFast) takes the codes of
// the common case: a known code, or the code being defined, whose string
// ends before the end of the store (or of the row, when the window is to
// handle its messages after every row). It makes one test per code:
// entries that are not to be copied (the clear and end codes, codes past
// the one being defined) have length 0, and one unsigned comparison
// refuses them together with strings that would reach that end. Strings
// are written whole, across row ends, with no check per pixel. Everything
// else (clear and end codes, bad codes, a full table, the end of the
// store, the last bytes of the data) goes one code at a time through
// Step, which says what each case means.
#include <algorithm>
#include <cstring>

#include "gif/GifUnit.h"

namespace gif {

namespace {

constexpr int MaxCodes = 4096;
constexpr int MaxCodeWidth = 12;
constexpr int MaxRoots = 512;  // code size 9
// The string copies move pieces of this size; the pixel store's slack past
// its end holds what the last piece writes beyond a string.
constexpr int Piece = 16;
static_assert(Piece <= TBigByteArray::Slack());
// The length of every entry that the fast loop must not copy.
constexpr std::uint16_t NotCopied = 0;

// Root code c stands for the byte c (its low byte at code size 9). A piece
// read from any root stays inside the table.
struct RootBytes {
  std::uint8_t bytes[MaxRoots + Piece] = {};
  constexpr RootBytes() {
    for (int c = 0; c < MaxRoots; ++c) bytes[c] = static_cast<std::uint8_t>(c);
  }
};
constexpr RootBytes Roots;

// Copies the n-byte string at src to dst, n >= 1, a piece at a time (each
// piece read before it is written), so it writes up to Piece - 1 bytes past
// dst + n and reads as far past src + n. The bytes up to dst + n are right
// when src + n <= dst. When src + n - 1 == dst (the code being defined: the
// previous string and its own first byte), the last byte is read before
// the first lands if n <= Piece, so the caller copies that byte again.
inline void CopyString(std::uint8_t* dst, const std::uint8_t* src, unsigned n) {
  for (;;) {
    std::uint8_t piece[Piece];
    std::memcpy(piece, src, Piece);
    std::memcpy(dst, piece, Piece);
    if (n <= static_cast<unsigned>(Piece)) return;
    n -= Piece;
    src += Piece;
    dst += Piece;
  }
}

class LzwDecoder {
 public:
  LzwDecoder(TGifSubImage& frame, std::uint8_t* out)
      : frame_(frame),
        out_(out),
        width_(frame.Width),
        height_(frame.Height),
        capacity_(std::int64_t{frame.Width} * frame.Height),
        codeSize_(frame.CodeSize),
        clearCode_(1 << codeSize_),
        endCode_(clearCode_ + 1),
        pump_(GifCallbacks().ProcessMessages) {
    const std::string& bytes = frame.CompressedData->Bytes();
    in_ = reinterpret_cast<const std::uint8_t*>(bytes.data());
    inEnd_ = in_ + bytes.size();
    for (int c = 0; c < clearCode_; ++c) {
      source_[c] = Roots.bytes + c;
      length_[c] = 1;
    }
    std::fill(length_ + clearCode_, length_ + MaxCodes + 1, NotCopied);
    ResetTable();
  }

  void Run();
  // Pixels produced so far, complete rows or not.
  std::int64_t Position() const { return pos_; }
  std::int64_t CompleteRowsEnd() const { return rowsDone_ * width_; }

 private:
  template <bool PerRow>
  void RunFast();
  bool Step();
  bool ReadCode(int& code);
  void ResetTable();
  void CountEntry();
  void Put(const std::uint8_t* string, unsigned n);
  void CompleteRows();
  [[noreturn]] void Fail(const char* message) { throw EGifException(message); }

  TGifSubImage& frame_;
  std::uint8_t* const out_;
  const std::int64_t width_;
  const std::int64_t height_;
  const std::int64_t capacity_;
  const int codeSize_;
  const int clearCode_;
  const int endCode_;
  const platform::MessagePump& pump_;

  const std::uint8_t* in_ = nullptr;
  const std::uint8_t* inEnd_ = nullptr;
  std::uint64_t acc_ = 0;  // bits not yet taken, the next code's lowest
  unsigned bits_ = 0;      // how many of acc_'s bits come from in_'s bytes

  int codeWidth_ = 0;
  int codeLimit_ = 0;
  int nextCode_ = 0;
  bool tableFull_ = false;
  // Whether a code has been put since the start or the last clear code:
  // only then does the next code define an entry.
  bool hasPrevious_ = false;
  // Whether the last code read was a clear code: an end code then is bad.
  bool afterClear_ = false;

  std::int64_t pos_ = 0;
  std::int64_t rowsDone_ = 0;
  std::int64_t nextRowEnd_ = 0;
  int row_ = 0;   // interlaced frames: the image row of the next complete row
  int pass_ = 1;

  // Entry c's string starts at source_[c] and is length_[c] bytes long.
  // While hasPrevious_, entry nextCode_ already holds what the next code
  // will define (the previous string and one byte more), so the code being
  // defined reads like any known code; one slot past the table keeps that
  // true when the table is full.
  const std::uint8_t* source_[MaxCodes + 1];
  std::uint16_t length_[MaxCodes + 1];
};

// Called when the output has passed the end of the row being filled: stores
// each completed row (interlaced frames) and lets the window breathe. A
// complete row beyond the last one is the "index out of bounds" of the
// pixel store.
void LzwDecoder::CompleteRows() {
  // A frame 0 pixels wide has no room for any pixel.
  if (width_ == 0) throw EIndexOutOfBounds();
  while (pos_ >= nextRowEnd_) {
    if (pump_) pump_();
    if (rowsDone_ >= height_) throw EIndexOutOfBounds();
    if (frame_.Interlaced) {
      std::uint8_t* target = frame_.Pixels->Data().Data() + std::int64_t{row_} * width_;
      std::memcpy(target, out_ + rowsDone_ * width_, static_cast<std::size_t>(width_));
      // The four passes: rows 0, 8, ...; 4, 12, ...; 2, 6, ...; 1, 3, ...
      static constexpr int step[5] = {0, 8, 8, 4, 2};
      static constexpr int first[5] = {0, 0, 4, 2, 1};
      row_ += step[pass_];
      while (row_ >= height_ && pass_ < 4) {
        ++pass_;
        row_ = first[pass_];
      }
    }
    ++rowsDone_;
    nextRowEnd_ += width_;
  }
}

// The next code, or false when the data has run out.
bool LzwDecoder::ReadCode(int& code) {
  if (bits_ < static_cast<unsigned>(codeWidth_)) {
    if (inEnd_ - in_ >= 8) {
      std::uint64_t v;
      std::memcpy(&v, in_, 8);
      acc_ |= v << bits_;
      in_ += (63 - bits_) >> 3;
      bits_ |= 56;
    } else {
      while (bits_ <= 56 && in_ < inEnd_) {
        acc_ |= std::uint64_t{*in_++} << bits_;
        bits_ += 8;
      }
      if (bits_ < static_cast<unsigned>(codeWidth_)) return false;
    }
  }
  code = static_cast<int>(acc_ & ((1u << codeWidth_) - 1));
  acc_ >>= codeWidth_;
  bits_ -= static_cast<unsigned>(codeWidth_);
  return true;
}

// Forgets every entry above EndCode, the one being defined included.
void LzwDecoder::ResetTable() {
  std::fill(length_ + endCode_ + 1, length_ + std::max(nextCode_, endCode_) + 1, NotCopied);
  codeWidth_ = codeSize_ + 1;
  codeLimit_ = 1 << codeWidth_;
  nextCode_ = endCode_ + 1;
}

// The entry being defined joins the table; the codes grow a bit wider when
// the table reaches the next power of two, and 4096 entries are all it
// takes.
void LzwDecoder::CountEntry() {
  ++nextCode_;
  if (nextCode_ >= codeLimit_) {
    if (codeWidth_ >= MaxCodeWidth) {
      tableFull_ = true;
    } else {
      codeLimit_ *= 2;
      ++codeWidth_;
    }
  }
}

// Writes a string at pos_, as far as the store reaches, then makes it the
// start of the entry the next code will define.
void LzwDecoder::Put(const std::uint8_t* string, unsigned n) {
  if (pos_ + n <= capacity_) {
    CopyString(out_ + pos_, string, n);
    out_[pos_ + n - 1] = string[n - 1];
  } else {
    // string[i] lies before out_ + pos_ + i, so byte by byte forward is
    // right also for the code being defined.
    for (std::int64_t i = 0; pos_ + i < capacity_; ++i) out_[pos_ + i] = string[i];
  }
  // Past the store nothing is written any more, so nothing will be read
  // from there either.
  source_[nextCode_] = out_ + std::min(pos_, capacity_);
  length_[nextCode_] = static_cast<std::uint16_t>(n + 1);
  pos_ += n;
}

// One code, every case spelt out. False at the end code or when the data
// has run out.
bool LzwDecoder::Step() {
  int code = 0;
  if (!ReadCode(code)) return false;
  if (tableFull_) {
    if (code != clearCode_) Fail("Code size overflow");
    tableFull_ = false;
  }
  if (code == clearCode_) {
    ResetTable();
    hasPrevious_ = false;
    afterClear_ = true;
    return true;
  }
  if (code == endCode_) {
    // An end code at the very start is an empty frame; right after a clear
    // code it is not.
    if (afterClear_) Fail("Bad code");
    return false;
  }
  if (!hasPrevious_) {
    // The first code, of the data or after a clear code: nothing above
    // EndCode is defined yet, and such a code stands for colour 0.
    if (code > endCode_) code = 0;
    hasPrevious_ = true;
    afterClear_ = false;
  } else {
    if (code > nextCode_) Fail("Bad code");
    CountEntry();
  }
  Put(source_[code], length_[code]);
  if (pos_ >= nextRowEnd_) CompleteRows();
  return true;
}

// The common case with its state in locals: the output is written through
// a byte pointer, which may alias anything, so members would be reloaded
// from memory after every string. The codes are taken four to a refill of
// the bit buffer: eight bytes loaded at once give at least 56 bits, and
// four codes take at most 48, so the data's length is checked once per
// refill. A code the loop does not take is left unread for Step.
//
// Every string taken here ends before the end of the store, so the store
// is never overrun and no row beyond the last is completed. The rows it
// completes are counted (and stored, for an interlaced frame) afterwards,
// all in one go, unless the window is to handle its messages after each
// row (PerRow): then a row end passed costs one comparison per string.
template <bool PerRow>
void LzwDecoder::RunFast() {
  // With less than two bytes to go no string could be taken.
  if (capacity_ - pos_ < 2 || inEnd_ - in_ < 8) return;
  std::uint8_t* d = out_ + pos_;
  // A string of n bytes is taken when n - 1 < room, room being one less
  // than the bytes left.
  std::uint64_t room = static_cast<std::uint64_t>(capacity_ - pos_ - 1);
  // Strings end before the store does, so this is inside it.
  const std::uint8_t* rowEnd = out_ + nextRowEnd_;
  const std::uint8_t* in = in_;
  const std::uint8_t* const inLast = inEnd_ - 8;
  std::uint64_t acc = acc_;
  unsigned bits = bits_;
  unsigned codeWidth = static_cast<unsigned>(codeWidth_);
  // The table reaches the next power of two when nextCode passes mask.
  std::uint32_t mask = (1u << codeWidth) - 1;
  std::uint32_t nextCode = static_cast<std::uint32_t>(nextCode_);
  bool full = false;

  // One code; false when it is not for this loop (left unread) or when it
  // filled the table (taken).
  auto take = [&]() -> bool {
    const std::uint32_t code = static_cast<std::uint32_t>(acc) & mask;
    const std::uint8_t* const string = source_[code];
    const unsigned n = length_[code];
    // n - 1 wraps for the entries not to be copied.
    if (n - 1 >= room) [[unlikely]]
      return false;
    room -= n;
    acc >>= codeWidth;
    bits -= codeWidth;
    CopyString(d, string, n);
    d[n - 1] = string[n - 1];
    ++nextCode;
    source_[nextCode] = d;
    length_[nextCode] = static_cast<std::uint16_t>(n + 1);
    d += n;
    if constexpr (PerRow) {
      if (d >= rowEnd) [[unlikely]] {
        pos_ = d - out_;
        CompleteRows();
        rowEnd = out_ + nextRowEnd_;
      }
    }
    if (nextCode > mask) [[unlikely]] {
      if (codeWidth == MaxCodeWidth) {
        full = true;
        return false;
      }
      ++codeWidth;
      mask = mask * 2 + 1;
    }
    return true;
  };
  while (in <= inLast) {
    std::uint64_t v;
    std::memcpy(&v, in, 8);
    acc |= v << bits;
    in += (63 - bits) >> 3;
    bits |= 56;
    if (!take() || !take() || !take() || !take()) break;
  }
  pos_ = d - out_;
  in_ = in;
  acc_ = acc;
  bits_ = bits;
  codeWidth_ = static_cast<int>(codeWidth);
  codeLimit_ = static_cast<int>(mask + 1);
  nextCode_ = static_cast<int>(nextCode);
  tableFull_ = full;
}

void LzwDecoder::Run() {
  nextRowEnd_ = width_;
  do {
    if (hasPrevious_ && !tableFull_) {
      if (pump_) RunFast<true>();
      else RunFast<false>();
      if (pos_ >= nextRowEnd_) CompleteRows();
    }
  } while (Step());
}

}  // namespace

void TGifSubImage::Decode() {
  if (CodeSize < 2 || CodeSize > 9) throw EGifException("Bad code Size");
  CompressedData->Reset();

  TBigByteArray& pixels = Pixels->Data();
  std::unique_ptr<TBigByteArray> scratch;
  if (Interlaced) scratch = std::make_unique<TBigByteArray>(pixels.Size());
  std::uint8_t* out = Interlaced ? scratch->Data() : pixels.Data();

  auto decoder = std::make_unique<LzwDecoder>(*this, out);
  // Rows that did not complete read as never written: zero. Pieces copied
  // past the last string can reach Slack() bytes further.
  struct TailCleaner {
    LzwDecoder& d;
    std::uint8_t* out;
    std::int64_t capacity;
    bool plain;
    ~TailCleaner() {
      if (!plain) return;
      const std::int64_t from = std::min(d.CompleteRowsEnd(), capacity);
      const std::int64_t to = std::min(std::max(d.Position(), from) + TBigByteArray::Slack(), capacity);
      if (to > from) std::memset(out + from, 0, static_cast<std::size_t>(to - from));
    }
  } cleaner{*decoder, out, pixels.Size(), !Interlaced};
  decoder->Run();
}

}  // namespace gif
