// What the result server does when its SQLite file fails under it, as an
// operator would see it: a full disk, the file deleted or replaced, a
// read-only file. Nothing is acknowledged that is not stored.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <functional>

#include "platform/text.h"
#include "scores/score.h"
#include "scores/score_test_support.h"
#include "server/score_store.h"
#include "server/submission.h"
#include "server_harness.h"
#include "support/private_mount.h"

namespace rootix::server {
namespace {

using namespace rootix::server::testing;

QByteArray scoreBytes(double seconds) {
  return text::toSingleByte(scores::Score::Create(seconds, 6, scores::testdata::sampleHardware()).toString(false));
}

QByteArray submitScore(double seconds, const QByteArray& title) {
  return post("/?q=submit", submissionForm(scoreBytes(seconds), title));
}

Submission submission(double seconds) {
  Submission s;
  s.score = scores::Score::Create(seconds, 6, scores::testdata::sampleHardware());
  s.fileBytes = scoreBytes(seconds);
  s.checksum = QStringLiteral("checksum");
  return s;
}

class StorageTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

  QString folder() const { return dir_.filePath(QStringLiteral("db")); }
  QString file() const { return folder() + QStringLiteral("/scores.sqlite"); }

  // A small file system of its own, for the database alone.
  void mountDisk(const QString& size) {
    ASSERT_TRUE(QDir().mkpath(folder()));
    disk_ = std::make_unique<rootix::testing::PrivateTmpfs>(folder(), QStringLiteral("size=") + size);
    if (!disk_->mounted()) GTEST_SKIP() << disk_->whyNot().toStdString();
  }

  void startServer() {
    ServerOptions options;
    options.database = QStringLiteral("sqlite:") + file();
    options.busyTimeoutMs = 300;
    server_ = std::make_unique<ServerThread>(options);
    ASSERT_TRUE(server_->startServer()) << server_->error().toStdString();
  }

  HttpReply send(const QByteArray& request) { return exchange(server_->port(), request); }
  qint64 storedCount() {
    return QJsonDocument::fromJson(send(get("/api/v1/scores")).body).object().value("total").toInteger(-1);
  }

  QTemporaryDir dir_;
  std::unique_ptr<rootix::testing::PrivateTmpfs> disk_;
  std::unique_ptr<ServerThread> server_;
};

// Submissions into a full disk are refused with Retry-After, never
// acknowledged; every one acknowledged is there after a restart.
TEST_F(StorageTest, AFullDiskRefusesSubmissionsAndLosesNoneItAcknowledged) {
  mountDisk(QStringLiteral("1m"));
  if (IsSkipped()) return;
  startServer();
  QList<QByteArray> acknowledged;
  const HttpReply first = send(submitScore(1, "before"));
  ASSERT_EQ(first.status, 303);
  acknowledged << first.headers.value("location");

  rootix::testing::fillUp(folder());
  int refused = 0;
  for (int i = 0; i < 20; ++i) {
    // Long titles fill pages fast: the log cannot grow for long.
    const HttpReply reply = send(submitScore(2 + i, "full " + QByteArray::number(i) + QByteArray(40, 'x')));
    ASSERT_TRUE(reply.status == 303 || reply.status == 503) << reply.status;
    if (reply.status == 303) {
      acknowledged << reply.headers.value("location");
    } else {
      ++refused;
      EXPECT_FALSE(reply.headers.value("retry-after").isEmpty());
    }
  }
  EXPECT_GT(refused, 0) << "the disk never filled";
  EXPECT_EQ(send(get("/healthz")).status, 200) << "reading goes on";

  QFile::remove(folder() + QStringLiteral("/fill"));
  const HttpReply after = send(submitScore(100, "after"));
  ASSERT_EQ(after.status, 303);
  acknowledged << after.headers.value("location");

  server_.reset();
  startServer();
  EXPECT_EQ(storedCount(), acknowledged.size());
  QSet<QByteArray> distinct(acknowledged.begin(), acknowledged.end());
  EXPECT_EQ(distinct.size(), acknowledged.size()) << "two submissions sent to one address";
  for (const QByteArray& location : acknowledged) EXPECT_EQ(send(get(location)).status, 200) << location.constData();
}

// The file the server opened is gone or another one is in its place: what
// it would write goes nowhere anyone reads, so it says so.
TEST_F(StorageTest, ADatabaseFileDeletedOrReplacedIsNoticed) {
  const struct {
    const char* name;
    std::function<void(const QString& file)> change;
  } cases[] = {
      {"Deleted",
       [](const QString& f) {
         for (const char* suffix : {"", "-wal", "-shm"}) QFile::remove(f + QLatin1String(suffix));
       }},
      {"Replaced",
       [](const QString& f) {
         ASSERT_TRUE(QFile::copy(f, f + QStringLiteral(".copy")));
         ASSERT_EQ(
             ::rename(QFile::encodeName(f + QStringLiteral(".copy")).constData(), QFile::encodeName(f).constData()), 0);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(QDir().mkpath(folder()));
    startServer();
    ASSERT_EQ(send(submitScore(1, "kept")).status, 303);
    c.change(file());
    EXPECT_EQ(send(get("/healthz")).status, 503);
    const HttpReply refused = send(submitScore(2, "lost"));
    EXPECT_EQ(refused.status, 503);
    EXPECT_TRUE(refused.body.contains("nothing was stored"));
    server_.reset();
    QDir(folder()).removeRecursively();
  }
}

// A file the server may not write: pages and JSON are served, submissions
// are refused, and /healthz says it is read-only.
TEST_F(StorageTest, AReadOnlyDatabaseIsServedReadOnly) {
  mountDisk(QStringLiteral("4m"));
  if (IsSkipped()) return;
  startServer();
  ASSERT_EQ(send(submitScore(3, "stored before")).status, 303);
  server_.reset();
  ASSERT_EQ(::mount(nullptr, QFile::encodeName(folder()).constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0)
      << std::strerror(errno);

  startServer();
  EXPECT_TRUE(send(get("/")).body.contains("stored before"));
  EXPECT_EQ(storedCount(), 1);
  const HttpReply health = send(get("/healthz"));
  EXPECT_EQ(health.status, 200);
  EXPECT_TRUE(health.body.contains("read-only"));
  const HttpReply refused = send(submitScore(4, "refused"));
  EXPECT_EQ(refused.status, 503);
  EXPECT_FALSE(refused.headers.value("retry-after").isEmpty());
  EXPECT_EQ(storedCount(), 1);
}

// The store fails by its results, with the code the server answers 503 for
// and the reason; a batch keeps the entries of runs stored before.
TEST_F(StorageTest, TheStoresFailuresAreResultsWithTheDatabasesCode) {
  ASSERT_TRUE(QDir().mkpath(folder()));
  auto opened = ScoreStore::open(QStringLiteral("sqlite:") + file());
  ASSERT_TRUE(opened) << opened.failure().text.toStdString();
  ScoreStore& store = **opened;
  const auto stored = store.add(submission(1));
  ASSERT_TRUE(stored) << stored.failure().text.toStdString();
  for (const char* suffix : {"", "-wal", "-shm"}) QFile::remove(file() + QLatin1String(suffix));

  const Failure gone{ScoreStore::kUnavailable,
                     QStringLiteral("the database file %1 was deleted or replaced while the server ran; restart the "
                                    "server to use the file there now")
                         .arg(file())};
  const struct {
    const char* name;
    std::function<Result<void>()> call;
  } writes[] = {
      {"ping", [&] { return store.ping(); }},
      {"add",
       [&]() -> Result<void> {
         if (auto r = store.add(submission(2)); !r) return r.failure();
         return {};
       }},
      {"moderate",
       [&]() -> Result<void> {
         if (auto r = store.moderate(stored->id, Moderation::Hide); !r) return r.failure();
         return {};
       }},
      {"bulkLoad", [&] { return store.bulkLoad([](QList<Submission>&) { return false; }); }},
  };
  for (const auto& w : writes) {
    const Result<void> r = w.call();
    EXPECT_FALSE(r) << w.name;
    EXPECT_EQ(r.failure(), gone) << w.name;
  }

  const ScoreStore::Batch batch = store.addAll({submission(1), submission(3)});
  EXPECT_EQ(batch.outcome.failure(), gone);
  ASSERT_EQ(batch.entries.size(), 2);
  ASSERT_TRUE(batch.entries[0]) << "a run stored before needs no write";
  EXPECT_EQ(batch.entries[0]->id, stored->id);
  EXPECT_FALSE(batch.entries[0]->isNew);
  EXPECT_FALSE(batch.entries[1]);

  const auto unknown = ScoreStore::open(QStringLiteral("mysql://localhost/scores"));
  ASSERT_FALSE(unknown);
  EXPECT_EQ(unknown.code(), ScoreStore::kUnavailable);
  EXPECT_TRUE(unknown.failure().text.startsWith(u"unknown database")) << unknown.failure().text.toStdString();
}

}  // namespace
}  // namespace rootix::server
