#include <gtest/gtest.h>

#include <string>

#include "banner/JpegScans.h"

namespace {

using banner::JpegComponentBlocks;
using banner::MeasureJpegScans;

std::string Bytes(std::initializer_list<int> bytes) {
  std::string out;
  for (int b : bytes) out += static_cast<char>(b);
  return out;
}

// A segment: marker, length (counting itself), body.
std::string Segment(int marker, const std::string& body) {
  const std::size_t length = body.size() + 2;
  return Bytes({0xFF, marker, static_cast<int>(length >> 8), static_cast<int>(length & 0xFF)}) + body;
}

// A frame header for a 32 x 16 picture: component 1 sampled 2 x 2, 2 and 3
// sampled 1 x 1: 4 x 2 blocks of the first, 2 x 1 of the others.
const std::string kSof = Segment(0xC2, Bytes({8, 0, 16, 0, 32, 3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1}));
std::string Sos(std::initializer_list<int> ids) {
  std::string body(1, static_cast<char>(ids.size()));
  for (int id : ids) body += Bytes({id, 0});
  return Segment(0xDA, body + Bytes({0, 63, 0}));
}
const std::string kSoi = Bytes({0xFF, 0xD8}), kEoi = Bytes({0xFF, 0xD9});

struct WalkCase {
  const char* name;
  std::string bytes;
  int scans;
  long long blocks;
};
void PrintTo(const WalkCase& c, std::ostream* os) { *os << c.name; }
class JpegScansTest : public testing::TestWithParam<WalkCase> {};

TEST_P(JpegScansTest, CountsTheScansLibjpegWouldDecode) {
  const auto cost = MeasureJpegScans(GetParam().bytes);
  EXPECT_EQ(cost.Scans, GetParam().scans);
  EXPECT_EQ(cost.BlockVisits, GetParam().blocks);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, JpegScansTest,
    testing::Values(
        WalkCase{"Interleaved", kSoi + kSof + Sos({1, 2, 3}) + "\x12\x34" + kEoi, 1, 8 + 2 + 2},
        WalkCase{"OneComponentEach",
                 kSoi + kSof + Sos({1}) + "x" + Sos({2}) + "y" + Sos({3}) + "z" + kEoi, 3, 12},
        // Data bytes 0xFF are stuffed; restarts and fill bytes are no markers.
        WalkCase{"DataMarkersAndFill",
                 kSoi + kSof + Sos({1}) + Bytes({0xFF, 0x00, 0xDA, 0xFF, 0xD3, 0xFF, 0xFF, 0xFF}) +
                     Sos({2}).substr(1) + kEoi,
                 2, 10},
        // A comment holding a start-of-scan marker is skipped by its length;
        // bytes between segments are passed over.
        WalkCase{"MarkerInsideACommentAndGarbage",
                 kSoi + Segment(0xFE, Bytes({0xFF, 0xDA, 0, 4})) + "junk" + kSof + Sos({1}) + kEoi, 1, 8},
        WalkCase{"NothingAfterTheEnd", kSoi + kSof + Sos({1}) + kEoi + Sos({1}) + Sos({1}), 1, 8},
        WalkCase{"SecondFrameHeaderEndsIt", kSoi + kSof + Sos({1}) + kSof + Sos({1}), 1, 8},
        WalkCase{"UnknownComponentAndNoFrame", kSoi + Sos({1}) + kSof + Sos({9}), 2, 0},
        WalkCase{"ShortLengthSkipsOnlyItself",
                 kSoi + kSof + Bytes({0xFF, 0xE1, 0, 0}) + Sos({3}) + kEoi, 1, 2},
        WalkCase{"CutInsideASegment", kSoi + kSof + Sos({1}).substr(0, 5), 1, 0},
        WalkCase{"NoStartOfImage", kSof + Sos({1}) + kEoi, 0, 0}),
    [](const testing::TestParamInfo<WalkCase>& info) { return std::string(info.param.name); });

TEST(JpegScans, ComponentBlocksRoundUpLikeLibjpeg) {
  EXPECT_EQ(JpegComponentBlocks(4096, 4096, 1, 1, 1, 1), 262144);
  EXPECT_EQ(JpegComponentBlocks(4096, 4096, 1, 1, 2, 2), 65536);
  EXPECT_EQ(JpegComponentBlocks(17, 9, 1, 1, 2, 1), 2 * 2);  // ceil(17/16) x ceil(9/8)
  EXPECT_EQ(JpegComponentBlocks(10, 10, 0, 1, 1, 1), 0);
}

}  // namespace
