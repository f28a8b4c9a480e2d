// The boards' kept summaries (buckets of the order, counts and best times
// per processor) against the plain queries they stand in for: every page at
// every offset, every count and chart, as scores arrive, are hidden, shown
// again and confirmed, on SQLite and on PostgreSQL, and after an upgrade
// builds them from the rows.
#include <gtest/gtest.h>

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include "scores/score.h"
#include "scores/score_test_support.h"
#include "server/score_store.h"
#include "server/submission.h"
#include "server_harness.h"

namespace rootix::server {
namespace {

using testing::Backend;
using testing::dropServerTables;

class BoardTest : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    if (GetParam() == Backend::SQLite) {
      database_ = QStringLiteral("sqlite:") + dir_.filePath(QStringLiteral("scores.sqlite"));
    } else {
      database_ = qEnvironmentVariable("ROOTIX_TEST_POSTGRESQL");
      if (database_.isEmpty()) GTEST_SKIP() << "PostgreSQL part skipped: ROOTIX_TEST_POSTGRESQL is not set";
      dropServerTables(naive());
    }
    openStore();
  }
  void TearDown() override {
    store_.reset();
    QSqlDatabase::removeDatabase(QStringLiteral("naive"));
  }

  void openStore() {
    store_.reset();
    store_ = ScoreStore::open(database_).value();
    // Buckets of a few scores: the boards below split them many times.
    store_->setBucketLimit(3);
  }

  QSqlDatabase naive() {
    const QString name = QStringLiteral("naive");
    QSqlDatabase db = QSqlDatabase::contains(name) ? QSqlDatabase::database(name, false)
                                                   : ScoreStore::addConnection(database_, name).value();
    EXPECT_TRUE(db.isOpen() || db.open()) << db.lastError().text().toStdString();
    return db;
  }
  void run(std::initializer_list<const char*> statements) {
    QSqlQuery q(naive());
    for (const char* sql : statements) EXPECT_TRUE(q.exec(QString::fromLatin1(sql))) << sql;
  }

  // What a board shows, straight from the scores.
  QString naiveWhere(const ScoreFilter& f) const {
    QString where = QStringLiteral(" WHERE hidden = 0");
    if (f.test) where += QStringLiteral(" AND test = %1").arg(f.test);
    if (!f.processor.isEmpty()) where += QStringLiteral(" AND LOWER(cpu_string) LIKE '%%1%'").arg(f.processor);
    return where;
  }
  QList<qint64> naivePage(const ScoreFilter& f, qint64 offset, qint64 limit) {
    QSqlQuery q(naive());
    EXPECT_TRUE(q.exec(QStringLiteral("SELECT id FROM scores%1 ORDER BY test, unconfirmed, seconds, id "
                                      "LIMIT %2 OFFSET %3")
                           .arg(naiveWhere(f))
                           .arg(limit)
                           .arg(offset)))
        << q.lastError().text().toStdString();
    QList<qint64> ids;
    while (q.next()) ids << q.value(0).toLongLong();
    return ids;
  }
  qint64 naiveCount(const ScoreFilter& f) {
    QSqlQuery q(naive());
    EXPECT_TRUE(q.exec(QStringLiteral("SELECT COUNT(*) FROM scores") + naiveWhere(f)));
    return q.next() ? q.value(0).toLongLong() : -1;
  }
  QList<std::pair<QString, double>> naiveBest(const ScoreFilter& f) {
    QSqlQuery q(naive());
    EXPECT_TRUE(q.exec(QStringLiteral("SELECT cpu_string, MIN(seconds) AS b FROM scores%1 AND unconfirmed = 0 "
                                      "GROUP BY cpu_string ORDER BY b, cpu_string")
                           .arg(naiveWhere(f))));
    QList<std::pair<QString, double>> best;
    while (q.next()) best.append({q.value(0).toString(), q.value(1).toDouble()});
    return best;
  }

  // Every filter, offset and page size against the plain queries.
  void expectBoardsAsNaive(const char* when) {
    SCOPED_TRACE(when);
    for (const int test : {0, 6, 11}) {
      for (const char* processor : {"", "alpha", "alpha 1", "beta", "nothing"}) {
        const ScoreFilter f{test, QString::fromLatin1(processor)};
        SCOPED_TRACE(::testing::Message() << "test " << test << ", processor \"" << processor << "\"");
        const qint64 total = naiveCount(f);
        ASSERT_EQ(store_->count(f).value(), total);
        auto expectPage = [&](qint64 offset, qint64 limit) {
          QList<qint64> ids;
          for (const StoredScore& s : store_->ranked(f, offset, limit).value()) ids << s.id;
          EXPECT_EQ(ids, naivePage(f, offset, limit)) << "offset " << offset << ", limit " << limit;
        };
        expectPage(0, 100);
        for (qint64 offset = 0; offset <= total + 1; ++offset) {
          expectPage(offset, 1);
          expectPage(offset, 4);
        }
        QList<std::pair<QString, double>> best;
        for (const ProcessorBest& b : store_->bestPerProcessor(f, 100).value()) best.append({b.processor, b.seconds});
        EXPECT_EQ(best, naiveBest(f));
      }
    }
    for (const char* processor : {"", "alpha"}) {
      QList<std::pair<int, qint64>> naiveTests;
      for (const int test : {6, 11}) {
        if (const qint64 n = naiveCount({test, QString::fromLatin1(processor)})) naiveTests.append({test, n});
      }
      EXPECT_EQ(store_->testsWithEntries(QString::fromLatin1(processor)).value(), naiveTests) << processor;
    }
  }

  QTemporaryDir dir_;
  QString database_;
  std::unique_ptr<ScoreStore> store_;
};

// Processors, times with many digits and ties, and doubtful scores that
// arrive unconfirmed.
QList<Submission> scoresToStore() {
  const char* const processors[] = {"Alpha 1", "Alpha 10", "Beta 1", "alpha 2"};
  QList<Submission> all;
  for (int i = 0; i < 40; ++i) {
    scores::HardwareSummary hw = scores::testdata::sampleHardware();
    hw.score_extra_cpu_string = QString::fromLatin1(processors[i * 7 % 4]);
    hw.score_extra_mbModel = QStringLiteral("board %1").arg(i);
    // Every fifth time the same as another's: ties go by id.
    const double seconds = i % 5 == 0 ? 20.0 : 10 + (i * 37 % 23) / 7.0;
    Submission s;
    s.score = scores::Score::Create(seconds, static_cast<int16_t>(i % 3 ? 6 : 11), hw);
    s.fileBytes = s.score.toString(false).toLatin1();
    s.checksum = QStringLiteral("checksum");
    s.title = QStringLiteral("score %1").arg(i);
    s.doubts = i % 4 == 1 ? 1u : 0u;
    all << s;
  }
  return all;
}

TEST_P(BoardTest, PagesCountsAndBestTimesAreThoseOfThePlainQueries) {
  const QList<Submission> all = scoresToStore();
  // Half one at a time, as submissions arrive, half in one batch.
  for (qsizetype i = 0; i < all.size() / 2; ++i) ASSERT_TRUE(store_->add(all[i]).ok());
  const auto batch = store_->addAll(all.mid(all.size() / 2));
  ASSERT_TRUE(batch.outcome.ok()) << batch.outcome.failure().text.toStdString();
  expectBoardsAsNaive("stored");

  // Each processor's best hidden, some shown again, unconfirmed ones
  // confirmed (one of them hidden first), and a score hidden twice.
  for (const qint64 id : {1, 6, 11, 16, 21, 26, 31, 3}) ASSERT_TRUE(store_->moderate(id, Moderation::Hide).value());
  ASSERT_TRUE(store_->moderate(3, Moderation::Hide).value());
  expectBoardsAsNaive("hidden");
  for (const qint64 id : {6, 21}) ASSERT_TRUE(store_->moderate(id, Moderation::Show).value());
  for (const qint64 id : {2, 10, 14, 26, 38}) ASSERT_TRUE(store_->moderate(id, Moderation::Confirm).value());
  ASSERT_TRUE(store_->moderate(26, Moderation::Show).value());
  expectBoardsAsNaive("shown and confirmed");

  // A database from before the summaries: the upgrade builds them.
  store_.reset();
  run({"DROP TABLE board_buckets", "DROP TABLE bucket_processors", "DROP TABLE board_processors",
       "DROP TABLE board_changes", "DELETE FROM rootix_schema WHERE version = 6",
       "UPDATE board_counts SET visible = 0"});
  openStore();
  expectBoardsAsNaive("upgraded");
  ASSERT_TRUE(store_->moderate(38, Moderation::Hide).value());
  ASSERT_TRUE(store_
                  ->add([] {
                    Submission s = scoresToStore().front();
                    s.score.score_score = 9.5;
                    s.score.hardware.score_extra_mbModel = QStringLiteral("one more");
                    s.fileBytes = s.score.toString(false).toLatin1();
                    return s;
                  }())
                  .ok());
  expectBoardsAsNaive("changed after the upgrade");
}

// A store keeps the bucket counts it read; another server's writes must
// show on its next page all the same.
TEST_P(BoardTest, ChangesThroughAnotherConnectionShowOnTheNextPage) {
  const QList<Submission> all = scoresToStore();
  ASSERT_TRUE(store_->addAll(all.mid(0, 30)).outcome.ok());
  expectBoardsAsNaive("stored");
  {
    const auto other = ScoreStore::open(database_).value();
    other->setBucketLimit(3);
    ASSERT_TRUE(other->addAll(all.mid(30)).outcome.ok());
    ASSERT_TRUE(other->moderate(2, Moderation::Hide).value());
    ASSERT_TRUE(other->moderate(10, Moderation::Confirm).value());
  }
  expectBoardsAsNaive("changed through another connection");
}

TEST_P(BoardTest, ALoadBuildsTheSameSummariesAsScoresStoredOneByOne) {
  // The load makes some of the indexes again after the rows are in.
  auto indexes = [this] {
    QSqlQuery q(naive());
    EXPECT_TRUE(q.exec(GetParam() == Backend::SQLite
                           ? "SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = 'scores' ORDER BY name"
                           : "SELECT indexname FROM pg_indexes WHERE tablename = 'scores' ORDER BY indexname"));
    QStringList names;
    while (q.next()) names << q.value(0).toString();
    return names;
  };
  const QStringList before = indexes();
  const QList<Submission> all = scoresToStore();
  qsizetype at = 0;
  ASSERT_TRUE(store_
                  ->bulkLoad([&](QList<Submission>& batch) {
                    for (; at < all.size() && batch.size() < 7; ++at) batch << all[at];
                    return !batch.isEmpty();
                  })
                  .ok());
  expectBoardsAsNaive("loaded");
  EXPECT_EQ(indexes(), before);
  for (const qint64 id : {1, 2, 5}) ASSERT_TRUE(store_->moderate(id, Moderation::Confirm).value());
  expectBoardsAsNaive("confirmed after the load");
}

INSTANTIATE_TEST_SUITE_P(Databases, BoardTest, ::testing::Values(Backend::SQLite, Backend::PostgreSQL),
                         [](const auto& info) { return info.param == Backend::SQLite ? "SQLite" : "PostgreSQL"; });

}  // namespace
}  // namespace rootix::server
