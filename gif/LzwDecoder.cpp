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
// entry is kept as (start, length) in the output and expanding a code is a
// block copy, not a walk down a prefix chain. The output is the frame's own
// pixel store for plain frames; interlaced frames decode into a scratch
// store whose rows go to their interlaced places as they complete.
#include <algorithm>
#include <cstring>

#include "gif/GifUnit.h"

namespace gif {

namespace {

constexpr int MaxCodes = 4096;
constexpr int MaxCodeWidth = 12;

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
  }

  void Run();
  // Pixels produced so far, complete rows or not.
  std::int64_t Position() const { return pos_; }
  std::int64_t CompleteRowsEnd() const { return rowsDone_ * width_; }

 private:
  // Copies n bytes from an earlier stretch of the output. Short strings go
  // as one fixed-size piece: the store has Slack() spare bytes past its end,
  // and what lands past the string is overwritten by the strings after it.
  static void CopyPiece(std::uint8_t* dst, const std::uint8_t* src, int n) {
    if (n <= TBigByteArray::Slack()) {
      std::uint8_t piece[TBigByteArray::Slack()];
      std::memcpy(piece, src, sizeof piece);
      std::memcpy(dst, piece, sizeof piece);
    } else {
      std::memcpy(dst, src, static_cast<std::size_t>(n));
    }
  }

  void CompleteRows();

  TGifSubImage& frame_;
  std::uint8_t* out_;
  const std::int64_t width_;
  const std::int64_t height_;
  const std::int64_t capacity_;
  const int codeSize_;
  const int clearCode_;
  const int endCode_;
  const platform::MessagePump& pump_;

  const std::uint8_t* in_ = nullptr;
  const std::uint8_t* inEnd_ = nullptr;

  std::int64_t pos_ = 0;
  std::int64_t rowsDone_ = 0;
  std::int64_t nextRowEnd_ = 0;
  int row_ = 0;   // interlaced frames: the image row of the next complete row
  int pass_ = 1;

  std::uint32_t start_[MaxCodes];
  std::uint16_t length_[MaxCodes];
  std::uint8_t first_[MaxCodes];
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

// The hot state lives in locals: the output is written through a byte
// pointer, which may alias anything, so members would be reloaded from
// memory after every pixel.
void LzwDecoder::Run() {
  for (int c = 0; c < clearCode_; ++c) {
    length_[c] = 1;
    first_[c] = static_cast<std::uint8_t>(c);
  }
  std::uint8_t* const out = out_;
  const std::int64_t capacity = capacity_;
  std::uint32_t* const start = start_;
  std::uint16_t* const length = length_;
  std::uint8_t* const first = first_;
  const int clearCode = clearCode_;
  const int endCode = endCode_;

  const std::uint8_t* in = in_;
  const std::uint8_t* const inEnd = inEnd_;
  std::uint64_t acc = 0;
  unsigned bits = 0;
  int codeWidth = codeSize_ + 1;
  int nextCode = endCode + 1;
  int codeLimit = 1 << codeWidth;
  bool tableFull = false;
  std::int64_t pos = 0;
  std::int64_t oldPos = 0;
  std::int64_t nextRowEnd = width_;

  auto fail = [&](const char* message) {
    pos_ = pos;
    throw EGifException(message);
  };
  auto resetTable = [&] {
    codeWidth = codeSize_ + 1;
    nextCode = endCode + 1;
    codeLimit = 1 << codeWidth;
  };
  // The next code, or false when the data has run out.
  auto readCode = [&](int& code) -> bool {
    if (bits < static_cast<unsigned>(codeWidth)) {
      if (inEnd - in >= 8) {
        std::uint64_t v;
        std::memcpy(&v, in, 8);
        acc |= v << bits;
        in += (63 - bits) >> 3;
        bits |= 56;
      } else {
        while (bits <= 56 && in < inEnd) {
          acc |= std::uint64_t{*in++} << bits;
          bits += 8;
        }
        if (bits < static_cast<unsigned>(codeWidth)) return false;
      }
    }
    code = static_cast<int>(acc & ((1u << codeWidth) - 1));
    acc >>= codeWidth;
    bits -= static_cast<unsigned>(codeWidth);
    return true;
  };
  // The entry's string is the stretch of output from s on.
  auto addEntry = [&](int prefix, std::int64_t s) {
    start[nextCode] = static_cast<std::uint32_t>(s);
    length[nextCode] = static_cast<std::uint16_t>(length[prefix] + 1);
    first[nextCode] = first[prefix];
    ++nextCode;
    if (nextCode >= codeLimit) {
      if (codeWidth >= MaxCodeWidth) {
        tableFull = true;
      } else {
        codeLimit *= 2;
        ++codeWidth;
      }
    }
  };
  // Writes the string of a known code at pos (as far as the store reaches).
  auto emit = [&](int code) {
    const int n = length[code];
    if (code < clearCode) {
      if (pos < capacity) out[pos] = first[code];
    } else if (pos + n <= capacity) {
      CopyPiece(out + pos, out + start[code], n);
    } else if (pos < capacity) {
      std::memcpy(out + pos, out + start[code], static_cast<std::size_t>(capacity - pos));
    }
    oldPos = pos;
    pos += n;
  };
  // The code being defined: OldCode's string (which ends right here) and
  // its own first byte.
  auto emitNew = [&](int code) {
    const int n = length[code];
    if (pos + n <= capacity) {
      CopyPiece(out + pos, out + start[code], n - 1);
      out[pos + n - 1] = first[code];
    } else {
      for (std::int64_t i = 0; i < n && pos + i < capacity; ++i)
        out[pos + i] = i + 1 < n ? out[start[code] + i] : first[code];
    }
    oldPos = pos;
    pos += n;
  };
  // After a code's pixels: completes rows, reads the next code and enforces
  // the clear code after a full table. False when the data has run out.
  auto advance = [&](int& code) -> bool {
    if (pos >= nextRowEnd) {
      pos_ = pos;
      nextRowEnd_ = nextRowEnd;
      CompleteRows();
      nextRowEnd = nextRowEnd_;
    }
    if (!readCode(code)) return false;
    if (tableFull) {
      if (code != clearCode) fail("Code size overflow");
      tableFull = false;
    }
    return true;
  };

  int code = 0;
  int oldCode = 0;
  if (!readCode(code)) return;
  // A stream whose first code is not a clear code starts as if it had one.
  if (code != clearCode && code != endCode) {
    if (code > endCode) code = 0;
    oldCode = code;
    emit(code);
    if (!advance(code)) {
      pos_ = pos;
      return;
    }
  }
  while (code != endCode) {
    if (code < clearCode) {
      // A root code: one pixel. The common case in noisy pictures.
      if (pos < capacity) out[pos] = static_cast<std::uint8_t>(code);
      addEntry(oldCode, oldPos);
      oldPos = pos++;
      oldCode = code;
    } else if (code == clearCode) {
      resetTable();
      do {
        if (!readCode(code)) {
          pos_ = pos;
          return;
        }
      } while (code == clearCode);
      if (code == endCode) fail("Bad code");
      // Right after a clear code nothing above EndCode is defined yet.
      if (code > endCode) code = 0;
      oldCode = code;
      emit(code);
    } else if (code < nextCode) {
      // The new entry is OldCode's output and this string's first byte.
      const std::int64_t oldStart = oldPos;
      emit(code);
      addEntry(oldCode, oldStart);
      oldCode = code;
    } else if (code == nextCode) {
      addEntry(oldCode, oldPos);
      emitNew(code);
      oldCode = code;
    } else {
      fail("Bad code");
    }
    if (!advance(code)) break;
  }
  pos_ = pos;
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
