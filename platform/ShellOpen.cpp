#include "platform/ShellOpen.h"

#include "platform/AsciiText.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <thread>
#include <vector>

extern char** environ;

namespace platform {
namespace {

bool HasControlByte(std::string_view text) {
  for (const unsigned char c : text) {
    if (c < 32 || c == 127) return true;
  }
  return false;
}

// Case-insensitive (ASCII) test that text starts with the lower-case prefix.
bool StartsWithScheme(std::string_view text, std::string_view lowerPrefix) {
  if (text.size() < lowerPrefix.size()) return false;
  for (std::size_t i = 0; i < lowerPrefix.size(); ++i) {
    if (LowerAscii(text[i]) != lowerPrefix[i]) return false;
  }
  return true;
}

// Starts xdg-open url; url has passed its kind's test.
bool SpawnOpener(const std::string& url);

bool HasSchemeAndMore(std::string_view url, std::string_view scheme) {
  return StartsWithScheme(url, scheme) && url.size() > scheme.size() && !HasControlByte(url);
}

}  // namespace

bool IsWebLink(std::string_view url) {
  return HasSchemeAndMore(url, "http://") || HasSchemeAndMore(url, "https://");
}

bool IsMailLink(std::string_view url) { return HasSchemeAndMore(url, "mailto:"); }

bool IsFileLink(std::string_view url) {
  return StartsWithScheme(url, "file:///") && !HasControlByte(url);
}

std::string FileLink(std::string_view path) {
  static constexpr char Hex[] = "0123456789ABCDEF";
  std::string link = "file://";
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                       (byte >= '0' && byte <= '9') || c == '-' || c == '.' || c == '_' ||
                       c == '~' || c == '/';
    if (plain) {
      link += c;
    } else {
      link += '%';
      link += Hex[byte >> 4];
      link += Hex[byte & 15];
    }
  }
  return link;
}

bool ShellOpen(const std::string& url) {
  // The scheme test also keeps the argument from being read as an option.
  if (!IsWebLink(url) && !IsMailLink(url)) return false;
  return SpawnOpener(url);
}

bool ShellOpenFile(const std::string& fileLink) {
  if (!IsFileLink(fileLink)) return false;
  return SpawnOpener(fileLink);
}

namespace {

bool SpawnOpener(const std::string& url) {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  if (posix_spawn_file_actions_init(&actions) != 0) return false;
  if (posix_spawnattr_init(&attributes) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return false;
  }
  // The opener gets no terminal input, and starts with no signal blocked and
  // SIGPIPE at its default, whatever the calling thread has.
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::string program = "xdg-open";
  std::string argument = url;
  std::vector<char*> argv{program.data(), argument.data(), nullptr};
  pid_t pid = 0;
  const int result = posix_spawnp(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (result != 0) return false;

  // xdg-open may wait for the browser on some desktops; nobody waits for it
  // here, but the child is reaped so that it leaves no zombie behind.
  std::thread([pid] {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return true;
}

}  // namespace

}  // namespace platform
