#pragma once
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "gif/GifUnit.h"

namespace giftest {

// The fixtures: under $QUILMERE_TEST_DATA when it is set, else where the
// build found them.
inline std::string DataPath(const std::string& name) {
  const char* root = std::getenv("QUILMERE_TEST_DATA");
  return std::string(root ? root : QUILMERE_GIF_TEST_DATA) + "/gif/" + name;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// Reads bytes into a fresh file; the error, if any, is rethrown by the
// caller's EXPECT_THROW or kept in *error.
inline std::unique_ptr<gif::TGifFile> Load(const std::string& bytes) {
  auto file = std::make_unique<gif::TGifFile>();
  gif::TMemoryStream stream(bytes);
  file->LoadFromStream(stream);
  return file;
}

// Reads bytes and returns the file whatever happened; what() of the error
// goes to *message ("" when none).
template <class E = std::exception>
std::unique_ptr<gif::TGifFile> LoadCatching(const std::string& bytes, std::string* message) {
  auto file = std::make_unique<gif::TGifFile>();
  gif::TMemoryStream stream(bytes);
  message->clear();
  try {
    file->LoadFromStream(stream);
  } catch (const E& e) {
    *message = e.what();
  }
  return file;
}

// The frame's pixels, row 1 first.
inline std::vector<int> PixelsOf(const gif::TGifSubImage& frame) {
  std::vector<int> out;
  const auto& p = *frame.Pixels;
  for (int r = 1; r <= p.Rows(); ++r)
    for (int c = 0; c < p.Columns(); ++c) out.push_back(p.RowData(r)[c]);
  return out;
}

}  // namespace giftest
