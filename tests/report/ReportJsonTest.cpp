// The report's JSON read back by Qt's JSON parser: the writer is our own, the
// judge is not.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <random>
#include <sstream>
#include <string>

#include "report/JsonWriter.h"
#include "analysis/ProcessCommand.h"
#include "report/CommandLine.h"
#include "analysis/UseReason.h"
#include "tests/support/SortedSource.h"
#include "tests/support/TempDir.h"

namespace {

QJsonObject Parse(const std::string& text) {
  QJsonParseError error{};
  const QJsonDocument doc =
      QJsonDocument::fromJson(QByteArray(text.data(), static_cast<qsizetype>(text.size())), &error);
  EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << "\n"
                                                   << text;
  EXPECT_TRUE(doc.isObject());
  return doc.object();
}

// The exact bytes of a text field, as the man page tells a reader to get
// them: from "<key>_bytes" when it is there, else from the string.
std::string Bytes(const QJsonObject& object, const QString& key) {
  EXPECT_TRUE(object.value(key).isString()) << key.toStdString();
  const QJsonValue raw = object.value(key + "_bytes");
  const QByteArray bytes = raw.isUndefined()
                               ? object.value(key).toString().toUtf8()
                               : QByteArray::fromBase64(raw.toString().toLatin1());
  return bytes.toStdString();
}

struct JsonRun {
  int code;
  QJsonObject doc;
};

JsonRun ReportJson(const std::vector<std::string>& args) {
  testsupport::SortedSource source;
  std::ostringstream out, err;
  std::vector<std::string> all{"--format=json"};
  all.insert(all.end(), args.begin(), args.end());
  const int code = report::RunReport(all, out, err, source);
  return {code, Parse(out.str())};
}

class JsonReport : public testing::Test {
 protected:
  void SetUp() override {
    tmp.Write("index.cfm", "<img src=\"caf\xE9.gif\"> \xE6\x97\xA5\xE6\x9C\xAC.gif");
    tmp.Write("caf\xE9.gif");                       // Latin-1, not UTF-8
    tmp.Write("\xE6\x97\xA5\xE6\x9C\xAC.gif");      // valid UTF-8
    tmp.Write("quote\"and\\back.gif");
    tmp.Write("ctl\x01\x1f\x7f.gif");
    tmp.Write("tab\tlf\n.gif");
    tmp.Write("d\xFF/page.htm", "ctl\x01\x1f\x7f.gif");  // a folder that is not UTF-8
  }
  testsupport::TempDir tmp;
};

TEST_F(JsonReport, EveryEntryComesBackExactly) {
  auto table = std::make_unique<analysis::TFileTable>();
  testsupport::SortedSource source;
  const std::int32_t count = analysis::ScanAndAnalyze(tmp.Dir(), *table, source, {});
  ASSERT_EQ(table->FileCount, 7);

  for (const bool why : {false, true}) {
    const JsonRun run = why ? ReportJson({"--why", tmp.Dir()}) : ReportJson({tmp.Dir()});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(Bytes(run.doc, "directory"), tmp.Dir());
    EXPECT_EQ(run.doc.value("files_met").toInt(), count);
    EXPECT_EQ(run.doc.value("all_stored"), QJsonValue(true));
    const QJsonArray entries = run.doc.value("entries").toArray();
    ASSERT_EQ(entries.size(), table->FileCount);
    int withBytes = 0;
    for (int i = 1; i <= table->FileCount; ++i) {
      const analysis::TFileName& entry = (*table)[i];
      const QJsonObject object = entries[i - 1].toObject();
      EXPECT_EQ(Bytes(object, "directory"), entry.Directory);
      EXPECT_EQ(Bytes(object, "name"), entry.Name);
      EXPECT_EQ(object.value("unused"), QJsonValue(entry.Unused != 0));
      withBytes += object.contains("name_bytes") + object.contains("directory_bytes");
      if (!why) {
        EXPECT_FALSE(object.contains("reason"));
      } else if (entry.Unused) {
        EXPECT_TRUE(object.value("reason").isNull());
      } else {
        EXPECT_EQ(Bytes(object, "reason"), analysis::UseReasonText(entry));
      }
    }
    EXPECT_EQ(withBytes, 2);  // caf\xE9.gif and page.htm's folder only
  }
}

TEST_F(JsonReport, SaysWhenNotEveryFileWasStored) {
  const JsonRun run = ReportJson({"--max-files", "1", tmp.Dir()});
  EXPECT_EQ(run.doc.value("files_met").toInt(), 7);
  EXPECT_EQ(run.doc.value("all_stored"), QJsonValue(false));
  EXPECT_EQ(run.doc.value("entries").toArray().size(), 1);
}

// Random bytes, weighted towards what breaks writers (controls, quotes,
// backslashes, stray and cut-short UTF-8), all survive the trip.
TEST(JsonWriter, AnyBytesRoundTripThroughARealParser) {
  std::mt19937 random(20240611);
  const std::string pieces[] = {"\"", "\\", "\n", std::string(1, '\0'), "\x1f", "\x7f", "a",
                                "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xC3", "\xE2\x82",
                                "\xED\xA0\x80", "\xFF", "\x80", "/", "\xEF\xBF\xBD"};
  for (int round = 0; round < 2000; ++round) {
    std::string bytes;
    const int length = static_cast<int>(random() % 8);
    for (int k = 0; k < length; ++k) bytes += pieces[random() % std::size(pieces)];
    report::TJsonWriter json;
    json.BeginObject();
    json.BytesField("s", bytes);
    json.EndObject();
    const QJsonObject object = Parse(json.Text());
    ASSERT_EQ(Bytes(object, "s"), bytes) << json.Text();
    EXPECT_EQ(object.contains("s_bytes"), !report::IsValidUtf8(bytes));
  }
}

}  // namespace
