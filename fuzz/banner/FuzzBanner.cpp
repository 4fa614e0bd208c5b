// Every byte of an advertisement response is the server's to choose: judge
// any of them, and decode any of them as a link, and hold the results to
// what the program relies on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "banner/AdProtocol.h"
#include "platform/ShellOpen.h"

namespace {

constexpr const char* kDefaultLink = "http://default.test/";

void Check(bool condition) {
  if (!condition) std::abort();
}

void JudgeAfter(std::string_view bytes, bool previousGif) {
  banner::AdExchange exchange(kDefaultLink);
  exchange.IsGif = previousGif;
  exchange.LinkUrl = "old";
  exchange.ImageStream = "old picture";
  exchange.StartCycle();
  exchange.ImageStream = "old picture";
  // Arrives in two pieces, as a socket would deliver it.
  const std::size_t half = bytes.size() / 2;
  Check(exchange.AppendResponse(bytes.substr(0, half)));
  Check(exchange.AppendResponse(bytes.substr(half)));
  Check(exchange.Response == bytes);

  switch (exchange.ParseResponse()) {
    case banner::ResponseVerdict::Accepted: {
      Check(banner::PosInText(bytes, "200 OK") > 0);
      Check(exchange.LinkUrl == kDefaultLink || platform::IsWebLink(exchange.LinkUrl));
      const std::string_view image = exchange.ImageStream;
      Check(image.size() <= bytes.size() && bytes.substr(bytes.size() - image.size()) == image);
      break;
    }
    case banner::ResponseVerdict::Rejected:
    case banner::ResponseVerdict::LinkUndecodable:
      Check(exchange.IsGif == previousGif && exchange.LinkUrl == "old" &&
            exchange.ImageStream == "old picture");
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  const std::size_t pos = banner::PosInText(bytes, "200 OK");
  Check(pos == 0 || (pos + 5 <= bytes.size() && bytes.substr(pos - 1, 6) == "200 OK"));

  if (const auto decoded = banner::DecodeUrl(bytes)) Check(decoded->size() <= bytes.size());

  JudgeAfter(bytes, false);
  JudgeAfter(bytes, true);
  return 0;
}
