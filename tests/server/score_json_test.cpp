// A score written straight into a reply's bytes is byte for byte what
// QJsonDocument writes for the same score.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <cmath>
#include <limits>

#include "scores/score_test_support.h"
#include "server/score_json.h"
#include "server/score_rules.h"

namespace rootix::server {
namespace {

StoredScore sample() {
  StoredScore s;
  s.id = 123456789012;
  s.score.hardware = scores::testdata::sampleHardware();
  s.score.score_version = QStringLiteral("207");
  s.score.score_test = 11;
  s.score.score_score = 12.345;
  s.checksum = QStringLiteral("0A1B2C3D");
  s.title = QStringLiteral("Box");
  s.submitted = QDateTime(QDate(2024, 2, 29), QTime(23, 59, 59, 5), Qt::UTC);
  return s;
}

TEST(ScoreJson, WrittenDirectlyAsQJsonDocumentWritesIt) {
  struct Case {
    const char* name;
    void (*edit)(StoredScore&);
  };
  const Case cases[] = {
      {"Plain", [](StoredScore&) {}},
      {"QuotesBackslashesAndControls",
       [](StoredScore& s) {
         s.title = QStringLiteral("\"q\" \\ \b\f\n\r\t");
         s.description = QString(QChar(1)) + QChar(0x1f) + QChar(0x7f) + QStringLiteral("</script>");
       }},
      {"BeyondAscii",
       [](StoredScore& s) {
         s.title = QStringLiteral("Ærø € 漢字 ") + QString::fromUcs4(U"\U0001F600");
         s.score.hardware.score_extra_cpu_string = QString::fromLatin1("Pro\x80\x99 cessor");
       }},
      {"EmptyAndNullTexts",
       [](StoredScore& s) {
         s.title = QString();
         s.link = QStringLiteral("");
         s.score.hardware.score_extra_mbModel = QString();
       }},
      {"WholeSmallAndLargeTimes",
       [](StoredScore& s) {
         s.score.score_score = 20;
         s.id = 1;
       }},
      {"TinyTime", [](StoredScore& s) { s.score.score_score = 1e-7; }},
      {"HugeTime", [](StoredScore& s) { s.score.score_score = 1.5e300; }},
      {"ThirdOfASecond", [](StoredScore& s) { s.score.score_score = 1.0 / 3; }},
      {"NotANumber", [](StoredScore& s) { s.score.score_score = std::numeric_limits<double>::quiet_NaN(); }},
      {"UnconfirmedWithDoubts",
       [](StoredScore& s) {
         s.unconfirmed = true;
         s.doubts = rules::kNoClock | rules::kFewScores;
       }},
      {"WithConditions",
       [](StoredScore& s) {
         s.conditions = QJsonDocument::fromJson(R"({"b":[1,2.5,"x"],"a":{"z":null,"y":true}})").object();
       }},
      {"InvalidDate", [](StoredScore& s) { s.submitted = QDateTime(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StoredScore s = sample();
    c.edit(s);
    QByteArray direct = "[";
    appendScoreJson(direct, s);
    direct += ']';
    EXPECT_EQ(direct, "[" + QJsonDocument(scoreJson(s)).toJson(QJsonDocument::Compact) + "]");
  }
}

}  // namespace
}  // namespace rootix::server
