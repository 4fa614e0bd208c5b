#pragma once
#include <mutex>
#include <string>

#include "app/Config.h"
#include "platform/ShellOpen.h"
#include "platform/Thread.h"

// TOpenLink: opens one address through the desktop each time it is resumed,
// then suspends itself, so that a slow browser or mail program never holds
// up the window. The main window creates it (suspended, below normal
// priority, freeing itself), sets its address from the window thread and
// resumes it on a banner or status-bar click.
//
// Hand-over: the body takes a copy of Url under a lock when it wakes and
// opens the copy, so a SetUrl during an open (a feedback click while a
// banner click is served) never tears the address being opened; that click's
// Resume is kept and opens the new address right after.
//
// Only the links of its kind reach the opener; anything else is skipped. The
// banner's links are web and mail links only: an address from the network
// never opens a local file. The grid's row actions have an opener of files.
class TOpenLink : public platform::Thread {
 public:
  enum class TLinkKind { WebAndMail, Files };
  explicit TOpenLink(platform::Opener opener = DefaultOpener(TLinkKind::WebAndMail),
                     TLinkKind kind = TLinkKind::WebAndMail);
  ~TOpenLink() override;

  // Replaces the address that the next run opens. Window thread.
  void SetUrl(const std::string& url);
  std::string Url() const;

  static platform::Opener DefaultOpener(TLinkKind kind = TLinkKind::WebAndMail);

 protected:
  void Execute() override;

 private:
  mutable std::mutex urlMutex_;
  std::string url_;
  platform::Opener opener_;
  TLinkKind kind_;
};

// The feedback mail link: "mailto:" + address + "?subject=Feedback%20for%20Quilmere".
std::string FeedbackLinkUrl(const std::string& address = config::FeedbackAddress);
