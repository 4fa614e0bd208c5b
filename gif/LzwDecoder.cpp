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
    ResetTable();
  }

  void Run();
  // Pixels produced so far, complete rows or not.
  std::int64_t Position() const { return pos_; }
  std::int64_t CompleteRowsEnd() const { return rowsDone_ * width_; }

 private:
  void ResetTable() {
    codeWidth_ = codeSize_ + 1;
    nextCode_ = endCode_ + 1;
    codeLimit_ = 1 << codeWidth_;
  }

  // The next code, or false when the data has run out.
  bool ReadCode(int& code) {
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

  // The entry's string is the stretch of output from start on.
  void AddEntry(int prefix, std::int64_t start) {
    start_[nextCode_] = static_cast<std::uint32_t>(start);
    length_[nextCode_] = static_cast<std::uint16_t>(length_[prefix] + 1);
    first_[nextCode_] = first_[prefix];
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

  // Writes the string of code at pos_, as far as the store reaches, and
  // remembers where it starts.
  void Emit(int code) {
    const int n = length_[code];
    if (code < clearCode_) {
      if (pos_ < capacity_) out_[pos_] = first_[code];
    } else if (pos_ + n <= capacity_) {
      CopyPiece(out_ + pos_, out_ + start_[code], n);
    } else if (pos_ < capacity_) {
      std::memcpy(out_ + pos_, out_ + start_[code], static_cast<std::size_t>(capacity_ - pos_));
    }
    oldPos_ = pos_;
    pos_ += n;
  }

  // The code being defined: OldCode's string (which ends right here) and its
  // own first byte.
  void EmitNew(int code) {
    const int n = length_[code];
    if (pos_ + n <= capacity_) {
      CopyPiece(out_ + pos_, out_ + start_[code], n - 1);
      out_[pos_ + n - 1] = first_[code];
    } else {
      for (std::int64_t i = 0; i < n && pos_ + i < capacity_; ++i)
        out_[pos_ + i] = i + 1 < n ? out_[start_[code] + i] : first_[code];
    }
    oldPos_ = pos_;
    pos_ += n;
  }

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
  std::uint64_t acc_ = 0;
  unsigned bits_ = 0;

  int codeWidth_ = 0;
  int nextCode_ = 0;
  int codeLimit_ = 0;
  bool tableFull_ = false;

  std::int64_t pos_ = 0;
  std::int64_t oldPos_ = 0;
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

void LzwDecoder::Run() {
  for (int c = 0; c < clearCode_; ++c) {
    length_[c] = 1;
    first_[c] = static_cast<std::uint8_t>(c);
  }
  nextRowEnd_ = width_;

  int code = 0;
  int oldCode = 0;
  // A stream whose first code is not a clear code starts as if it had one.
  bool fresh = true;
  if (!ReadCode(code)) return;
  while (code != endCode_) {
    if (code == clearCode_ || fresh) {
      if (code == clearCode_) {
        ResetTable();
        do {
          if (!ReadCode(code)) return;
        } while (code == clearCode_);
        if (code == endCode_) throw EGifException("Bad code");
      }
      fresh = false;
      if (code > endCode_) code = 0;
      oldCode = code;
      Emit(code);
    } else if (code < nextCode_) {
      // The new entry is OldCode's output and this string's first byte.
      const std::int64_t oldStart = oldPos_;
      Emit(code);
      AddEntry(oldCode, oldStart);
      oldCode = code;
    } else if (code != nextCode_) {
      throw EGifException("Bad code");
    } else {
      AddEntry(oldCode, oldPos_);
      EmitNew(code);
      oldCode = code;
    }
    if (width_ == 0) throw EIndexOutOfBounds();
    if (pos_ >= nextRowEnd_) CompleteRows();
    if (!ReadCode(code)) return;
    if (tableFull_) {
      if (code != clearCode_) throw EGifException("Code size overflow");
      tableFull_ = false;
    }
  }
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
