#include "platform/StandardOutput.h"

#include <errno.h>
#include <signal.h>
#include <unistd.h>

namespace platform {

StandardOutput::StandardOutput() {
  signal(SIGPIPE, SIG_IGN);
  setp(buffer_.data(), buffer_.data() + buffer_.size());
}

StandardOutput::~StandardOutput() { Drain(); }

bool StandardOutput::Drain() {
  const char* next = pbase();
  const char* const end = pptr();
  while (error_ == 0 && next < end) {
    const ssize_t n = write(STDOUT_FILENO, next, static_cast<std::size_t>(end - next));
    if (n > 0) {
      next += n;
    } else if (n < 0 && errno != EINTR) {
      error_ = errno;
    } else if (n == 0) {
      error_ = EIO;  // no progress: never loop on it
    }
  }
  // What could not be written is dropped; the error stays.
  setp(buffer_.data(), buffer_.data() + buffer_.size());
  return error_ == 0;
}

StandardOutput::int_type StandardOutput::overflow(int_type ch) {
  if (!Drain()) return traits_type::eof();
  if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
  *pptr() = traits_type::to_char_type(ch);
  pbump(1);
  return ch;
}

int StandardOutput::sync() { return Drain() ? 0 : -1; }

}  // namespace platform
