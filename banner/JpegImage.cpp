#include "banner/JpegImage.h"

#include <QPainter>
#include <QPoint>
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <cstring>
#include <string>

#include <jpeglib.h>

#include "banner/BannerLimits.h"
#include "banner/JpegScans.h"

namespace {

// libjpeg's error manager with a way back: error_exit jumps to the point
// that the reading function set, instead of ending the process. Only plain C
// data lies between the jump and its target, so nothing is skipped that
// would need destroying.
struct ErrorExit {
  jpeg_error_mgr manager;
  std::jmp_buf back;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void JumpBack(j_common_ptr info) {
  auto* error = reinterpret_cast<ErrorExit*>(info->err);
  (*info->err->format_message)(info, error->message);
  std::longjmp(error->back, 1);
}

void Quiet(j_common_ptr) {}

void InstallErrorExit(jpeg_decompress_struct& info, ErrorExit& error) {
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = JumpBack;
  error.manager.output_message = Quiet;
  error.message[0] = '\0';
}

struct Header {
  int width = 0;
  int height = 0;
};

// False, with libjpeg's message, when data holds no readable JPEG header.
bool ReadHeader(const std::string& data, Header& header, char (&message)[JMSG_LENGTH_MAX]) {
  jpeg_decompress_struct info;
  ErrorExit error;
  InstallErrorExit(info, error);
  if (setjmp(error.back)) {
    jpeg_destroy_decompress(&info);
    std::memcpy(message, error.message, sizeof message);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(data.data()),
               static_cast<unsigned long>(data.size()));
  jpeg_read_header(&info, TRUE);
  header.width = static_cast<int>(info.image_width);
  header.height = static_cast<int>(info.image_height);
  jpeg_destroy_decompress(&info);
  return true;
}

std::string ScanRefusal(std::int64_t scans, std::int64_t blockVisits) {
  if (scans > banner::MaxJpegScans)
    return "JPEG scans too many: " + std::to_string(scans) + " scans, at most " +
           std::to_string(banner::MaxJpegScans) + " allowed";
  if (blockVisits > banner::MaxJpegBlockVisits)
    return "JPEG scans too costly: " + std::to_string(blockVisits) + " blocks to decode, at most " +
           std::to_string(banner::MaxJpegBlockVisits) + " allowed";
  return {};
}

// libjpeg calls its progress monitor before every row of coefficients it
// takes in, and so once a new scan's header has been read and before its
// data is: the scans are counted here as libjpeg itself meets them, and the
// decode leaves by the error jump as soon as they cross the bounds.
struct ScanGuard {
  jpeg_progress_mgr manager;
  int scan = 0;
  std::int64_t blockVisits = 0;
};

void CountScan(j_common_ptr common) {
  auto* info = reinterpret_cast<j_decompress_ptr>(common);
  auto* guard = reinterpret_cast<ScanGuard*>(common->progress);
  if (info->input_scan_number == guard->scan) return;
  guard->scan = info->input_scan_number;
  for (int i = 0; i < info->comps_in_scan; ++i) {
    const jpeg_component_info* c = info->cur_comp_info[i];
    guard->blockVisits += std::int64_t{c->width_in_blocks} * c->height_in_blocks;
  }
  auto* error = reinterpret_cast<ErrorExit*>(common->err);
  {
    // Gone before the jump, which destroys nothing.
    const std::string refusal = ScanRefusal(guard->scan, guard->blockVisits);
    if (refusal.empty()) return;
    std::snprintf(error->message, sizeof error->message, "%s", refusal.c_str());
  }
  std::longjmp(error->back, 1);
}

// Decodes data into image (RGB). CMYK and YCCK pictures come out of libjpeg
// as CMYK and are converted here; Adobe's writers store the inks inverted.
// False, with the reason in message, when it cannot.
bool DecodePixels(const std::string& data, QImage& image, std::string& message) {
  jpeg_decompress_struct info;
  ErrorExit error;
  ScanGuard guard{};
  InstallErrorExit(info, error);
  if (setjmp(error.back)) {
    jpeg_destroy_decompress(&info);
    message = error.message;
    return false;
  }
  jpeg_create_decompress(&info);
  guard.manager.progress_monitor = CountScan;
  info.progress = &guard.manager;
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(data.data()),
               static_cast<unsigned long>(data.size()));
  jpeg_read_header(&info, TRUE);
  const bool inks = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
  info.out_color_space = inks ? JCS_CMYK : JCS_RGB;
  jpeg_start_decompress(&info);
  image = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height),
                 QImage::Format_RGB888);
  if (image.isNull()) {
    jpeg_destroy_decompress(&info);
    message = "no memory for the picture";
    return false;
  }
  JSAMPARRAY inkRow =
      inks ? (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                       info.output_width * 4, 1)
           : nullptr;
  while (info.output_scanline < info.output_height) {
    uchar* line = image.scanLine(static_cast<int>(info.output_scanline));
    if (!inks) {
      JSAMPROW row = line;
      jpeg_read_scanlines(&info, &row, 1);
      continue;
    }
    jpeg_read_scanlines(&info, inkRow, 1);
    const JSAMPLE* in = inkRow[0];
    for (JDIMENSION x = 0; x < info.output_width; ++x, in += 4, line += 3) {
      const int c = in[0], m = in[1], y = in[2], k = in[3];
      if (info.saw_Adobe_marker) {
        line[0] = static_cast<uchar>(c * k / 255);
        line[1] = static_cast<uchar>(m * k / 255);
        line[2] = static_cast<uchar>(y * k / 255);
      } else {
        line[0] = static_cast<uchar>((255 - c) * (255 - k) / 255);
        line[1] = static_cast<uchar>((255 - m) * (255 - k) / 255);
        line[2] = static_cast<uchar>((255 - y) * (255 - k) / 255);
      }
    }
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

}  // namespace

void TJpegImage::LoadFromStream(const std::string& bytes) {
  *this = TJpegImage();
  Header header;
  char message[JMSG_LENGTH_MAX];
  if (!ReadHeader(bytes, header, message)) throw EJpegError(message);
  const std::int64_t pixels = std::int64_t{header.width} * header.height;
  if (pixels > banner::MaxPicturePixels)
    throw EJpegError("JPEG picture too large: " + std::to_string(header.width) + " x " +
                     std::to_string(header.height) + " pixels, at most " +
                     std::to_string(banner::MaxPicturePixels) + " allowed");
  const banner::JpegScanCost cost = banner::MeasureJpegScans(bytes);
  if (const std::string refusal = ScanRefusal(cost.Scans, cost.BlockVisits); !refusal.empty())
    throw EJpegError(refusal);
  data_ = bytes;
  width_ = header.width;
  height_ = header.height;
}

const QImage& TJpegImage::ToImage() const {
  if (!decoded_ && !Empty()) {
    decoded_ = true;
    if (!DecodePixels(data_, image_, decodeError_)) image_ = QImage();
  }
  return image_;
}

void TJpegImage::Draw(QPainter& painter, const QPoint& topLeft) const {
  const QImage& image = ToImage();
  if (!image.isNull()) painter.drawImage(topLeft, image);
}
