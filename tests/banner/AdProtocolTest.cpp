#include <gtest/gtest.h>

#include <string>

#include "banner/AdProtocol.h"

using namespace std::string_literals;

namespace {

constexpr const char* kDefaultLink = "http://default.test/";
constexpr const char* kOldLink = "http://old.test/";
constexpr const char* kOldImage = "old picture";

TEST(AdRequestTest, SendsTheExactBytes) {
  banner::AdExchange exchange(kDefaultLink);
  exchange.BuildRequestLine(banner::AdServerPath);
  exchange.RequestBody = "left over";
  exchange.RequestBody.clear();
  exchange.BuildRequestHeaders("ads.test");
  EXPECT_EQ(exchange.RequestBytes(),
            "GET /adrotator/adrotator.cfm?Product=Quilmere HTTP/1.0\r\n"
            "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
            "application/vnd.ms-powerpoint, application/vnd.ms-excel, application/msword, "
            "application/x-shockwave-flash, */*\r\n"
            "Accept-Language: id\r\n"
            "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n"
            "Host: ads.test\r\n"
            "Connection: close\r\n"
            "\r\n");
  // The header block's last line carries no line end of its own.
  EXPECT_EQ(exchange.RequestHeaders.substr(exchange.RequestHeaders.size() - 2), "se");
}

struct PosCase {
  std::string text;
  std::string sub;
  std::size_t pos;
};

class PosInTextTest : public testing::TestWithParam<PosCase> {};

TEST_P(PosInTextTest, FindsFirstOccurrenceBeforeTheFirstZero) {
  EXPECT_EQ(banner::PosInText(GetParam().text, GetParam().sub), GetParam().pos);
}

INSTANTIATE_TEST_SUITE_P(Texts, PosInTextTest,
                         testing::Values(PosCase{"aab", "ab", 2}, PosCase{"abc", "abc", 1},
                                         PosCase{"ab", "abc", 0},
                                         PosCase{"HTTP 200 ok", "200 OK", 0},
                                         PosCase{"ab\0cd"s, "cd", 0}, PosCase{"ab\0cd"s, "b", 2}));

// One response judged after an earlier accepted one left IsGif = previousGif,
// LinkUrl = kOldLink and ImageStream = kOldImage.
struct ResponseCase {
  const char* name;
  std::string response;
  bool previousGif;
  banner::ResponseVerdict verdict;
  bool isGif;
  std::string link;
  std::string image;
};

void PrintTo(const ResponseCase& c, std::ostream* os) { *os << c.name; }

class ParseResponseTest : public testing::TestWithParam<ResponseCase> {};

TEST_P(ParseResponseTest, JudgesTheResponse) {
  const ResponseCase& c = GetParam();
  banner::AdExchange exchange(kDefaultLink);
  exchange.IsGif = c.previousGif;
  exchange.LinkUrl = kOldLink;
  exchange.ImageStream = kOldImage;
  exchange.Response = c.response;
  EXPECT_EQ(exchange.ParseResponse(), c.verdict);
  EXPECT_EQ(exchange.IsGif, c.isGif);
  EXPECT_EQ(exchange.LinkUrl, c.link);
  EXPECT_EQ(exchange.ImageStream, c.image);
}

using V = banner::ResponseVerdict;
const std::string kGifBody = "GIF89a\0\r\n\r\n;\xff"s;  // zeros, an empty line and ";" in the body
const std::string kStatus = "HTTP/1.0 200 OK\r\n";

INSTANTIATE_TEST_SUITE_P(
    Responses, ParseResponseTest,
    testing::Values(
        ResponseCase{"GifWithEscapedLink",
                     kStatus + "Content-Type: image/gif\r\n"
                               "Set-Cookie: AdLink=http%3A%2F%2Fads.test%2Fa%2Fb+c%3F; path=/\r\n\r\n" +
                         kGifBody,
                     false, V::Accepted, true, "http://ads.test/a/b c?", kGifBody},
        ResponseCase{"LowerCaseHexDigits",
                     kStatus + "Set-Cookie: AdLink=http%3a%2f%2fx.test%2f;\r\n\r\nB", false,
                     V::Accepted, false, "http://x.test/", "B"},
        ResponseCase{"LinkThatIsNoWebAddressFallsBack",
                     kStatus + "Content-Type: image/gif\r\nSet-Cookie: AdLink=a%2Fb+c%3F;\r\n\r\nB",
                     false, V::Accepted, true, kDefaultLink, "B"},
        ResponseCase{"FileLinkFallsBack",
                     kStatus + "Set-Cookie: AdLink=file:///etc/passwd;\r\n\r\nB", false,
                     V::Accepted, false, kDefaultLink, "B"},
        ResponseCase{"ScriptLinkFallsBack",
                     kStatus + "Set-Cookie: AdLink=javascript:alert(1);\r\n\r\nB", false,
                     V::Accepted, false, kDefaultLink, "B"},
        ResponseCase{"EscapedZeroInLinkFallsBack",
                     kStatus + "Set-Cookie: AdLink=http://x.test/%00/;\r\n\r\nB", false,
                     V::Accepted, false, kDefaultLink, "B"},
        ResponseCase{"SchemeInCapitals", kStatus + "Set-Cookie: AdLink=HTTPS://X.TEST/;\r\n\r\nB",
                     false, V::Accepted, false, "HTTPS://X.TEST/", "B"},
        ResponseCase{"NotFoundChangesNothing",
                     "HTTP/1.0 404 Not Found\r\nContent-Type: image/gif\r\n"
                     "Set-Cookie: AdLink=http://new.test/;\r\n\r\n" + kGifBody,
                     false, V::Rejected, false, kOldLink, kOldImage},
        ResponseCase{"EmptyResponseChangesNothing", "", true, V::Rejected, true, kOldLink,
                     kOldImage},
        ResponseCase{"StatusBehindZeroIsNotSeen", "HTTP/1.0 \0"s + "200 OK\r\n\r\nB", false,
                     V::Rejected, false, kOldLink, kOldImage},
        ResponseCase{"BothKindsMeanGif",
                     kStatus + "Content-Type: image/gif\r\nX-Also: image/jpeg\r\n\r\nB", false,
                     V::Accepted, true, kDefaultLink, "B"},
        ResponseCase{"JpegAfterGif", kStatus + "Content-Type: image/jpeg\r\n\r\nB", true,
                     V::Accepted, false, kDefaultLink, "B"},
        ResponseCase{"NeitherKindKeepsGif", kStatus + "Content-Type: image/png\r\n\r\nB", true,
                     V::Accepted, true, kDefaultLink, "B"},
        ResponseCase{"NeitherKindKeepsJpeg", kStatus + "\r\nB", false, V::Accepted, false,
                     kDefaultLink, "B"},
        ResponseCase{"ZeroHidesLaterHeadersButNotTheEmptyLine",
                     kStatus + "\0Content-Type: image/gif\r\nSet-Cookie: AdLink=http://new.test/;"s +
                         "\r\n\r\nB",
                     false, V::Accepted, false, kDefaultLink, "B"},
        ResponseCase{"NoCookieReplacesOldLink", kStatus + "Content-Type: image/gif\r\n\r\nB",
                     false, V::Accepted, true, kDefaultLink, "B"},
        ResponseCase{"OnlyFirstCookieCounts",
                     kStatus + "Set-Cookie: AdLink=http://first.test/;\r\n"
                               "Set-Cookie: AdLink=http://second.test/;\r\n\r\nB",
                     false, V::Accepted, false, "http://first.test/", "B"},
        ResponseCase{"CookieNeedsTheBlank", kStatus + "Set-Cookie:AdLink=http://new.test/;\r\n\r\nB",
                     false, V::Accepted, false, kDefaultLink, "B"},
        ResponseCase{"PercentAndOneDigitFails",
                     kStatus + "Content-Type: image/gif\r\nSet-Cookie: AdLink=http://x.test/%4;\r\n\r\nB",
                     false, V::LinkUndecodable, false, kOldLink, kOldImage},
        ResponseCase{"PercentAndLetterBeyondFFails",
                     kStatus + "Set-Cookie: AdLink=http://x.test/%G1;\r\n\r\nB", false,
                     V::LinkUndecodable, false, kOldLink, kOldImage},
        ResponseCase{"LonePercentAtEndFails", kStatus + "Set-Cookie: AdLink=http://x.test/%;\r\n\r\nB",
                     true, V::LinkUndecodable, true, kOldLink, kOldImage},
        ResponseCase{"CookieWithoutSemicolonRunsToEndButLastByte",
                     kStatus + "Set-Cookie: AdLink=http://x.test/pathZ", false, V::Accepted, false,
                     "http://x.test/path",
                     "P/1.0 200 OK\r\nSet-Cookie: AdLink=http://x.test/pathZ"},
        ResponseCase{"ShortCookieGivesNoLink", kStatus + "Set-Cookie: AdLink=;\r\n\r\nB", false,
                     V::Accepted, false, kDefaultLink, "B"},
        ResponseCase{"CookieAtTheVeryEnd", kStatus + "Set-Cookie: ", false, V::Accepted, false,
                     kDefaultLink, "P/1.0 200 OK\r\nSet-Cookie: "},
        ResponseCase{"NoEmptyLineTakesFromFourthByte", "200 OK body", false, V::Accepted, false,
                     kDefaultLink, " OK body"},
        ResponseCase{"EmptyBody", kStatus + "\r\n", false, V::Accepted, false, kDefaultLink, ""}),
    [](const testing::TestParamInfo<ResponseCase>& info) { return std::string(info.param.name); });

TEST(AdResponseTest, ResponseOverTheBoundIsRejected) {
  banner::AdExchange exchange(kDefaultLink);
  exchange.StartCycle();
  const std::string head = kStatus + "Content-Type: image/gif\r\n\r\n";
  ASSERT_TRUE(exchange.AppendResponse(head));
  ASSERT_TRUE(exchange.AppendResponse(std::string(banner::MaxResponseSize - head.size(), 'x')));
  EXPECT_EQ(exchange.ParseResponse(), banner::ResponseVerdict::Accepted);

  EXPECT_FALSE(exchange.AppendResponse("y"));
  EXPECT_EQ(exchange.Response.size(), banner::MaxResponseSize);
  EXPECT_FALSE(exchange.AppendResponse(""));  // stays over the bound for this cycle
  EXPECT_EQ(exchange.ParseResponse(), banner::ResponseVerdict::Rejected);

  exchange.StartCycle();
  EXPECT_TRUE(exchange.Response.empty());
  EXPECT_TRUE(exchange.ImageStream.empty());
  EXPECT_TRUE(exchange.AppendResponse(head));
  EXPECT_EQ(exchange.ParseResponse(), banner::ResponseVerdict::Accepted);
}

}  // namespace
