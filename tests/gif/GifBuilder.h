#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

// Builds GIF streams byte by byte for the reader's and decoder's tests.
namespace giftest {

// Packs LZW codes least significant bit first, with the code width the
// decoder will use for each: CodeSize + 1 after a clear code, one bit more
// whenever the table reaches the next power of two, at most 12.
class CodeWriter {
 public:
  explicit CodeWriter(int codeSize) : codeSize_(codeSize) { Reset(); }

  CodeWriter& Code(int code) {
    Put(code, width_);
    if (code == Clear()) {
      Reset();
    } else if (fresh_) {
      fresh_ = false;
    } else if (next_ < 4096) {
      ++next_;
      if (next_ >= (1 << width_) && width_ < 12) ++width_;
    }
    return *this;
  }
  CodeWriter& Codes(std::initializer_list<int> codes) {
    for (int c : codes) Code(c);
    return *this;
  }
  // A code of an explicit width, the table untouched.
  CodeWriter& Raw(int code, int width) {
    Put(code, width);
    return *this;
  }

  int Clear() const { return 1 << codeSize_; }
  int End() const { return Clear() + 1; }
  int NextCode() const { return next_; }
  int Width() const { return width_; }

  // The packed bytes, the last partial byte included.
  std::string Bytes() const {
    std::string out = bytes_;
    if (bits_ > 0) out += static_cast<char>(acc_);
    return out;
  }

 private:
  void Reset() {
    width_ = codeSize_ + 1;
    next_ = Clear() + 2;
    fresh_ = true;
  }
  void Put(int code, int width) {
    acc_ |= static_cast<std::uint32_t>(code) << bits_;
    bits_ += width;
    while (bits_ >= 8) {
      bytes_ += static_cast<char>(acc_ & 0xFF);
      acc_ >>= 8;
      bits_ -= 8;
    }
  }
  int codeSize_;
  int width_ = 0;
  int next_ = 0;
  bool fresh_ = true;
  std::string bytes_;
  std::uint32_t acc_ = 0;
  int bits_ = 0;
};

inline std::string U16(int v) {
  return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}

// Data bytes as sub-blocks of at most 255 bytes and the terminator.
inline std::string SubBlocks(const std::string& data, bool terminate = true) {
  std::string out;
  for (std::size_t i = 0; i < data.size(); i += 255) {
    const std::string piece = data.substr(i, 255);
    out += static_cast<char>(piece.size());
    out += piece;
  }
  if (terminate) out += '\0';
  return out;
}

// Header and logical screen descriptor, with a global table of 2^bits
// colours (colour i = (i, 2i, 3i)) when globalTable is set.
inline std::string Head(int width, int height, int bits = 2, bool globalTable = true,
                        const std::string& version = "GIF89a", int background = 0) {
  std::string out = version + U16(width) + U16(height);
  out += static_cast<char>((globalTable ? 0x80 : 0) | (bits - 1));
  out += static_cast<char>(background);
  out += '\0';
  if (globalTable)
    for (int i = 0; i < (1 << bits); ++i) {
      out += static_cast<char>(i);
      out += static_cast<char>(2 * i);
      out += static_cast<char>(3 * i);
    }
  return out;
}

inline std::string GraphicControl(int disposal, bool transparent, int delay, int index) {
  std::string out = "\x21\xF9\x04";
  out += static_cast<char>((disposal << 2) | (transparent ? 1 : 0));
  out += U16(delay);
  out += static_cast<char>(index);
  out += '\0';
  return out;
}

inline std::string Comment(const std::string& text) { return "\x21\xFE" + SubBlocks(text); }

// An image descriptor and its data; flags as in the stream.
inline std::string Image(int left, int top, int width, int height, int flags, int codeSize,
                         const std::string& data, const std::string& localTable = "") {
  std::string out = "\x2C" + U16(left) + U16(top) + U16(width) + U16(height);
  out += static_cast<char>(flags);
  out += localTable;
  out += static_cast<char>(codeSize);
  out += SubBlocks(data);
  return out;
}

// An image whose pixels are the given root codes, one code each, after a
// clear code (the table grows but is never used).
inline std::string SimpleImage(int width, int height, const std::vector<int>& pixels,
                               int codeSize = 2, int flags = 0) {
  CodeWriter w(codeSize);
  w.Code(w.Clear());
  for (int p : pixels) w.Code(p);
  w.Code(w.End());
  return Image(0, 0, width, height, flags, codeSize, w.Bytes());
}

}  // namespace giftest
