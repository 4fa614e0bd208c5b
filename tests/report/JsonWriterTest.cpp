#include <gtest/gtest.h>

#include <string>

#include "report/JsonWriter.h"

namespace {

struct Utf8Case {
  const char* what;
  std::string bytes;
  bool valid;
};

void PrintTo(const Utf8Case& c, std::ostream* os) { *os << c.what; }

class Utf8 : public testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8, AcceptsOnlyWellFormedSequences) {
  EXPECT_EQ(report::IsValidUtf8(GetParam().bytes), GetParam().valid);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, Utf8,
    testing::Values(Utf8Case{"empty", "", true}, Utf8Case{"ASCII and NUL", std::string("a\0b", 3), true},
                    Utf8Case{"two bytes", "caf\xC3\xA9", true},
                    Utf8Case{"three bytes, lowest", "\xE0\xA0\x80", true},
                    Utf8Case{"four bytes, highest", "\xF4\x8F\xBF\xBF", true},
                    Utf8Case{"Latin-1 byte", "caf\xE9", false},
                    Utf8Case{"overlong slash", "\xC0\xAF", false},
                    Utf8Case{"overlong three bytes", "\xE0\x9F\xBF", false},
                    Utf8Case{"surrogate", "\xED\xA0\x80", false},
                    Utf8Case{"above U+10FFFF", "\xF4\x90\x80\x80", false},
                    Utf8Case{"lead byte F5", "\xF5\x80\x80\x80", false},
                    Utf8Case{"cut short", "a\xE2\x82", false},
                    Utf8Case{"lone continuation", "\x80", false}));

TEST(Base64, MatchesTheRfcVectors) {
  const std::pair<const char*, const char*> vectors[] = {
      {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},        {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}};
  for (const auto& [plain, encoded] : vectors) EXPECT_EQ(report::Base64(plain), encoded);
  EXPECT_EQ(report::Base64("\xFF\xFE"), "//4=");
}

TEST(JsonWriter, EscapesAndLaysOutTheDocument) {
  report::TJsonWriter json;
  json.BeginObject();
  json.Key("text");
  json.String("q\"b\\\x01\t\x7f");
  json.Key("list");
  json.BeginArray();
  json.BeginObject();
  json.BytesField("name", "caf\xE9");
  json.Key("n");
  json.Int(-3);
  json.EndObject();
  json.BeginArray();
  json.EndArray();
  json.Null();
  json.EndArray();
  json.Key("empty");
  json.BeginObject();
  json.EndObject();
  json.Key("ok");
  json.Bool(false);
  json.EndObject();
  EXPECT_EQ(json.Text(),
            "{\n"
            "  \"text\": \"q\\\"b\\\\\\u0001\\t\x7f\",\n"
            "  \"list\": [\n"
            "    {\"name\": \"caf\xEF\xBF\xBD\", \"name_bytes\": \"Y2Fm6Q==\", \"n\": -3},\n"
            "    [],\n"
            "    null\n"
            "  ],\n"
            "  \"empty\": {},\n"
            "  \"ok\": false\n"
            "}\n");
}

}  // namespace
