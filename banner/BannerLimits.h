#pragma once
#include <cstdint>

// What a banner picture may cost, in one place. Pictures come over plain
// HTTP from a server that anyone on the path can impersonate, so each bound
// is checked before the work or the allocation it guards. The response
// itself is bounded by MaxResponseSize (AdProtocol.h); the GIF reader's own
// limits (gif/GifUnit.h) bound what a GIF file may make it hold.
namespace banner {

// The largest picture shown, in pixels: a JPEG's size, a GIF's logical
// screen. One 32-bit bitmap of it is 64 MiB; the GIF control holds at most
// two of them at a time (its picture and a backup), the JPEG control one
// picture of 48 MiB once libjpeg has let go of its coefficients.
inline constexpr std::int64_t MaxPicturePixels = std::int64_t{4096} * 4096;

// Scans of a JPEG. libjpeg's progression writes 10 for a colour picture and
// 18 for a four-colour one, optimising encoders about as many; more than
// five times that is no picture of an honest encoder, and every scan is one
// more pass over the picture's coefficients.
inline constexpr int MaxJpegScans = 100;

// 8 x 8 coefficient blocks that a JPEG's scans visit together (each scan
// counts the blocks of its components). A progressive decode spends up to
// about 70 ns on a block visit (a refinement scan over all 63 coefficients)
// on these machines, so this keeps the scans' part of the decode on the
// window thread near 0.3 s. A 4096 x 4096 colour picture in libjpeg's
// progression without chroma subsampling visits 3.7 million.
inline constexpr std::int64_t MaxJpegBlockVisits = std::int64_t{1} << 22;

// How long a GIF frame shows, in milliseconds, for its delay in hundredths
// of a second. Delays of 0 and 1 are taken as 10, as browsers take them:
// pictures made for browsers count on that, and a frame every 10 ms or
// faster would keep a core busy drawing. No frame is drawn sooner than 20 ms
// after the one before.
inline constexpr int SlowedFrameDelay = 10;  // hundredths, for delays 0 and 1
inline constexpr int FrameIntervalMs(int delay) {
  return (delay <= 1 ? SlowedFrameDelay : delay) * 10;
}

}  // namespace banner
