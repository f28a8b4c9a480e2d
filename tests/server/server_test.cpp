// The result server over real HTTP on 127.0.0.1, once on SQLite and once on
// PostgreSQL (when ROOTIX_TEST_POSTGRESQL names a database to use).
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <array>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "platform/numbers.h"
#include "platform/text.h"
#include "scores/score.h"
#include "scores/score_test_support.h"
#include "server/score_rules.h"
#include "server/score_store.h"
#include "server_harness.h"
#include "support/rootix_process.h"

namespace rootix::server {
namespace {

using scores::HardwareSummary;
using scores::Score;
using namespace rootix::server::testing;

constexpr int kIdleMs = 400;
constexpr int kRequestMs = 1500;

QByteArray scoreFile(double seconds, int test, const HardwareSummary& hw = scores::testdata::sampleHardware()) {
  return text::toSingleByte(Score::Create(seconds, static_cast<int16_t>(test), hw).toString(false));
}

QByteArray submitRequest(const QByteArray& form) { return post("/?q=submit", form); }

QJsonObject json(const HttpReply& reply) { return QJsonDocument::fromJson(reply.body).object(); }

class ServerTest : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    if (GetParam() == Backend::SQLite) {
      database_ = QStringLiteral("sqlite:") + dir_.filePath(QStringLiteral("scores.sqlite"));
    } else {
      database_ = qEnvironmentVariable("ROOTIX_TEST_POSTGRESQL");
      if (database_.isEmpty()) {
        const QString why =
            qEnvironmentVariable("ROOTIX_TEST_POSTGRESQL_SKIPPED", QStringLiteral("ROOTIX_TEST_POSTGRESQL is not set"));
        GTEST_SKIP() << "PostgreSQL part skipped: " << why.toStdString()
                     << " (scripts/with-postgres.sh runs the tests beside a throwaway cluster)";
      }
      dropTables();
    }
    startServer();
  }

  void TearDown() override { stopServer(); }

  void startServer() {
    ServerOptions options;
    options.database = database_;
    options.idleTimeoutMs = kIdleMs;
    options.requestTimeoutMs = kRequestMs;
    options.busyTimeoutMs = 300;
    options.adminToken = adminToken_;
    options.submitRatePerMinute = submitRate_;
    options.trustedProxies = trustedProxies_;
    server_ = std::make_unique<ServerThread>(options);
    ASSERT_TRUE(server_->startServer()) << server_->error().toStdString();
  }
  void stopServer() { server_.reset(); }

  HttpReply send(const QByteArray& request) { return exchange(server_->port(), request); }
  HttpReply fetch(const QByteArray& target) { return send(get(target)); }
  qint64 storedCount() { return json(fetch("/api/v1/scores")).value("total").toInteger(-1); }

  // A second connection to the same database, for what the test does behind
  // the server's back.
  QSqlDatabase sideConnection() {
    const QString name = QStringLiteral("side");
    QSqlDatabase db = QSqlDatabase::contains(name) ? QSqlDatabase::database(name, false)
                                                   : ScoreStore::addConnection(database_, name).value();
    EXPECT_TRUE(db.open()) << db.lastError().text().toStdString();
    return db;
  }
  void dropTables() {
    {
      QSqlDatabase db = sideConnection();
      dropServerTables(db);
      db.close();
    }
    QSqlDatabase::removeDatabase("side");
  }

  QTemporaryDir dir_;
  QString database_;
  QByteArray adminToken_ = "operator-token-0123456789";
  int submitRate_ = 0;  // the tests submit faster than any person
  QList<Subnet> trustedProxies_;
  std::unique_ptr<ServerThread> server_;
};

TEST_P(ServerTest, AcceptedScoreIsOnTheLeaderboardInTheJsonAndOnItsPage) {
  // Rendered (and kept) before the submission: the new entry must not wait
  // for the kept page to expire.
  EXPECT_TRUE(fetch("/").body.contains("No scores yet"));
  EXPECT_EQ(json(fetch("/api/v1/scores?test=6")).value("total").toInteger(), 0);
  const QByteArray file = scoreFile(12.345, 6);
  const HttpReply posted = send(submitRequest(submissionForm(file, "My box", "quiet fan", "https://example.org/box")));
  ASSERT_EQ(posted.status, 303) << posted.body.toStdString();
  ASSERT_EQ(posted.headers.value("location"), "/score/1");

  const HttpReply board = fetch("/");
  EXPECT_EQ(board.status, 200);
  EXPECT_TRUE(board.body.contains("Intel Core i7"));
  EXPECT_TRUE(board.body.contains("My box"));
  EXPECT_TRUE(board.body.contains("32M (test 6)"));
  EXPECT_TRUE(
      board.body.contains("title=\"its processor has fewer than 5 confirmed scores of this test to judge it "
                          "by\">unconfirmed<"))
      << "the first score of its processor";

  const QJsonObject list = json(fetch("/api/v1/scores?test=6"));
  ASSERT_EQ(list.value("total").toInteger(), 1);
  const QJsonObject entry = list.value("scores").toArray().at(0).toObject();
  EXPECT_EQ(entry.value("checksum").toString(), "BADAD7F5");
  EXPECT_EQ(entry.value("seconds").toDouble(), 12.345);
  EXPECT_EQ(entry.value("test").toInt(), 6);
  EXPECT_EQ(entry.value("version").toString(), "207");
  EXPECT_EQ(entry.value("title").toString(), "My box");
  EXPECT_EQ(entry.value("description").toString(), "quiet fan");
  EXPECT_EQ(entry.value("link").toString(), "https://example.org/box");
  const QJsonObject hw = entry.value("hardware").toObject();
  EXPECT_EQ(hw.value("score_extra_cpu_string").toString(), "Intel Core i7");
  EXPECT_EQ(hw.value("score_extra_mbVendor").toString(), "ASUSTeK COMPUTER INC.");
  EXPECT_EQ(hw.value("score_extra_cpu_count").toString(), "1");

  const HttpReply scorePage = fetch("/score/1");
  EXPECT_EQ(scorePage.status, 200);
  EXPECT_TRUE(scorePage.body.contains("Comet Lake"));
  EXPECT_TRUE(scorePage.body.contains("BADAD7F5"));

  // The download is the file "load" reads, byte for byte.
  const HttpReply download = fetch("/score/1/file");
  EXPECT_EQ(download.status, 200);
  EXPECT_EQ(download.body, file);
  Score loaded;
  EXPECT_EQ(loaded.loadBytes(download.body).code(), Score::kLoaded);
  EXPECT_EQ(loaded, Score::Create(12.345, 6, scores::testdata::sampleHardware()));

  // The same score text again is the same entry, with its first title.
  const HttpReply again = send(submitRequest(submissionForm(file, "Other title")));
  EXPECT_EQ(again.status, 303);
  EXPECT_EQ(again.headers.value("location"), "/score/1?again");
  EXPECT_EQ(storedCount(), 1);
  EXPECT_EQ(json(fetch("/api/v1/scores")).value("scores").toArray().at(0).toObject().value("title"), "My box");
}

TEST_P(ServerTest, OlderLayoutScoresAreAcceptedAsTheyLoad) {
  const QByteArray file = scores::testdata::scoreFile(scores::testdata::sample202Lines());
  ASSERT_EQ(send(submitRequest(submissionForm(file))).status, 303);
  const QJsonObject entry = json(fetch("/api/v1/scores?test=11")).value("scores").toArray().at(0).toObject();
  EXPECT_EQ(entry.value("version").toString(), "202");
  EXPECT_EQ(entry.value("checksum").toString(), "90375D38");
  EXPECT_EQ(entry.value("hardware").toObject().value("score_extra_cpu_string").toString(), "AMD Phenom II");
}

// Markup, quotes, SQL and bytes above 127 in every field: stored as sent,
// escaped in every page.
TEST_P(ServerTest, HostileTextsAreStoredVerbatimAndEscapedEverywhere) {
  const QString nasty = QStringLiteral("<b>x</b> & \"q\" 'r'; DROP TABLE scores;-- %_ \u00e9\u00ff");
  HardwareSummary hw = scores::testdata::sampleHardware();
  for (const auto field : scores::kHardwareFields) {
    if (field != &HardwareSummary::score_extra_cpu_clock) hw.*field = nasty;
  }
  const QByteArray title = "<script>alert(1)</script>'--";
  const QByteArray description = "Robert'); DROP TABLE scores;-- \x80\xe9";  // windows-1252: euro sign, e acute
  const QByteArray link = "https://example.org/?a=1&b=\"><img/src=x/onerror=alert(1)>";
  ASSERT_EQ(send(submitRequest(submissionForm(scoreFile(20.5, 6, hw), title, description, link))).status, 303);

  const QJsonObject entry = json(fetch("/api/v1/scores")).value("scores").toArray().at(0).toObject();
  EXPECT_EQ(entry.value("title").toString(), QString::fromLatin1(title));
  EXPECT_EQ(entry.value("description").toString(), QStringLiteral("Robert'); DROP TABLE scores;-- \u20ac\u00e9"));
  EXPECT_EQ(entry.value("link").toString(), QString::fromLatin1(link));
  for (const auto& [key, value] : entry.value("hardware").toObject().toVariantMap().asKeyValueRange()) {
    if (key != "score_extra_cpu_clock") {
      EXPECT_EQ(value.toString(), nasty) << key.toStdString();
    }
  }
  for (const QByteArray target : {"/", "/score/1", "/?cpu=%3Cb%3E"}) {
    const HttpReply page = fetch(target);
    ASSERT_EQ(page.status, 200) << target.constData();
    EXPECT_FALSE(page.body.contains("<b>x")) << target.constData();
    EXPECT_FALSE(page.body.contains("<script>")) << target.constData();
    EXPECT_FALSE(page.body.contains("<img/src=x")) << target.constData();
    EXPECT_TRUE(page.body.contains("&lt;b&gt;x&lt;/b&gt; &amp; &quot;q&quot; &#39;r&#39;")) << target.constData();
  }
  EXPECT_TRUE(fetch("/score/1").body.contains("&lt;script&gt;alert(1)&lt;/script&gt;"));
  EXPECT_EQ(storedCount(), 1) << "the table is still there";
}

// A form value's line breaks come back from browsers as CR LF. A scrambled
// score whose processor name starts with a code that scrambles to LF then
// fails its checksum as posted, and loads with the break undone.
TEST_P(ServerTest, BrowserLineBreaksInTheScoreTextAreUndone) {
  HardwareSummary hw = scores::testdata::sampleHardware();
  hw.score_extra_cpu_string = QStringLiteral("\x03Intel");  // scrambles to LF
  QByteArray file = scoreFile(30, 6, hw);
  ASSERT_TRUE(file.contains('\n') && !file.contains('\r'));
  file.replace("\n", "\r\n");
  ASSERT_EQ(send(submitRequest(submissionForm(file))).status, 303);
  EXPECT_EQ(fetch("/score/1/file").body, scoreFile(30, 6, hw));
}

TEST_P(ServerTest, LeaderboardsRankPageAndFilter) {
  HardwareSummary amd = scores::testdata::sampleHardware();
  amd.score_extra_cpu_string = QStringLiteral("AMD Ryzen 7 100%");
  for (int i = 0; i < 26; ++i) {
    ASSERT_EQ(send(submitRequest(submissionForm(scoreFile(40 + i, 6)))).status, 303);
  }
  ASSERT_EQ(send(submitRequest(submissionForm(scoreFile(39.5, 6, amd), "fastest"))).status, 303);
  ASSERT_EQ(send(submitRequest(submissionForm(scoreFile(900, 11)))).status, 303);
  ASSERT_EQ(send(submitRequest(submissionForm(scoreFile(1, 1)))).status, 303);

  const QByteArray all = fetch("/").body;
  const qsizetype at32 = all.indexOf("32M (test 6)"), at1024 = all.indexOf("1024M (test 11)"),
                  at1 = all.indexOf("1M (test 1)");
  ASSERT_TRUE(at32 >= 0 && at1024 >= 0 && at1 >= 0);
  EXPECT_LT(at32, at1024) << "the standard tests come first";
  EXPECT_LT(at1024, at1);
  EXPECT_LT(all.indexOf("fastest"), all.indexOf(">40<")) << "ranked by time";
  EXPECT_TRUE(all.contains("27 entries"));

  const QByteArray second = fetch("/?test=6&page=2").body;
  EXPECT_TRUE(second.contains("Page 2 of 2"));
  EXPECT_TRUE(second.contains(">65<")) << "the slowest of test 6 on page 2";
  EXPECT_FALSE(second.contains("fastest"));

  // Any case, and '%' is a character, not a wildcard.
  const QByteArray filtered = fetch("/?cpu=ryzen+7+100%25").body;
  EXPECT_TRUE(filtered.contains("fastest"));
  EXPECT_TRUE(filtered.contains("1 entry"));
  EXPECT_FALSE(filtered.contains("1024M"));
  EXPECT_TRUE(fetch("/?cpu=7+1%25").body.contains("No score matches"));

  const QJsonObject page = json(fetch("/api/v1/scores?test=6&limit=2&offset=1"));
  EXPECT_EQ(page.value("total").toInteger(), 27);
  const QJsonArray rows = page.value("scores").toArray();
  ASSERT_EQ(rows.size(), 2);
  EXPECT_EQ(rows.at(0).toObject().value("seconds").toDouble(), 40);
  EXPECT_EQ(rows.at(1).toObject().value("seconds").toDouble(), 41);
}

// Each bad request gets its status and a page saying why; nothing is stored
// and the server goes on serving.
struct BadRequest {
  const char* name;
  std::function<QByteArray()> request;
  int status;
  const char* says;  // part of the page, "" for any
};

QByteArray scoreLines(const std::function<void(QStringList&)>& edit) {
  QStringList lines = scores::testdata::sample207Lines();
  edit(lines);
  return scores::testdata::scoreFile(lines);
}

const BadRequest kBadRequests[] = {
    {"GarbageRequestLine", [] { return QByteArray("GARBAGE\x01\x02 nonsense\r\n\r\n"); }, 400, "not HTTP"},
    {"TruncatedBody",
     [] { return QByteArray("POST /?q=submit HTTP/1.1\r\nHost: x\r\nContent-Length: 500\r\n\r\ndata=abc"); }, 408,
     "in time"},
    {"TenMegabyteBody", [] { return post("/?q=submit", QByteArray(10 * 1024 * 1024, 'a')); }, 413, "larger"},
    {"BodyJustOverTheLimit",
     [] { return post("/?q=submit", submissionForm(scoreFile(1, 6), QByteArray(70 * 1024, 'a'))); }, 413, "larger"},
    {"PlainTextBody", [] { return post("/?q=submit", "data=x", "text/plain"); }, 415, "form"},
    {"MultipartBody", [] { return post("/?q=submit", "--b\r\n\r\n--b--", "multipart/form-data; boundary=b"); }, 415,
     ""},
    {"NoContentType", [] { return post("/?q=submit", "data=x", ""); }, 415, ""},
    {"GarbageForm", [] { return post("/?q=submit", "%%%&&&===\xff\xfe"); }, 400, "no score"},
    {"DataIsNotAScore", [] { return submitRequest(submissionForm("hello world")); }, 400,
     "does not hold a Rootix score"},
    {"TamperedTime", [] { return submitRequest(submissionForm(scoreLines([](QStringList& l) { l[2] = "1.345"; }))); },
     400, "tampered"},
    {"BetaVersion", [] { return submitRequest(submissionForm(scoreLines([](QStringList& l) { l[1] = "beta"; }))); },
     400, "beta"},
    {"TooFewLines", [] { return submitRequest(submissionForm(scoreLines([](QStringList& l) { l = l.mid(0, 10); }))); },
     400, "incomplete"},
    // Loads (without a processor name the checksum is fixed) but its time,
    // written to 15 digits, rounds past the largest double.
    {"TimeAtTheEdgeOfDouble",
     [] {
       return submitRequest(submissionForm(scoreLines([](QStringList& l) {
         l[2] = "1.7976931348623157E+308";
         l[13] = "";
         l[21] = "########";
       })));
     },
     400, "out of range"},
    {"TitleTooLong", [] { return submitRequest(submissionForm(scoreFile(1, 6), QByteArray(51, 't'))); }, 400, "title"},
    {"DescriptionTooLong", [] { return submitRequest(submissionForm(scoreFile(1, 6), "t", QByteArray(256, 'd'))); },
     400, "description"},
    {"LinkTooLong",
     [] { return submitRequest(submissionForm(scoreFile(1, 6), "t", "", "http://" + QByteArray(249, 'l'))); }, 400,
     "link"},
    {"JavascriptLink", [] { return submitRequest(submissionForm(scoreFile(1, 6), "t", "", "javascript:alert(1)")); },
     400, "http://"},
    {"FtpLink", [] { return submitRequest(submissionForm(scoreFile(1, 6), "t", "", "ftp://example.org/")); }, 400,
     "http://"},
    {"LinkWithSpace", [] { return submitRequest(submissionForm(scoreFile(1, 6), "t", "", "http://a b/")); }, 400,
     "http://"},
    {"UnknownPath", [] { return get("/wp-admin/"); }, 404, "no page"},
    {"UnknownScore", [] { return get("/score/999"); }, 404, ""},
    {"ScoreIdNotANumber", [] { return get("/score/1%20OR%201=1"); }, 404, ""},
    {"UnknownPicture", [] { return get("/jpg/rootix/../../etc/passwd"); }, 404, ""},
    {"PutOnLeaderboard", [] { return get("/", "PUT"); }, 405, "GET, HEAD"},
    {"DeleteScore", [] { return get("/score/1", "DELETE"); }, 405, ""},
    {"PostToHealth", [] { return post("/healthz", "x"); }, 405, ""},
    {"GetSubmit", [] { return get("/?q=submit"); }, 405, "POST"},
    {"JsonLimitNotANumber", [] { return get("/api/v1/scores?limit=abc"); }, 400, "limit"},
    {"JsonTestOutOfRange", [] { return get("/api/v1/scores?test=99"); }, 400, "test"},
    {"PageZero", [] { return get("/?test=6&page=0"); }, 400, "page"},
};

TEST_P(ServerTest, EveryBadRequestGetsItsStatusAndNothingIsStored) {
  ASSERT_EQ(send(submitRequest(submissionForm(scoreFile(3, 6), "kept"))).status, 303);
  for (const BadRequest& bad : kBadRequests) {
    SCOPED_TRACE(bad.name);
    const HttpReply reply = send(bad.request());
    EXPECT_EQ(reply.status, bad.status) << reply.body.left(300).toStdString();
    EXPECT_TRUE(reply.body.contains(bad.says)) << reply.body.toStdString();
    EXPECT_EQ(storedCount(), 1);
  }
  EXPECT_EQ(fetch("/healthz").status, 200);
  EXPECT_TRUE(fetch("/").body.contains("kept"));
}

TEST_P(ServerTest, HeadSendsTheHeadersOfGetWithoutABody) {
  const HttpReply full = fetch("/");
  QTcpSocket socket;
  socket.connectToHost(QHostAddress::LocalHost, server_->port());
  ASSERT_TRUE(socket.waitForConnected(2000));
  socket.write(get("/", "HEAD"));
  QByteArray data;
  while (socket.waitForReadyRead(300)) data += socket.readAll();
  ASSERT_TRUE(data.startsWith("HTTP/1.1 200"));
  EXPECT_TRUE(data.contains("Content-Length: " + QByteArray::number(full.body.size())));
  EXPECT_TRUE(data.endsWith("\r\n\r\n")) << "no body after the headers";
}

TEST_P(ServerTest, TheSubmissionPagesPicturesAreServed) {
  for (const QByteArray name : {"rootixtitle.jpg", "hwbottitle.jpg", "circle-gray.jpg"}) {
    const HttpReply reply = fetch("/jpg/rootix/" + name);
    EXPECT_EQ(reply.status, 200) << name.constData();
    EXPECT_EQ(reply.headers.value("content-type"), "image/jpeg");
    EXPECT_TRUE(reply.body.startsWith("\xff\xd8\xff")) << name.constData();
  }
}

TEST_P(ServerTest, AHalfRequestDoesNotHoldUpOthers) {
  QTcpSocket half;
  half.connectToHost(QHostAddress::LocalHost, server_->port());
  ASSERT_TRUE(half.waitForConnected(2000));
  half.write("POST /?q=submit HTTP/1.1\r\nHost: x\r\nContent-Le");
  ASSERT_TRUE(half.waitForBytesWritten(2000));

  ASSERT_EQ(send(submitRequest(submissionForm(scoreFile(7, 6)))).status, 303);
  EXPECT_EQ(fetch("/").status, 200);
  EXPECT_EQ(half.bytesAvailable(), 0) << "still waiting for the rest";

  // Then it is timed out and closed.
  QByteArray answer;
  while (half.waitForReadyRead(kIdleMs * 4)) answer += half.readAll();
  EXPECT_TRUE(answer.startsWith("HTTP/1.1 408")) << answer.left(100).toStdString();
}

// Never silent for long, never done: cut off after the request time.
TEST_P(ServerTest, ARequestSentByTheDripIsCutOff) {
  QTcpSocket drip;
  drip.connectToHost(QHostAddress::LocalHost, server_->port());
  ASSERT_TRUE(drip.waitForConnected(2000));
  drip.write("GET / HTTP/1.1\r\n");
  QByteArray answer;
  for (int i = 0; i < 3 * kRequestMs / 100 && answer.isEmpty() && drip.state() == QAbstractSocket::ConnectedState;
       ++i) {
    drip.write("X-Drip: 1\r\n");
    drip.waitForBytesWritten(100);
    if (drip.waitForReadyRead(100)) answer += drip.readAll();
  }
  EXPECT_TRUE(answer.startsWith("HTTP/1.1 408")) << answer.left(100).toStdString();
  EXPECT_EQ(fetch("/healthz").status, 200);
}

TEST_P(ServerTest, RestartKeepsTheScores) {
  ASSERT_EQ(send(submitRequest(submissionForm(scoreFile(5, 6), "before restart"))).status, 303);
  stopServer();
  startServer();
  EXPECT_EQ(storedCount(), 1);
  EXPECT_TRUE(fetch("/").body.contains("before restart"));
  ASSERT_EQ(send(submitRequest(submissionForm(scoreFile(6, 6)))).status, 303);
  EXPECT_EQ(send(submitRequest(submissionForm(scoreFile(5, 6)))).headers.value("location"), "/score/1?again");
  EXPECT_EQ(storedCount(), 2);
}

// Another connection holds the write lock: a submission is answered 503 and
// not stored, reading goes on, and once the lock is gone writing works again.
TEST_P(ServerTest, ADatabaseThatCannotBeWrittenGivesServiceUnavailableAndReadsGoOn) {
  ASSERT_EQ(send(submitRequest(submissionForm(scoreFile(8, 6), "old entry"))).status, 303);
  {
    QSqlDatabase side = sideConnection();
    QSqlQuery lock(side);
    ASSERT_TRUE(lock.exec(GetParam() == Backend::SQLite ? "BEGIN IMMEDIATE" : "BEGIN"))
        << lock.lastError().text().toStdString();
    if (GetParam() == Backend::PostgreSQL) {
      ASSERT_TRUE(lock.exec("LOCK TABLE scores IN EXCLUSIVE MODE"));
    }

    const HttpReply refused = send(submitRequest(submissionForm(scoreFile(9, 6))));
    EXPECT_EQ(refused.status, 503);
    EXPECT_TRUE(refused.body.contains("nothing was stored"));
    // A score stored before needs no write and still leads to its page.
    EXPECT_EQ(send(submitRequest(submissionForm(scoreFile(8, 6)))).headers.value("location"), "/score/1?again");
    const HttpReply board = fetch("/?test=6");
    EXPECT_EQ(board.status, 200);
    EXPECT_TRUE(board.body.contains("old entry"));
    lock.exec("ROLLBACK");
    side.close();
  }
  QSqlDatabase::removeDatabase("side");
  EXPECT_EQ(send(submitRequest(submissionForm(scoreFile(9, 6)))).status, 303);
  EXPECT_EQ(storedCount(), 2);
}

// The server's PostgreSQL connection is cut (as by a database restart): one
// request may fail, the next ones are served on a new connection.
TEST_P(ServerTest, ALostDatabaseConnectionIsOpenedAgain) {
  if (GetParam() != Backend::PostgreSQL) GTEST_SKIP() << "an SQLite file has no connection to lose";
  ASSERT_EQ(send(submitRequest(submissionForm(scoreFile(4, 6), "before the cut"))).status, 303);
  {
    QSqlDatabase side = sideConnection();
    QSqlQuery cut(side);
    ASSERT_TRUE(
        cut.exec("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                 "WHERE datname = current_database() AND pid <> pg_backend_pid()"));
    side.close();
  }
  QSqlDatabase::removeDatabase("side");
  const int first = send(submitRequest(submissionForm(scoreFile(5, 6)))).status;
  EXPECT_TRUE(first == 303 || first == 503) << first;
  EXPECT_EQ(send(submitRequest(submissionForm(scoreFile(6, 6)))).status, 303);
  EXPECT_TRUE(fetch("/?test=6").body.contains("before the cut"));
}

// The sample score's plain lines, edited, with the checksum made again from
// them: a text Rootix's own reader accepts, whatever the edit put in it.
QByteArray resigned(const std::function<void(QStringList&)>& edit) {
  QStringList l = scores::testdata::sample207Lines();
  edit(l);
  l[21] = Score::csum(num::toInt16(num::readNumber(l[3])), num::readNumber(l[2]),
                      num::formatGeneral(num::readNumber(l[17])), l[13]);
  return scores::testdata::scoreFile(l);
}

// Scores Rootix cannot have made: 422, a page naming the rule, nothing stored.
struct Impossible {
  const char* name;
  std::function<void(QStringList&)> edit;
  const char* says;
};
const Impossible kImpossibleScores[] = {
    {"NoProcessorName", [](QStringList& l) { l[13] = ""; }, "names no processor"},
    {"BlankProcessorName", [](QStringList& l) { l[13] = "   "; }, "names no processor"},
    {"TimeFarBelowTheFloor", [](QStringList& l) { l[2] = "1E-300"; }, "below the floor for test 6 (32M)"},
    {"TimeBelowTheFloorOfTheLargestTest",
     [](QStringList& l) {
       l[3] = "16";
       l[2] = "0.034";
     },
     "0.034359738368 s, one picosecond for each of its 34359738368 numbers"},
    {"ZeroTime", [](QStringList& l) { l[2] = "0"; }, "positive"},
    {"NegativeTime", [](QStringList& l) { l[2] = "-5"; }, "positive"},
    {"TestZero", [](QStringList& l) { l[3] = "0"; }, "not a test of Rootix (tests 1 to 16)"},
    {"TestSeventeen", [](QStringList& l) { l[3] = "17"; }, "not a test of Rootix"},
    {"HardwareTextOf256Bytes", [](QStringList& l) { l[11] = QString(256, u'x'); },
     "256 bytes long; each may be at most 255"},
};

TEST_P(ServerTest, ImpossibleScoresAreRefusedNamingTheRule) {
  for (const Impossible& bad : kImpossibleScores) {
    SCOPED_TRACE(bad.name);
    const HttpReply reply = send(submitRequest(submissionForm(resigned(bad.edit))));
    EXPECT_EQ(reply.status, 422) << reply.body.left(300).toStdString();
    EXPECT_TRUE(reply.body.contains(bad.says)) << reply.body.toStdString();
  }
  EXPECT_EQ(storedCount(), 0);
  // Just inside each bound is a score.
  const std::function<void(QStringList&)> fine[] = {
      [](QStringList& l) { l[3] = "16", l[2] = "0.035"; },
      [](QStringList& l) { l[11] = QString(255, u'x'); },
  };
  for (const auto& edit : fine) EXPECT_EQ(send(submitRequest(submissionForm(resigned(edit)))).status, 303);
}

// Limits count characters: 50 emoji are a title of 50.
TEST_P(ServerTest, TextLimitsCountCharactersNotUnits) {
  QByteArray emoji;
  for (int i = 0; i < 50; ++i) emoji += "\xF0\x9F\x98\x80";
  const HttpReply fifty = send(submitRequest(submissionForm(scoreFile(20, 6), emoji)));
  ASSERT_EQ(fifty.status, 303) << fifty.body.toStdString();
  EXPECT_EQ(json(fetch("/api/v1/scores")).value("scores").toArray().at(0).toObject().value("title").toString(),
            QString::fromUtf8(emoji));
  EXPECT_EQ(send(submitRequest(submissionForm(scoreFile(21, 6), emoji + "\xF0\x9F\x98\x80"))).status, 400);
  EXPECT_EQ(send(submitRequest(submissionForm(scoreFile(22, 6), "t", QByteArray(255, 'd')))).status, 303);
}

// Byte variants of one run are that run: the second submission is sent to
// the first one's page, which says it was submitted before.
TEST_P(ServerTest, OneRunIsStoredOnceWhateverItsBytes) {
  ASSERT_EQ(send(submitRequest(submissionForm(resigned([](QStringList&) {}), "first"))).headers.value("location"),
            "/score/1");
  const std::pair<const char*, QByteArray> variants[] = {
      {"EndLineChanged", resigned([](QStringList& l) { l[22] = "END"; })},
      {"NoEndLine", resigned([](QStringList& l) { l.removeLast(); })},
      {"ExtraLines", resigned([](QStringList& l) {
         l << "more"
           << "";
       })},
      {"TrailingZeroInTheTime", resigned([](QStringList& l) { l[2] = "12.3450"; })},
      {"DigitsTheChecksumDoesNotCover", resigned([](QStringList& l) { l[2] = "12.3451"; })},
      {"TrailingSpaceInTheTime", resigned([](QStringList& l) { l[2] = "12.345 "; })},
      {"TrailingSpaceInTheProcessorName", resigned([](QStringList& l) { l[13] = "Intel Core i7 "; })},
  };
  for (const auto& [name, file] : variants) {
    SCOPED_TRACE(name);
    const HttpReply again = send(submitRequest(submissionForm(file, "second")));
    EXPECT_EQ(again.status, 303) << again.body.toStdString();
    EXPECT_EQ(again.headers.value("location"), "/score/1?again");
  }
  EXPECT_EQ(storedCount(), 1);
  const HttpReply page = fetch("/score/1?again");
  EXPECT_TRUE(page.body.contains("This run was submitted before, on 20")) << page.body.toStdString();
  EXPECT_TRUE(page.body.contains("first"));
  EXPECT_FALSE(fetch("/score/1").body.contains("submitted before"));
  // Another time is another run (PostgreSQL's ids may skip the ones the
  // merged submissions drew).
  const HttpReply other = send(submitRequest(submissionForm(resigned([](QStringList& l) { l[2] = "12.346"; }))));
  EXPECT_EQ(other.status, 303);
  EXPECT_FALSE(other.headers.value("location").endsWith("again"));
  EXPECT_EQ(storedCount(), 2);
}

// A moderation request: authorization is the whole header value, or none.
QByteArray moderation(qint64 id, const QByteArray& action, const QByteArray& authorization) {
  const QByteArray body = "action=" + action;
  QByteArray request = "POST /admin/scores/" + QByteArray::number(id) +
                       " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                       "Content-Type: application/x-www-form-urlencoded\r\n";
  if (!authorization.isNull()) request += "Authorization: " + authorization + "\r\n";
  return request + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

// Doubtful scores are kept, marked and ranked after the confirmed ones.
TEST_P(ServerTest, DoubtfulScoresAreUnconfirmedAndRankedApart) {
  // Five confirmed times of the sample processor, about 12 s.
  for (const char* time : {"12.1", "12.2", "12.3", "12.4", "12.5"}) {
    ASSERT_EQ(send(submitRequest(submissionForm(resigned([time](QStringList& l) { l[2] = time; })))).status, 303);
  }
  // The first of a processor have too few to be judged by: a moderator
  // confirms them.
  for (qint64 id = 1; id <= 5; ++id) {
    ASSERT_EQ(send(moderation(id, "confirm", "Bearer " + adminToken_)).status, 200);
  }

  struct Case {
    const char* name;
    std::function<void(QStringList&)> edit;
    QStringList doubts;  // empty: confirmed on arrival
  };
  const Case cases[] = {
      {"CloseToItsProcessor", [](QStringList& l) { l[2] = "12.9"; }, {}},
      {"FarFasterThanItsProcessor", [](QStringList& l) { l[2] = "3"; }, {"far_from_processor"}},
      {"FarSlowerThanItsProcessor", [](QStringList& l) { l[2] = "40"; }, {"far_from_processor"}},
      {"EmptyClock", [](QStringList& l) { l[2] = "12.6", l[17] = ""; }, {"no_clock"}},
      {"ZeroMegahertz", [](QStringList& l) { l[2] = "12.7", l[17] = "0 MHz"; }, {"no_clock"}},
      {"ProcessorWithFewScores", [](QStringList& l) { l[2] = "2", l[13] = "Intel Core i9"; }, {"few_scores"}},
      {"FewScoresAndNoClock",
       [](QStringList& l) { l[2] = "2.5", l[13] = "Intel Core i9", l[17] = "0"; },
       {"no_clock", "few_scores"}},
      {"SameProcessorOtherTest", [](QStringList& l) { l[2] = "400", l[3] = "11"; }, {"few_scores"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const HttpReply posted = send(submitRequest(submissionForm(resigned(c.edit), c.name)));
    ASSERT_EQ(posted.status, 303) << posted.body.toStdString();
    const QJsonArray all = json(fetch("/api/v1/scores?limit=100")).value("scores").toArray();
    bool found = false;
    for (const auto& entry : all) {
      const QJsonObject o = entry.toObject();
      if (o.value("title") != c.name) continue;
      found = true;
      EXPECT_EQ(o.value("confirmed").toBool(), c.doubts.isEmpty());
      EXPECT_EQ(o.value("doubts").toVariant().toStringList(), c.doubts);
    }
    EXPECT_TRUE(found);
  }
  EXPECT_EQ(storedCount(), 5 + static_cast<qint64>(std::size(cases))) << "doubtful scores are kept";

  // Confirmed first (by time), then the unconfirmed ones (by time).
  const QJsonArray board = json(fetch("/api/v1/scores?test=6&limit=100")).value("scores").toArray();
  QList<double> times;
  for (const auto& entry : board) times << entry.toObject().value("seconds").toDouble();
  EXPECT_EQ(times, (QList<double>{12.1, 12.2, 12.3, 12.4, 12.5, 12.9, 2, 2.5, 3, 12.6, 12.7, 40}));
  const QByteArray page = fetch("/?test=6").body;
  EXPECT_TRUE(page.contains("Unconfirmed: ranked apart"));
  EXPECT_LT(page.indexOf(">12.9<"), page.indexOf("Unconfirmed: ranked apart"));
  EXPECT_LT(page.indexOf("Unconfirmed: ranked apart"), page.indexOf("FarFasterThanItsProcessor"));
  EXPECT_TRUE(page.contains("title=\"its time is far from the confirmed times of its processor\">unconfirmed<"));
  EXPECT_TRUE(page.contains(">12.1 s</text>")) << "the chart of best times";
  EXPECT_FALSE(page.contains(">2 s</text>")) << "the chart shows confirmed times only";
  EXPECT_TRUE(fetch("/score/7").body.contains("ranked apart until a moderator confirms it"));
}

TEST_P(ServerTest, ModerationActsOnlyWithTheOperatorsToken) {
  ASSERT_EQ(send(submitRequest(submissionForm(scoreFile(12, 6), "moderated"))).status, 303);
  const QByteArray good = "Bearer " + adminToken_;
  struct Case {
    const char* name;
    qint64 id;
    QByteArray action, authorization;
    int status;
  };
  const Case refused[] = {
      {"NoToken", 1, "hide", QByteArray(), 401},
      {"AnotherScheme", 1, "hide", "Basic " + adminToken_.toBase64(), 401},
      {"WrongToken", 1, "hide", "Bearer operator-token-0123456788", 403},
      {"TokenWithMore", 1, "hide", good + "0", 403},
      {"TokenCut", 1, "hide", good.chopped(1), 403},
      {"UnknownAction", 1, "delete", good, 400},
      {"NoSuchScore", 999, "hide", good, 404},
  };
  for (const Case& c : refused) {
    SCOPED_TRACE(c.name);
    const HttpReply reply = send(moderation(c.id, c.action, c.authorization));
    EXPECT_EQ(reply.status, c.status) << reply.body.toStdString();
    if (c.status == 401) {
      EXPECT_TRUE(reply.headers.value("www-authenticate").startsWith("Bearer"));
    }
    EXPECT_EQ(storedCount(), 1) << "still on the boards";
  }
  EXPECT_EQ(fetch("/admin/scores/1").status, 404) << "reading is not acting";

  // Done twice, each counts once on the boards' kept counts.
  ASSERT_EQ(send(moderation(1, "hide", good)).status, 200);
  ASSERT_EQ(send(moderation(1, "hide", good)).status, 200);
  EXPECT_EQ(storedCount(), 0);
  EXPECT_EQ(json(fetch("/api/v1/scores?test=6")).value("total").toInteger(), 0);
  EXPECT_FALSE(fetch("/").body.contains("moderated"));
  EXPECT_EQ(fetch("/score/1").status, 410);
  EXPECT_EQ(send(submitRequest(submissionForm(scoreFile(12, 6)))).headers.value("location"), "/score/1?again")
      << "a hidden run sent again stays hidden";
  EXPECT_EQ(storedCount(), 0);

  ASSERT_EQ(send(moderation(1, "show", good)).status, 200);
  ASSERT_EQ(send(moderation(1, "show", good)).status, 200);
  EXPECT_EQ(storedCount(), 1);
  EXPECT_TRUE(fetch("/").body.contains("moderated"));
  EXPECT_TRUE(fetch("/").body.contains("1 entry"));
  const auto entry = [&] { return json(fetch("/api/v1/scores")).value("scores").toArray().at(0).toObject(); };
  EXPECT_FALSE(entry().value("confirmed").toBool());
  const HttpReply confirmed = send(moderation(1, "confirm", good));
  ASSERT_EQ(confirmed.status, 200);
  EXPECT_EQ(json(confirmed).value("confirmed").toBool(), true);
  EXPECT_TRUE(entry().value("confirmed").toBool());
  EXPECT_EQ(entry().value("doubts").toArray().size(), 0);

  // Without a token the server has no admin routes at all.
  stopServer();
  adminToken_.clear();
  startServer();
  EXPECT_EQ(send(moderation(1, "hide", good)).status, 404);
  EXPECT_EQ(storedCount(), 1);
}

// The pager's links keep every character of the filter, and the JSON shows
// a score's bytes 0x80..0x9F as the pages do (windows-1252).
TEST_P(ServerTest, PagerAndJsonKeepEveryCharacter) {
  HardwareSummary hw = scores::testdata::sampleHardware();
  hw.score_extra_cpu_string = QStringLiteral("Pro+ \u0080 & more");
  for (int i = 0; i < 26; ++i) ASSERT_EQ(send(submitRequest(submissionForm(scoreFile(30 + i, 6, hw)))).status, 303);
  const QByteArray first = fetch("/?test=6&cpu=pro%2B").body;
  ASSERT_TRUE(first.contains("Page 1 of 2"));
  EXPECT_TRUE(first.contains("href=\"/?test=6&amp;page=2&amp;cpu=pro%2B\"")) << first.toStdString();
  EXPECT_TRUE(fetch("/?test=6&page=2&cpu=pro%2B").body.contains("Page 2 of 2"));
  EXPECT_TRUE(first.contains("Pro+ \xE2\x82\xAC &amp; more")) << "the page shows the euro sign";
  const QJsonObject entry = json(fetch("/api/v1/scores?limit=1")).value("scores").toArray().at(0).toObject();
  EXPECT_EQ(entry.value("hardware").toObject().value("score_extra_cpu_string").toString(),
            QStringLiteral("Pro+ \u20AC & more"));
}

// Too many submissions from one address: 429 with Retry-After, others go
// on; behind a trusted proxy the address is the one it forwards.
TEST_P(ServerTest, SubmissionsPerAddressAreLimited) {
  const auto submitFrom = [&](double seconds, const QByteArray& forwardedFor) {
    QByteArray request = submitRequest(submissionForm(scoreFile(seconds, 6)));
    if (!forwardedFor.isEmpty()) request.replace("\r\n\r\n", "\r\nX-Forwarded-For: " + forwardedFor + "\r\n\r\n");
    return send(request);
  };
  for (const bool behindProxy : {false, true}) {
    SCOPED_TRACE(behindProxy ? "behind a trusted proxy" : "no trusted proxy");
    stopServer();
    submitRate_ = 3;
    trustedProxies_ = behindProxy ? QList<Subnet>{{QHostAddress::LocalHost, -1}} : QList<Subnet>{};
    startServer();
    const double base = behindProxy ? 100 : 50;
    for (int i = 0; i < 3; ++i) ASSERT_EQ(submitFrom(base + i, "198.51.100.1").status, 303) << i;
    const HttpReply refused = submitFrom(base + 3, "198.51.100.1");
    EXPECT_EQ(refused.status, 429);
    EXPECT_EQ(refused.headers.value("retry-after"), "20");
    EXPECT_TRUE(refused.body.contains("more than 3 scores in a minute"));
    // Another client behind the proxy is another address; without a trusted
    // proxy the header is the client's own claim and changes nothing.
    EXPECT_EQ(submitFrom(base + 4, "198.51.100.2").status, behindProxy ? 303 : 429);
    EXPECT_EQ(fetch("/").status, 200) << "reading is not limited";
  }
  EXPECT_EQ(storedCount(), 7);
}

// The run record a page sends beside the score, as rec19's client writes it
// (without its workers, ASCII only).
QByteArray runRecord(const char* hypervisor) {
  return QByteArray(R"({"schema_version":1,"test":6,"threads":4,"seconds":0.25,"kernel":"AVX2/fma+div",)"
                    R"("kernel_choice":"timed","cache_mode":false,"quick_mode":false,"conditions":{"processor":)"
                    R"("Intel(R) Xeon(R) Gold 6338","vendor":"GenuineIntel","hypervisor":)") +
         hypervisor + R"(,"governor":"performance","cores":2},"warnings":[]})";
}

// A record whose field, percent-encoded, is exactly size bytes before encoding.
QByteArray recordOfSize(qsizetype size) {
  QByteArray record = R"({"pad":""})";
  record.insert(8, QByteArray(size - record.size(), 'x'));
  return record;
}

TEST_P(ServerTest, ConditionsAreKeptWhenTheyAreAJsonObjectOfAtMost8KiB) {
  struct Case {
    const char* name;
    std::optional<QByteArray> conditions;
    int status;
    const char* says;  // on the refusal page
  };
  const Case cases[] = {
      {"VirtualMachine", runRecord(R"("KVM")"), 303, ""},
      {"OwnMachine", runRecord("null"), 303, ""},
      {"AbsentAsFromOlderPages", std::nullopt, 303, ""},
      {"EmptyIsAbsent", QByteArray(), 303, ""},
      {"Exactly8KiB", recordOfSize(8192), 303, ""},
      {"NotJson", QByteArray(R"({"kernel": AVX2})"), 400, "not a JSON object"},
      {"NotAnObject", QByteArray(R"(["AVX2", 4])"), 400, "not a JSON object"},
      {"Over8KiB", recordOfSize(8193), 400, "larger than 8192 bytes"},
  };
  double seconds = 10;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const qint64 before = storedCount();
    QByteArray form = submissionForm(scoreFile(seconds += 1, 6), c.name);
    if (c.conditions) form += "&conditions=" + c.conditions->toPercentEncoding();
    const HttpReply reply = send(submitRequest(form));
    ASSERT_EQ(reply.status, c.status) << reply.body.left(300).toStdString();
    EXPECT_TRUE(reply.body.contains(c.says)) << reply.body.toStdString();
    EXPECT_EQ(storedCount(), before + (c.status == 303 ? 1 : 0)) << "a refused score leaves nothing stored";
    if (c.status != 303) continue;

    const QByteArray id = reply.headers.value("location").mid(7);
    const QJsonValue kept =
        json(fetch("/api/v1/scores?limit=100")).value("scores").toArray().last().toObject().value("conditions");
    const QByteArray page = fetch("/score/" + id).body;
    if (!c.conditions || c.conditions->isEmpty()) {
      EXPECT_TRUE(kept.isNull());
      EXPECT_TRUE(page.contains("<th>Run conditions</th><td>not sent")) << page.toStdString();
    } else {
      EXPECT_EQ(kept.toObject(), QJsonDocument::fromJson(*c.conditions).object()) << "the JSON returns it whole";
    }
  }

  // The score page shows the run's conditions; the boards mark the virtual machine.
  const QByteArray vmPage = fetch("/score/1").body;
  for (const char* row : {"<th>Kernel</th><td>AVX2/fma+div</td>", "<th>Threads</th><td>4</td>",
                          "<th>Hypervisor</th><td>KVM</td>", "<th>Governor</th><td>performance</td>"}) {
    EXPECT_TRUE(vmPage.contains(row)) << row;
  }
  EXPECT_TRUE(fetch("/score/2").body.contains("<th>Hypervisor</th><td>none</td>"));
  const QByteArray board = fetch("/?test=6").body;
  EXPECT_EQ(board.count("class=\"vm\""), 1) << board.toStdString();
  EXPECT_TRUE(board.contains("title=\"run in a virtual machine (KVM)\">VM</span>"));
}

struct Ran {
  int status = -1;
  QByteArray out, err;
};
// rootix-server run as its own process, for at most 30 s.
Ran runServer(const QStringList& arguments) {
  QProcess process;
  process.start(QStringLiteral(ROOTIX_SERVER_PATH), arguments);
  if (!process.waitForFinished(30000)) {
    process.kill();
    process.waitForFinished();
    return {};
  }
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
          process.readAllStandardError()};
}

// Scores as the JSON lists them, without what a new database numbers anew.
QJsonArray withoutIds(const QJsonArray& scores) {
  QJsonArray out;
  for (const QJsonValue v : scores) {
    QJsonObject s = v.toObject();
    for (const char* key : {"id", "page", "file"}) s.remove(QLatin1String(key));
    out.append(s);
  }
  return out;
}
QJsonArray exportedLines(const QByteArray& body) {
  QJsonArray lines;
  for (const QByteArray& line : body.split('\n')) {
    if (!line.isEmpty()) lines.append(QJsonDocument::fromJson(line).object());
  }
  return lines;
}

TEST_P(ServerTest, AnExportImportedIntoANewDatabaseGivesTheSameBoards) {
  HardwareSummary ryzen = scores::testdata::sampleHardware();
  ryzen.score_extra_cpu_string = QStringLiteral("AMD Ryzen 9");
  const QByteArray forms[] = {
      submissionForm(scoreFile(12.5, 6),
                     "Gr\xC3\xB6\xC3\x9F"
                     "e \xE2\x9C\x93",
                     "under KVM", "https://example.org/a") +
          "&conditions=" + runRecord(R"("KVM")").toPercentEncoding(),
      submissionForm(scoreFile(11, 6), "confirmed by hand"),
      submissionForm(scoreFile(300, 11, ryzen), "other test"),
      submissionForm(scoreFile(15, 6), "hidden later"),
  };
  for (const QByteArray& form : forms) ASSERT_EQ(send(submitRequest(form)).status, 303);
  const QByteArray bearer = "Bearer " + adminToken_;
  ASSERT_EQ(send(moderation(4, "hide", bearer)).status, 200);
  ASSERT_EQ(send(moderation(2, "confirm", bearer)).status, 200);

  const HttpReply exported = fetch("/api/v1/export");
  ASSERT_EQ(exported.status, 200);
  EXPECT_EQ(exported.headers.value("transfer-encoding"), "chunked") << "streamed, not built whole";
  EXPECT_EQ(exported.headers.value("content-type"), "application/x-ndjson");
  const QJsonArray lines = exportedLines(exported.body);
  ASSERT_EQ(lines.size(), 3) << exported.body.toStdString();
  EXPECT_FALSE(exported.body.contains("hidden later"));
  EXPECT_EQ(QByteArray::fromBase64(lines.at(0).toObject().value("file_base64").toString().toLatin1()),
            scoreFile(12.5, 6));
  // HTTP/1.0 has no chunks: the body ends with the connection.
  const HttpReply old = send("GET /api/v1/export HTTP/1.0\r\n\r\n");
  EXPECT_FALSE(old.headers.contains("transfer-encoding"));
  EXPECT_EQ(old.body, exported.body);

  const QString file = dir_.filePath(QStringLiteral("export.jsonl"));
  QFile out(file);
  ASSERT_TRUE(out.open(QIODevice::WriteOnly));
  out.write(exported.body);
  out.close();
  const QString target = QStringLiteral("sqlite:") + dir_.filePath(QStringLiteral("imported.sqlite"));
  const Ran first = runServer({QStringLiteral("--db"), target, QStringLiteral("--import"), file});
  EXPECT_EQ(first.status, 0) << first.err.toStdString();
  EXPECT_TRUE(first.out.contains("3 stored, 0 skipped (stored already), 0 refused")) << first.out.toStdString();
  const Ran again = runServer({QStringLiteral("--db"), target, QStringLiteral("--import=") + file});
  EXPECT_TRUE(again.out.contains("0 stored, 3 skipped (stored already), 0 refused")) << again.out.toStdString();

  ServerOptions options;
  options.database = target;
  ServerThread imported(options);
  ASSERT_TRUE(imported.startServer()) << imported.error().toStdString();
  for (const QByteArray& list : {QByteArray("/api/v1/scores?limit=100"), QByteArray("/api/v1/scores?test=6")}) {
    SCOPED_TRACE(list.constData());
    const QJsonObject before = json(fetch(list));
    const QJsonObject after = json(exchange(imported.port(), get(list)));
    EXPECT_EQ(after.value("total"), before.value("total"));
    EXPECT_EQ(withoutIds(after.value("scores").toArray()), withoutIds(before.value("scores").toArray()));
  }
  EXPECT_EQ(withoutIds(exportedLines(exchange(imported.port(), get("/api/v1/export")).body)), withoutIds(lines))
      << "files, dates, conditions and confirmations as they were";
}

// rootix-server as a process of its own, on a free port, until destroyed.
class ServerProcess {
 public:
  explicit ServerProcess(const QString& database) {
    process_.start(
        QStringLiteral(ROOTIX_SERVER_PATH),
        {QStringLiteral("--db"), database, QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
         QStringLiteral("--submit-rate"), QStringLiteral("0"), QStringLiteral("--page-cache-ms"), QStringLiteral("0")});
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    while (!out.contains('\n') && clock.elapsed() < 10000 && process_.state() != QProcess::NotRunning) {
      process_.waitForReadyRead(200);
      out += process_.readAllStandardOutput();
    }
    // "rootix-server: serving http://127.0.0.1:PORT/ with ..."
    const qsizetype at = out.indexOf("127.0.0.1:");
    if (at >= 0) port_ = static_cast<quint16>(out.mid(at + 10).split('/').first().toUInt());
  }
  ~ServerProcess() {
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
      process_.kill();
      process_.waitForFinished();
    }
  }
  quint16 port() const { return port_; }
  QByteArray errors() { return process_.readAllStandardError(); }

 private:
  QProcess process_;
  quint16 port_ = 0;
};

TEST_P(ServerTest, TwoServersOnOneDatabaseStoreEveryAcknowledgedScoreOnce) {
  ServerProcess first(database_), second(database_);
  ASSERT_NE(first.port(), 0) << first.errors().toStdString();
  ASSERT_NE(second.port(), 0) << second.errors().toStdString();
  const quint16 ports[] = {first.port(), second.port()};

  // Every run goes to both servers at about the same time, from different
  // clients: each must answer with the one entry the run has.
  constexpr int kRuns = 40, kClients = 4;
  struct Answer {
    int status = 0;
    QByteArray location;
  };
  std::vector<std::array<Answer, 2>> answers(kRuns);
  std::vector<std::thread> clients;
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      const int side = c % 2;  // half the clients start with the first server, half with the second
      for (int run = c / 2; run < kRuns; run += kClients / 2) {
        const QByteArray form = submissionForm(scoreFile(20 + run * 0.01, 6), "run " + QByteArray::number(run));
        const HttpReply reply = exchange(ports[side], submitRequest(form), 15000);
        answers[run][side] = {reply.status, reply.headers.value("location")};
      }
    });
  }
  for (std::thread& t : clients) t.join();

  QHash<QByteArray, int> acknowledged;  // title -> its id
  for (int run = 0; run < kRuns; ++run) {
    SCOPED_TRACE(run);
    for (const Answer& a : answers[run]) {
      // Each server waits for the other's write lock rather than refuse
      // (503); an acknowledgement names the run's entry.
      ASSERT_EQ(a.status, 303);
      const int id = a.location.mid(7).split('?').first().toInt();
      const QByteArray title = "run " + QByteArray::number(run);
      if (acknowledged.contains(title)) {
        EXPECT_EQ(acknowledged.value(title), id) << "one run, one entry";
      }
      acknowledged.insert(title, id);
    }
    EXPECT_NE(answers[run][0].location.endsWith("?again"), answers[run][1].location.endsWith("?again"))
        << "stored by one server, found stored by the other";
  }
  EXPECT_EQ(acknowledged.size(), kRuns);

  for (const quint16 port : ports) {
    SCOPED_TRACE(port);
    const QJsonArray lines = exportedLines(exchange(port, get("/api/v1/export"), 15000).body);
    QHash<QString, int> seen;
    for (const QJsonValue line : lines) ++seen[line.toObject().value("title").toString()];
    for (auto it = acknowledged.begin(); it != acknowledged.end(); ++it) {
      EXPECT_EQ(seen.value(QString::fromLatin1(it.key())), 1) << it.key().toStdString();
    }
    EXPECT_EQ(json(exchange(port, get("/api/v1/scores?test=6"))).value("total").toInteger(), lines.size())
        << "the board's kept count agrees with its scores";
  }
}

INSTANTIATE_TEST_SUITE_P(Databases, ServerTest, ::testing::Values(Backend::SQLite, Backend::PostgreSQL),
                         [](const auto& info) { return info.param == Backend::SQLite ? "SQLite" : "PostgreSQL"; });

// A database written by the server of schema 1 (tests/server/data/schema1.sqlite,
// nine submissions: run A three times in byte variants, run B three times,
// one without a clock, one with an impossible time, run C) is upgraded on open.
TEST(ServerStart, ASchemaOneDatabaseIsUpgradedAndItsDuplicatesMerged) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("scores.sqlite"));
  ASSERT_TRUE(QFile::copy(rootix::testing::sourceDir() + QStringLiteral("/tests/server/data/schema1.sqlite"), path));
  QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
  {
    const auto store = ScoreStore::open(QStringLiteral("sqlite:") + path).value();
    EXPECT_EQ(store->migrationNotes(),
              (QStringList{"merged 4 duplicate scores (the same run stored more than once; the first of each is kept)",
                           "1 stored scores without a processor clock are now unconfirmed",
                           "1 stored scores that break the rules are now hidden"}));
  }
  ServerOptions options;
  options.database = QStringLiteral("sqlite:") + path;
  ServerThread server(options);
  ASSERT_TRUE(server.startServer()) << server.error().toStdString();
  const QJsonObject list = json(exchange(server.port(), get("/api/v1/scores?limit=100")));
  QStringList titles;
  for (const auto& entry : list.value("scores").toArray()) titles << entry.toObject().value("title").toString();
  EXPECT_EQ(titles, (QStringList{"run A", "run B", "no clock", "run C"})) << "the first of each run, ranked";
  EXPECT_EQ(exchange(server.port(), get("/score/6")).status, 410) << "the impossible time is hidden, not lost";
  // Opened again, nothing more to do; a variant of run A is still run A.
  const HttpReply again = exchange(
      server.port(), post("/?q=submit", submissionForm(scoreLines([](QStringList& l) { l << "one more line"; }))));
  EXPECT_EQ(again.headers.value("location"), "/score/1?again");
}

TEST(ServerImport, LinesThatCannotBeReadAreReportedAndTheRestStored) {
  QTemporaryDir dir;
  const QByteArray good =
      QJsonDocument(QJsonObject{{"file_base64", QString::fromLatin1(scoreFile(5, 6).toBase64())}, {"title", "kept"}})
          .toJson(QJsonDocument::Compact);
  const QByteArray file =
      "not json\n"
      "{\"file_base64\": \"***\"}\n"
      "{\"file_base64\": \"" +
      scoreFile(6, 6).toBase64() + "\", \"conditions\": [1]}\n\n" + good + "\n";
  const QString path = dir.filePath(QStringLiteral("export.jsonl"));
  QFile out(path);
  ASSERT_TRUE(out.open(QIODevice::WriteOnly));
  out.write(file);
  out.close();
  const QString db = QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("scores.sqlite"));
  const Ran ran = runServer({QStringLiteral("--db"), db, QStringLiteral("--import"), path});
  EXPECT_EQ(ran.status, 0);
  EXPECT_TRUE(ran.out.contains("1 stored, 0 skipped (stored already), 3 refused")) << ran.out.toStdString();
  for (const char* says : {"line 1: not a JSON object", "line 2: file_base64 is not base64",
                           "line 3: The conditions field is not a JSON object."}) {
    EXPECT_TRUE(ran.err.contains(says)) << says << "\n" << ran.err.toStdString();
  }
  EXPECT_EQ(runServer({QStringLiteral("--db"), db, QStringLiteral("--import"), dir.filePath("missing")}).status, 1);
}

TEST(ServerStart, AnUnusableDatabaseIsReportedNotServed) {
  for (const QString& address :
       {QStringLiteral("mysql://x"), QStringLiteral("sqlite:/nonexistent-folder/x/y.sqlite")}) {
    ServerOptions options;
    options.database = address;
    ServerThread server(options);
    EXPECT_FALSE(server.startServer()) << address.toStdString();
    EXPECT_FALSE(server.error().isEmpty());
  }
}

}  // namespace
}  // namespace rootix::server
