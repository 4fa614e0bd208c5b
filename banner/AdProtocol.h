#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>


// The advertisement exchange without the socket: the request bytes that go to
// the advertisement server, and the judging of the complete response. Plain
// bytes in, plain bytes out, so it is tested and fuzzed without a network.
namespace banner {

// Path and query of the request, sent verbatim.
inline constexpr const char* AdServerPath = "/adrotator/adrotator.cfm?Product=Quilmere";
inline constexpr int AdServerPort = 80;

// The most bytes one exchange may receive. The server is not trusted: a
// longer response ends the exchange and is rejected rather than held.
inline constexpr std::size_t MaxResponseSize = 8u * 1024u * 1024u;

// The 1-based position of the first occurrence of sub in text, 0 when there
// is none. text counts as zero-terminated: bytes from its first zero byte on
// are never searched. Byte for byte, case-sensitive.
std::size_t PosInText(std::string_view text, std::string_view sub);

// s with "%XX" escapes (hex digits in either case) turned into their bytes
// and "+" into a blank; nothing else changes. Empty when a "%" is not
// followed by two hex digits.
std::optional<std::string> DecodeUrl(std::string_view s);

enum class ResponseVerdict {
  Accepted,       // IsGif, LinkUrl and ImageStream now describe the banner
  Rejected,       // no "200 OK" before the first zero byte, or too long
  LinkUndecodable // the cookie's address has a broken escape
};

// The request and response of one advertisement exchange, with what the last
// accepted response left behind. Owned by the loader and used on its thread;
// the window thread reads IsGif, LinkUrl and ImageStream only while the
// loader waits for it.
class AdExchange {
 public:
  // defaultLinkUrl: the program's web site, from its configuration.
  explicit AdExchange(std::string defaultLinkUrl);

  // "GET " + path + " HTTP/1.0", no line end.
  void BuildRequestLine(const std::string& path);
  // The header lines for host, joined by CR LF, the last one without.
  void BuildRequestHeaders(const std::string& host);
  // The bytes of the three writes, in order: RequestLine + CR LF,
  // RequestHeaders + CR LF CR LF, RequestBody.
  std::string RequestBytes() const;

  // Empties Response and ImageStream for a new exchange; IsGif and LinkUrl
  // stay as the last accepted response left them.
  void StartCycle();
  // Appends received bytes to Response. Returns false, keeping nothing of
  // them, once the exchange would pass MaxResponseSize; the response is then
  // rejected whatever follows, and the caller should end the exchange.
  bool AppendResponse(std::string_view bytes);
  bool ResponseTooLong() const { return tooLong_; }

  // Judges the whole of Response. Only an accepted response changes IsGif,
  // LinkUrl and ImageStream; a rejected or undecodable one leaves all three
  // as they were. A link that is not an http:// or https:// address counts
  // as no link: LinkUrl becomes the default address.
  ResponseVerdict ParseResponse();

  std::string RequestLine;
  std::string RequestHeaders;
  std::string RequestBody;
  std::string Response;
  bool IsGif = false;
  std::string LinkUrl;
  std::string ImageStream;

 private:
  std::string defaultLinkUrl_;
  bool tooLong_ = false;
};

}  // namespace banner
