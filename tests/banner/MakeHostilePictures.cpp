// make_hostile_pictures DIR: writes the pictures an attacker would send as
// a banner, and the largest ones the banner still shows, into DIR (made if
// missing), for
// gifdump and bannerdump to be run on (the tests do; so does whoever
// measures what they cost). The same generators serve the unit tests.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/banner/TestPictures.h"
#include "tests/gif/HostileGifs.h"

namespace {

bool Write(const std::string& dir, const std::string& name, const std::string& bytes) {
  std::ofstream out(dir + "/" + name, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// What costs the banner control most at once: the largest screen, four
// frames as large with all the pixels a file may have, transparent and
// restoring what lay under them, then frames up to the count.
std::string Heaviest() {
  using namespace giftest;
  const std::string restoring = GraphicControl(3, true, 1, 0);
  std::string out = Head(4096, 4096);
  for (int i = 0; i < 4; ++i) out += restoring + BombFrame(4096, 4096);
  const std::string empty = restoring + EmptyFrame(0, 0);
  for (int i = 4; i < 65536; ++i) out += empty;
  return out + ";";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_hostile_pictures DIR\n");
    return 2;
  }
  using namespace giftest;
  const std::string dir = argv[1];
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  const std::string largeGrey = testpictures::Jpeg(4096, 4096, {90, 0, 0}, JCS_GRAYSCALE, true);
  const struct {
    const char* name;
    std::string bytes;
  } pictures[] = {
      // 30 LZW bombs of 8192 x 8192, 1.4 MB, on their own screen and on a
      // banner's.
      {"lzw_bombs.gif", LzwBombGif(30, 8192, 8192, 8192, 8192)},
      {"lzw_bombs_banner_screen.gif", LzwBombGif(30, 8192, 8192, 576, 74)},
      {"tiny_frames.gif", TinyFramesGif(100000)},          // 1.5 MB
      {"comment_blocks.gif", CommentBlocksGif(1000000)},   // 2 MB
      {"empty_frames.gif", EmptyFramesGif(60, 5000, 5000)},  // under 1 KB
      {"tall_frames.gif", TallFramesGif()},
      // 4096 x 4096 progressive with 20000 more copies of one scan, 1.2 MB.
      {"repeated_scans.jpg", testpictures::RepeatedScans(largeGrey, 20000)},
      // The largest the banner shows: four 4096 x 4096 frames (all the
      // pixels a file may have) on the largest screen; 65536 frames on it;
      // a JPEG of the largest size whose scans reach the block bound; and
      // libjpeg's own progression in colour at the banner's size.
      {"largest_frames.gif", EmptyFramesGif(4, 4096, 4096)},
      {"most_frames.gif", Head(4096, 4096) + TinyFramesGif(65536).substr(Head(16, 16).size())},
      {"heaviest.gif", Heaviest()},
      {"largest_scans.jpg", testpictures::RepeatedScans(largeGrey, 10)},
      {"progressive.jpg", testpictures::Jpeg(576, 74, {200, 40, 90}, JCS_RGB, true)},
  };
  for (const auto& p : pictures)
    if (!Write(dir, p.name, p.bytes)) {
      std::fprintf(stderr, "make_hostile_pictures: cannot write %s/%s\n", dir.c_str(), p.name);
      return 1;
    }
  return 0;
}
