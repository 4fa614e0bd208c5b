#include "app/OpenLink.h"

TOpenLink::TOpenLink(platform::Opener opener, TLinkKind kind)
    : opener_(std::move(opener)), kind_(kind) {}

TOpenLink::~TOpenLink() {
  // Ends the body before opener_ and url_ go, unless it freed itself.
  TerminateAndWait();
}

platform::Opener TOpenLink::DefaultOpener(TLinkKind kind) {
  if (kind == TLinkKind::Files) {
    return [](const std::string& link) { platform::ShellOpenFile(link); };
  }
  return [](const std::string& url) { platform::ShellOpen(url); };
}

void TOpenLink::SetUrl(const std::string& url) {
  std::lock_guard lock(urlMutex_);
  url_ = url;
}

std::string TOpenLink::Url() const {
  std::lock_guard lock(urlMutex_);
  return url_;
}

void TOpenLink::Execute() {
  while (!Terminated()) {
    const std::string url = Url();
    const bool ofItsKind = kind_ == TLinkKind::Files
                               ? platform::IsFileLink(url)
                               : platform::IsWebLink(url) || platform::IsMailLink(url);
    if (ofItsKind) {
      try {
        opener_(url);
      } catch (...) {
        // As with the shell, the outcome of an open is not reported.
      }
    }
    Suspend();
  }
}

std::string FeedbackLinkUrl(const std::string& address) {
  return "mailto:" + address + "?subject=Feedback%20for%20Quilmere";
}
