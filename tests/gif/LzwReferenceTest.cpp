// The decoder against a plain one written from the rules, over random code
// streams: clear codes anywhere (repeated, deferred until the table is
// full, missing at the start), codes that name the entry being defined,
// bad codes, end codes, data that stops mid-code, frames that the data
// under- or overfills, zero-sized, narrow and wide frames, interlaced or
// not, code sizes 2 to 9. The pixels and the error must be the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "gif/GifUnit.h"
#include "tests/gif/GifBuilder.h"
#include "tests/gif/GifTestSupport.h"

using namespace gif;
using namespace giftest;

namespace {

struct Outcome {
  std::vector<int> pixels;  // the frame as read, when no error
  std::string error;        // "CLASS: MESSAGE", "" when none
  int pumps = 0;            // calls to ProcessMessages, one per completed row
};

// The rules, one string per table entry and one pixel at a time.
Outcome Reference(int width, int height, int codeSize, bool interlaced, const std::string& data) {
  const int clear = 1 << codeSize, end = clear + 1;
  std::vector<std::string> table;
  int codeWidth = 0, next = 0;
  auto reset = [&] {
    table.assign(static_cast<std::size_t>(end + 1), "");
    for (int c = 0; c < clear; ++c)
      table[static_cast<std::size_t>(c)] = std::string(1, static_cast<char>(c & 0xFF));
    codeWidth = codeSize + 1;
    next = end + 1;
  };
  reset();
  std::size_t bit = 0;
  auto read = [&](int& code) {
    if (bit + static_cast<std::size_t>(codeWidth) > data.size() * 8) return false;
    code = 0;
    for (int i = 0; i < codeWidth; ++i, ++bit)
      code |= ((static_cast<unsigned char>(data[bit / 8]) >> (bit % 8)) & 1) << i;
    return true;
  };

  std::string out;
  int rows = 0;
  bool full = false, afterClear = false, hasPrevious = false;
  std::string previous;
  Outcome o;
  const std::string overrun = "EIndexOutOfBounds: Dynamic array index out of bounds";
  int code = 0;
  while (read(code)) {
    if (full) {
      if (code != clear) return {{}, "EGifException: Code size overflow", rows};
      full = false;
    }
    if (code == clear) {
      reset();
      afterClear = true;
      hasPrevious = false;
      continue;
    }
    if (code == end) {
      if (afterClear) return {{}, "EGifException: Bad code", rows};
      break;
    }
    std::string string;
    if (!hasPrevious) {
      string = table[static_cast<std::size_t>(code > end ? 0 : code)];
      hasPrevious = true;
      afterClear = false;
    } else {
      if (code > next) return {{}, "EGifException: Bad code", rows};
      string = code < next ? table[static_cast<std::size_t>(code)] : previous + previous[0];
      table.push_back(previous + string[0]);
      if (++next == 1 << codeWidth) {
        if (codeWidth == 12) full = true;
        else ++codeWidth;
      }
    }
    out += string;
    previous = string;
    if (width == 0) return {{}, overrun, rows};
    while (static_cast<int>(out.size()) >= (rows + 1) * width) {
      if (rows >= height) return {{}, overrun, rows + 1};
      ++rows;
    }
  }

  std::vector<int> order;  // image row of each data row
  if (interlaced) {
    for (int start : {0, 4, 2, 1})
      for (int r = start; r < height; r += start == 0 ? 8 : 2 * start) order.push_back(r);
  } else {
    for (int r = 0; r < height; ++r) order.push_back(r);
  }
  o.pumps = rows;
  o.pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
  for (int k = 0; k < rows; ++k)
    for (int x = 0; x < width; ++x)
      o.pixels[static_cast<std::size_t>(order[static_cast<std::size_t>(k)] * width + x)] =
          static_cast<unsigned char>(out[static_cast<std::size_t>(k * width + x)]);
  return o;
}

// With pump, the window's message handling is counted after every row,
// as the program has it; without, the decoder need not stop at row ends.
Outcome Ours(int width, int height, int codeSize, bool interlaced, const std::string& data, bool pump) {
  const std::string bytes =
      Head(width, height, 8) + Image(0, 0, width, height, interlaced ? 0x40 : 0, codeSize, data) + ";";
  Outcome o;
  struct CallbackScope {
    explicit CallbackScope(TGifCallbacks c) { SetGifCallbacks(std::move(c)); }
    ~CallbackScope() { SetGifCallbacks({}); }
  } callbacks(pump ? TGifCallbacks{[&o] { ++o.pumps; }, {}, {}} : TGifCallbacks{});
  auto file = std::make_unique<TGifFile>();
  TMemoryStream stream(bytes);
  try {
    file->LoadFromStream(stream);
  } catch (const EGifException& e) {
    o.error = std::string("EGifException: ") + e.what();
  } catch (const EIndexOutOfBounds& e) {
    o.error = std::string("EIndexOutOfBounds: ") + e.what();
  }
  if (o.error.empty() && file->SubImages.Count() == 1) o.pixels = PixelsOf(file->GetSubImage(1));
  return o;
}

// A random code stream: mostly what an encoder writes (roots, recent and
// old entries, runs of the entry being defined that make long strings),
// now and then what one should not.
struct Stream {
  int codeSize;
  std::string data;
  long pixels = 0;  // what the codes decode to, had they all been read
};

Stream RandomStream(std::mt19937& rng) {
  auto chance = [&](double p) { return std::uniform_real_distribution<double>(0, 1)(rng) < p; };
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  Stream s;
  s.codeSize = chance(0.5) ? 8 : pick(2, 9);
  CodeWriter w(s.codeSize);
  const int clear = w.Clear(), end = w.End();
  std::vector<long> length(4097, 1);
  long previous = 0;
  bool fresh = true;
  auto put = [&](int code) {
    const int next = w.NextCode();
    w.Code(code);
    if (code == clear) {
      fresh = true;
      return;
    }
    long n = code < clear ? 1 : code < next ? length[static_cast<std::size_t>(code)] : previous + 1;
    if (fresh) {
      n = 1;
      fresh = false;
    } else if (next < 4096) {
      length[static_cast<std::size_t>(next)] = previous + 1;
    }
    previous = n;
    s.pixels += n;
  };
  const bool fillTable = chance(0.15);
  const int codes = fillTable ? pick(3900, 9000) : pick(1, 600);
  const double run = chance(0.3) ? 0.6 : 0.05;  // how often the entry being defined comes
  if (chance(0.9)) put(clear);
  for (int i = 0; i < codes; ++i) {
    const int next = w.NextCode();
    if (next == 4096 && !fresh) {
      if (chance(0.995)) put(clear);
      else w.Code(pick(0, 4095));
    } else if (chance(0.002)) {
      put(clear);
    } else if (chance(0.0005)) {
      w.Code(std::min(next + pick(1, 3), (1 << w.Width()) - 1));  // past the table
    } else if (!fresh && next > end + 1 && chance(0.4)) {
      put(chance(0.5) ? pick(std::max(end + 1, next - 8), next - 1) : pick(end + 1, next - 1));
    } else if (!fresh && chance(run)) {
      put(next);
    } else {
      put(pick(0, clear - 1));
    }
  }
  if (chance(0.7)) {
    w.Code(end);
    if (chance(0.2)) w.Code(pick(0, clear - 1));  // nothing after the end code counts
  }
  s.data = w.Bytes();
  if (chance(0.15) && s.data.size() > 1)
    s.data.resize(static_cast<std::size_t>(pick(1, static_cast<int>(s.data.size()) - 1)));
  if (s.data.empty()) s.data = std::string(1, '\0');
  return s;
}

}  // namespace

TEST(LzwReference, RandomStreamsDecodeAsTheRulesSay) {
  std::mt19937 rng(1309);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  int errors = 0, filled = 0;
  for (int i = 0; i < 1500; ++i) {
    const Stream s = RandomStream(rng);
    // Frames that the data fills exactly, nearly or too much, and some
    // of any size.
    const int kind = pick(0, 9);
    const int width = kind < 3 ? pick(1, 8) : kind < 8 ? pick(9, 400) : pick(0, 3);
    const long rows = width == 0 ? 0 : (s.pixels + width - 1) / width;
    const int height = kind == 9 ? pick(0, 3) : static_cast<int>(std::clamp<long>(rows + pick(-2, 1), 0, 65535));
    const bool interlaced = pick(0, 3) == 0;
    SCOPED_TRACE("case " + std::to_string(i) + ": " + std::to_string(width) + " x " +
                 std::to_string(height) + (interlaced ? " interlaced" : "") + ", code size " +
                 std::to_string(s.codeSize));
    const Outcome expected = Reference(width, height, s.codeSize, interlaced, s.data);
    const bool pump = i % 2 == 1;
    const Outcome actual = Ours(width, height, s.codeSize, interlaced, s.data, pump);
    ASSERT_EQ(actual.error, expected.error);
    ASSERT_EQ(actual.pixels, expected.pixels);
    if (pump) {
      ASSERT_EQ(actual.pumps, expected.pumps);
    }
    errors += !expected.error.empty();
    filled += expected.error.empty() && width > 0 && height > 0 && s.pixels >= long{width} * height;
  }
  // The mix reaches both outcomes often.
  EXPECT_GT(errors, 150);
  EXPECT_GT(filled, 150);
}
