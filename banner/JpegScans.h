#pragma once
#include <cstdint>
#include <string_view>

// What decoding a JPEG's scans will cost, told from its markers alone: the
// loader thread refuses a costly picture before the window thread decodes
// it. Qt-free; reads any bytes.
namespace banner {

struct JpegScanCost {
  std::int32_t Scans = 0;        // start-of-scan markers before the end of the picture
  std::int64_t BlockVisits = 0;  // per scan, the 8 x 8 blocks of its components, summed
};

// Walks the markers from the start-of-image marker on the way libjpeg's
// reader meets them: segments skipped by their length, entropy-coded data
// up to the next marker (stuffed and fill bytes and restart markers are no
// markers), garbage between segments passed over, the end-of-image marker
// or a second frame header (which libjpeg refuses) ends the walk. The
// blocks come from the first frame header; a scan before it, or a
// component it does not name, counts as a scan of no blocks. Bytes that do
// not start with the start-of-image marker give nothing. Linear in the
// bytes, no allocation.
JpegScanCost MeasureJpegScans(std::string_view bytes);

// The blocks of one component, as libjpeg sizes it: the picture's size
// scaled by the component's sampling factors against the largest ones,
// rounded up to whole blocks.
std::int64_t JpegComponentBlocks(std::int64_t width, std::int64_t height, int h, int v, int hMax,
                                 int vMax);

}  // namespace banner
