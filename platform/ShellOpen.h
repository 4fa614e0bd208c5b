#pragma once
#include <functional>
#include <string>
#include <string_view>

// Opening addresses through the desktop: the stand-in for the shell's "open"
// verb. Callers that must be testable take an Opener and get ShellOpen as the
// production default, so tests can record what would have been opened.
namespace platform {

using Opener = std::function<void(const std::string& url)>;

// An absolute web address: "http://" or "https://" (scheme in any case)
// followed by at least one byte, with no control byte (below 32, or 127)
// anywhere. Anything else (a file path, "file:", "javascript:", a program
// name) is not one.
bool IsWebLink(std::string_view url);

// A "mailto:" link (scheme in any case) with no control byte.
bool IsMailLink(std::string_view url);

// A "file:///" link (scheme in any case) to an absolute path, with no control
// byte.
bool IsFileLink(std::string_view url);

// The file link of an absolute path: "file://" and the path's bytes, those
// other than letters, digits, "-._~/" written as %XX.
std::string FileLink(std::string_view path);

// Hands url to the desktop's opener (xdg-open, started with posix_spawnp and
// an argument vector, never through a shell) and returns at once; the child
// is reaped in the background. Only web and mail links are handed on: for
// anything else, or when the opener cannot be started, nothing happens and
// the result is false. Like the shell's open, the outcome of the open itself
// is not reported.
bool ShellOpen(const std::string& url);

// The same for a file link (IsFileLink) only: the desktop opens the file or
// folder with the program the user chose for its kind.
bool ShellOpenFile(const std::string& fileLink);

}  // namespace platform
