#pragma once
#include <QImage>
#include <stdexcept>
#include <string>

class QPainter;
class QPoint;

// TJpegImage: a JPEG picture that keeps its compressed bytes and decodes the
// pixels only when it is first drawn. Loading reads the header through
// libjpeg, so data that is not a JPEG fails at once, on the loading thread,
// and never reaches a window.
//
// The loading also refuses, before any pixel is decoded, a picture larger
// than the banner's bound or whose scans would cost more than the banner's
// bounds allow (banner/BannerLimits.h); the decoding enforces the same scan
// bounds again as libjpeg meets the scans, so the window thread's work is
// bounded whatever the markers pretended.
//
// libjpeg ends the process from its default error handler; every call here
// installs the picture's own handler instead, which leaves libjpeg by a jump
// and turns the failure into EJpegError (loading) or a null picture
// (decoding). Warnings (a truncated body, say) are silenced: libjpeg fills
// what is missing and the picture still shows.
//
// A picture is used by one thread at a time; copies are independent, so the
// window keeps a copy of the loader's picture rather than a reference to it.
class EJpegError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TJpegImage {
 public:
  // Replaces the picture by the one in bytes and reads its header. Throws
  // EJpegError when the bytes hold no JPEG header, a picture larger than
  // banner::MaxPicturePixels, more than banner::MaxJpegScans scans or scans
  // that visit more than banner::MaxJpegBlockVisits blocks; the picture is
  // then empty.
  void LoadFromStream(const std::string& bytes);

  bool Empty() const { return width_ == 0; }
  int Width() const { return width_; }
  int Height() const { return height_; }

  // The pixels, decoded on the first call and kept. Null when the picture
  // is empty, its data breaks off in a way libjpeg cannot fill, or its
  // scans cross the bounds; DecodeError() then says why.
  const QImage& ToImage() const;
  const std::string& DecodeError() const { return decodeError_; }
  // Draws the picture unscaled with its top-left corner at topLeft.
  void Draw(QPainter& painter, const QPoint& topLeft) const;

 private:
  std::string data_;
  int width_ = 0;
  int height_ = 0;
  mutable bool decoded_ = false;
  mutable QImage image_;
  mutable std::string decodeError_;
};
