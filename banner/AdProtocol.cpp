#include "banner/AdProtocol.h"

#include "platform/ShellOpen.h"

namespace banner {
namespace {

constexpr std::string_view kCrLf = "\r\n";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::size_t PosInText(std::string_view text, std::string_view sub) {
  const std::size_t zero = text.find('\0');
  if (zero != std::string_view::npos) text = text.substr(0, zero);
  const std::size_t found = text.find(sub);
  return found == std::string_view::npos ? 0 : found + 1;
}

std::optional<std::string> DecodeUrl(std::string_view s) {
  std::string result;
  result.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '%') {
      if (s.size() - i < 3) return std::nullopt;
      const int high = HexValue(s[i + 1]);
      const int low = HexValue(s[i + 2]);
      if (high < 0 || low < 0) return std::nullopt;
      result.push_back(static_cast<char>(high * 16 + low));
      i += 2;
    } else if (c == '+') {
      result.push_back(' ');
    } else {
      result.push_back(c);
    }
  }
  return result;
}

AdExchange::AdExchange(std::string defaultLinkUrl) : defaultLinkUrl_(std::move(defaultLinkUrl)) {}

void AdExchange::BuildRequestLine(const std::string& path) {
  RequestLine = "GET " + path + " HTTP/1.0";
}

void AdExchange::BuildRequestHeaders(const std::string& host) {
  RequestHeaders =
      "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
      "application/vnd.ms-powerpoint, application/vnd.ms-excel, application/msword, "
      "application/x-shockwave-flash, */*\r\n"
      "Accept-Language: id\r\n"
      "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n"
      "Host: " + host + "\r\n"
      "Connection: close";
}

std::string AdExchange::RequestBytes() const {
  std::string bytes = RequestLine;
  bytes += kCrLf;
  bytes += RequestHeaders;
  bytes += kCrLf;
  bytes += kCrLf;
  bytes += RequestBody;
  return bytes;
}

void AdExchange::StartCycle() {
  Response.clear();
  ImageStream.clear();
  tooLong_ = false;
}

bool AdExchange::AppendResponse(std::string_view bytes) {
  if (tooLong_ || bytes.size() > MaxResponseSize - Response.size()) {
    tooLong_ = true;
    return false;
  }
  Response.append(bytes);
  return true;
}

// The response as this program reads it; framing and Content-Length are
// ignored, only these landmarks count (searches marked * stop at the first
// zero byte):
//
//   ... "200 OK" ...*                      status, anywhere
//   ... "image/jpeg" ... "image/gif" ...*  kind; gif wins, neither keeps the last
//   ... "Set-Cookie: " NNNNNNN url ";" ...*  first one only; NNNNNNN = name and "="
//   ... CR LF CR LF                        first empty line (zero bytes do not stop it)
//   picture bytes                          everything after it, to the end
ResponseVerdict AdExchange::ParseResponse() {
  if (tooLong_ || PosInText(Response, "200 OK") == 0) return ResponseVerdict::Rejected;

  bool isGif = IsGif;
  if (PosInText(Response, "image/jpeg") > 0) isGif = false;
  if (PosInText(Response, "image/gif") > 0) isGif = true;

  std::string linkUrl = defaultLinkUrl_;
  constexpr std::string_view kCookie = "Set-Cookie: ";
  if (const std::size_t p = PosInText(Response, kCookie); p > 0) {
    const std::size_t start = p - 1 + kCookie.size();  // found before the end, so start <= size
    const std::string_view rest = std::string_view(Response).substr(start);
    std::string_view cookie;
    if (const std::size_t semicolon = rest.find(';'); semicolon != std::string_view::npos) {
      cookie = rest.substr(0, semicolon);
    } else if (!rest.empty()) {
      cookie = rest.substr(0, rest.size() - 1);  // runs on to the end, its last byte excluded
    }
    constexpr std::size_t kNameAndEquals = 7;
    const std::string_view encoded =
        cookie.size() > kNameAndEquals ? cookie.substr(kNameAndEquals) : std::string_view();
    std::optional<std::string> decoded = DecodeUrl(encoded);
    if (!decoded) return ResponseVerdict::LinkUndecodable;
    // The address comes from an unauthenticated server and will be handed to
    // the desktop's opener: only web addresses are taken.
    if (platform::IsWebLink(*decoded)) linkUrl = std::move(*decoded);
  }

  const std::size_t emptyLine = Response.find("\r\n\r\n");
  const std::size_t body = emptyLine == std::string::npos ? 3 : emptyLine + 4;

  IsGif = isGif;
  LinkUrl = std::move(linkUrl);
  ImageStream = body < Response.size() ? Response.substr(body) : std::string();
  return ResponseVerdict::Accepted;
}

}  // namespace banner
