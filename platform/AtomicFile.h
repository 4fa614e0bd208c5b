#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Small files of the user's that the program reads whole and rewrites: read
// within a byte budget, and replaced in one step, so that a failure at any
// point leaves the old contents in place. Qt-free; any thread.
namespace platform {

// The bytes of the file at path; nothing when it does not exist. Throws
// IoError (the errno text) when it cannot be read, and IoError with
// TooLargeText when it holds more than maxBytes: no more than maxBytes + 1
// bytes are ever read.
inline constexpr const char* TooLargeText = "File too large";
std::optional<std::string> ReadSmallFile(const std::string& path, std::size_t maxBytes);

// Replaces the file at path with bytes: written to a new file beside it,
// flushed to disk, given the old file's permission bits, then renamed over
// it. Throws IoError (the errno text) when any step fails; the file at path
// is then as it was, and no temporary file is left.
void ReplaceFile(const std::string& path, std::string_view bytes);

}  // namespace platform
