#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/OpenLink.h"

namespace {

using namespace std::chrono_literals;
constexpr auto kBound = 10s;

// Records the addresses handed to the opener; while held, the opener waits
// inside the open, standing for a slow browser.
struct OpenRecord {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::string> opened;
  bool held = false;
  bool deleted = false;
  int nice = 0;

  void Open(const std::string& url) {
    std::unique_lock lock(mutex);
    opened.push_back(url);
    nice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    changed.notify_all();
    changed.wait_for(lock, kBound, [this] { return !held; });
  }
  bool WaitOpens(std::size_t count) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, kBound, [&] { return opened.size() >= count; });
  }
  void Hold(bool hold) {
    std::lock_guard lock(mutex);
    held = hold;
    changed.notify_all();
  }
  std::vector<std::string> Opened() {
    std::lock_guard lock(mutex);
    return opened;
  }
};

platform::Opener RecordingOpener(const std::shared_ptr<OpenRecord>& record) {
  return [record](const std::string& url) { record->Open(url); };
}

constexpr const char* kSite = "http://www.orvanta.example/";
constexpr const char* kBannerLink = "https://ads.test/click?id=7";

TEST(OpenLinkTest, OpensTheAddressOncePerResume) {
  auto record = std::make_shared<OpenRecord>();
  TOpenLink link(RecordingOpener(record));
  link.SetUrl(kSite);
  link.Resume();
  ASSERT_TRUE(link.WaitForSuspended(kBound));
  link.SetUrl(kBannerLink);
  link.Resume();
  ASSERT_TRUE(link.WaitForSuspended(kBound));
  EXPECT_EQ(record->Opened(), (std::vector<std::string>{kSite, kBannerLink}));

  link.Terminate();
  link.Resume();  // ends without another open
  ASSERT_TRUE(link.WaitFor(kBound));
  EXPECT_EQ(record->Opened().size(), 2u);
}

TEST(OpenLinkTest, FeedbackClickDuringAnOpenNeitherTearsItNorIsLost) {
  auto record = std::make_shared<OpenRecord>();
  TOpenLink link(RecordingOpener(record));
  link.SetUrl(kBannerLink);
  record->Hold(true);
  link.Resume();  // banner click
  ASSERT_TRUE(record->WaitOpens(1));

  const std::string feedback = FeedbackLinkUrl("feedback@x.test");
  link.SetUrl(feedback);  // status-bar click while the banner link is being opened
  link.Resume();
  record->Hold(false);
  ASSERT_TRUE(record->WaitOpens(2));
  ASSERT_TRUE(link.WaitForSuspended(kBound));
  EXPECT_EQ(record->Opened(), (std::vector<std::string>{kBannerLink, feedback}));
}

TEST(OpenLinkTest, NeverHandsOnWhatIsNeitherWebNorMail) {
  auto record = std::make_shared<OpenRecord>();
  TOpenLink link(RecordingOpener(record));
  for (const char* url : {"file:///etc/passwd", "javascript:alert(1)", "/usr/bin/xterm", ""}) {
    link.SetUrl(url);
    link.Resume();
    ASSERT_TRUE(link.WaitForSuspended(kBound));
  }
  link.SetUrl("mailto:a@b.test");
  link.Resume();
  ASSERT_TRUE(link.WaitForSuspended(kBound));
  EXPECT_EQ(record->Opened(), (std::vector<std::string>{"mailto:a@b.test"}));
}

TEST(OpenLinkTest, TerminatedBeforeItsFirstResumeItOpensNothing) {
  auto record = std::make_shared<OpenRecord>();
  TOpenLink link(RecordingOpener(record));
  link.SetUrl(kSite);
  link.Terminate();
  link.Resume();
  ASSERT_TRUE(link.WaitFor(kBound));
  EXPECT_TRUE(record->Opened().empty());
}

// Set-up as the main window does it: suspended, below normal, freeing itself.
TEST(OpenLinkTest, RunsBelowItsCreatorAndFreesItselfAfterTerminationAndAResume) {
  struct Token {
    std::shared_ptr<OpenRecord> record;
    ~Token() {
      std::lock_guard lock(record->mutex);
      record->deleted = true;
      record->changed.notify_all();
    }
  };
  auto record = std::make_shared<OpenRecord>();
  auto token = std::make_shared<Token>(Token{record});
  auto* link = new TOpenLink([token](const std::string& url) { token->record->Open(url); });
  token.reset();  // the opener now holds the only reference
  link->SetPriority(platform::ThreadPriority::BelowNormal);
  link->SetFreeOnTerminate(true);
  link->SetUrl(kSite);
  const int creatorNice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
  link->Resume();
  ASSERT_TRUE(record->WaitOpens(1));
  link->Terminate();
  link->Resume();  // either wakes it or is kept for its next Suspend; then it frees itself

  std::unique_lock lock(record->mutex);
  ASSERT_TRUE(record->changed.wait_for(lock, kBound, [&] { return record->deleted; }));
  EXPECT_EQ(record->opened, std::vector<std::string>{kSite});
  EXPECT_EQ(record->nice, creatorNice < 19 ? creatorNice + 1 : 19);
}

TEST(OpenLinkTest, FeedbackLinkText) {
  EXPECT_EQ(FeedbackLinkUrl(), "mailto:feedback@orvanta.example?subject=Feedback%20for%20Quilmere");
}

}  // namespace
