#pragma once
#include <string>

class TJpegImage;

namespace banner {

// The window's side of a shown banner. The loader calls ShowBanner on the
// window thread, through the synchronised call, while it waits; what the
// arguments refer to belongs to the loader and changes in its next cycle, so
// the window copies what it keeps (the JPEG picture, or loads the GIF from
// the bytes) before it returns.
//
// The window's part (and nothing more):
//   1. hide the GIF control and the JPEG control;
//   2. GIF: load gifBytes into the GIF control, start its animation, set its
//      hint to linkUrl, show it; JPEG: the JPEG control's picture becomes a
//      copy of *jpeg, its hint linkUrl, show it;
//   3. SetLinkUrl(linkUrl).
// An exception (a GIF the reader rejects) goes back to the loader and ends
// its cycle silently; step 3 is then skipped, so the link stays as it was.
class BannerDisplay {
 public:
  virtual ~BannerDisplay() = default;
  // isGif: gifBytes holds the GIF and jpeg is null. Otherwise jpeg holds the
  // picture, its header read and its pixels not yet decoded.
  virtual void ShowBanner(bool isGif, const std::string& gifBytes, const TJpegImage* jpeg,
                          const std::string& linkUrl) = 0;
};

}  // namespace banner
