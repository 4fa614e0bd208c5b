// Any bytes as a JPEG banner: the markers' cost, the header as the loader
// thread reads it, and the decode as the window's first paint runs it,
// through the picture's own error handler. Nothing may crash, leak or end
// the process, and what loading accepts must hold to the banner's bounds:
// its size, and scans that the decode, counting them as libjpeg meets
// them, never finds past the bounds either.
#include <QImage>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "banner/BannerLimits.h"
#include "banner/JpegImage.h"
#include "banner/JpegScans.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Larger pictures are judged but not decoded: a decode of the largest takes
// a good part of a second, which would starve the search.
constexpr std::int64_t kDecodedPixels = std::int64_t{1} << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const banner::JpegScanCost cost = banner::MeasureJpegScans(bytes);
  Check(cost.Scans >= 0 && cost.BlockVisits >= 0);

  TJpegImage picture;
  try {
    picture.LoadFromStream(bytes);
  } catch (const EJpegError&) {
    Check(picture.Empty());
    return 0;
  }
  Check(picture.Width() > 0 && picture.Height() > 0);
  Check(std::int64_t{picture.Width()} * picture.Height() <= banner::MaxPicturePixels);
  Check(cost.Scans <= banner::MaxJpegScans && cost.BlockVisits <= banner::MaxJpegBlockVisits);

  if (std::int64_t{picture.Width()} * picture.Height() > kDecodedPixels) return 0;
  const QImage& image = picture.ToImage();
  Check(image.isNull() || image.size() == QSize(picture.Width(), picture.Height()));
  Check(picture.DecodeError().rfind("JPEG scans", 0) != 0);
  return 0;
}
