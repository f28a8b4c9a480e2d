#include "server/score_store.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <QAtomicInteger>
#include <QCryptographicHash>
#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QStringList>
#include <QUrl>
#include <QUrlQuery>
#include <QVariant>

#include <algorithm>
#include <array>
#include <exception>
#include <tuple>

#include "scores/hardware_summary.h"
#include "server/score_rules.h"
#include "server/submission.h"

namespace rootix::server {
namespace {

// A database operation that failed; what() says which and why. Thrown
// inside the store only: its public functions give it as a Failure.
class StoreError : public RuntimeError {
 public:
  explicit StoreError(const std::string& what) : RuntimeError(ScoreStore::kUnavailable, what) {}
};

using H = scores::HardwareSummary;

// One column per hardware text, in the order of kHardwareFields.
constexpr std::array<const char*, 17> kHardwareColumns{
    "mem_type",   "mem_size", "mem_clock", "mem_tcas",  "mem_trcd", "mem_trp",   "mem_tras",  "mb_model",  "mb_vendor",
    "cpu_string", "cpu_core", "cpu_rev",   "cpu_clock", "cpu_fsb",  "cpu_cache", "cpu_vcore", "cpu_count",
};
static_assert(kHardwareColumns.size() == scores::kHardwareFields.size());

QString hardwareColumnList() {
  QStringList names;
  for (const char* c : kHardwareColumns) names << QString::fromLatin1(c);
  return names.join(u", ");
}

// Every column a StoredScore is read from, in the order rowToScore expects.
// A board does not show the score file: withFile false leaves it empty.
QString scoreColumns(bool withFile = true) {
  return QStringLiteral("id, version, test, seconds, checksum, %1, title, description, link, submitted_at, ")
             .arg(withFile ? QStringLiteral("file_data") : QStringLiteral("''")) +
         hardwareColumnList() + QStringLiteral(", hidden, unconfirmed, doubts, conditions");
}

QString idColumn(bool postgres) {
  return postgres ? QStringLiteral("BIGSERIAL PRIMARY KEY") : QStringLiteral("INTEGER PRIMARY KEY");
}

// Schema steps; step i takes the schema from version i to i + 1. The same
// SQL runs on both databases except for the id column's type. Step 1 also
// has work done between its statements (ScoreStore::judgeStoredScores),
// which comes after the statements listed for before == true.
QStringList schemaStep(int fromVersion, bool postgres, bool before = true) {
  if (fromVersion == 5 && before) {
    return {
        // Each board's order cut into buckets of a few thousand visible
        // scores with their counts: a page at any offset adds up counts,
        // then skips inside one bucket, never over the rows before it.
        QStringLiteral("CREATE TABLE board_buckets (id BIGINT PRIMARY KEY, test INTEGER NOT NULL, "
                       "unconfirmed INTEGER NOT NULL, seconds DOUBLE PRECISION NOT NULL, score_id BIGINT NOT NULL, "
                       "visible BIGINT NOT NULL)"),
        // With the count: a page adds up the counts from the index alone.
        QStringLiteral("CREATE UNIQUE INDEX board_buckets_start ON board_buckets "
                       "(test, unconfirmed, seconds, score_id, visible)"),
        // Each bucket's count per processor name, for filtered boards.
        QStringLiteral("CREATE TABLE bucket_processors (test INTEGER NOT NULL, name TEXT NOT NULL, "
                       "bucket BIGINT NOT NULL, visible BIGINT NOT NULL, PRIMARY KEY (test, name, bucket))"),
        QStringLiteral("CREATE INDEX bucket_processors_bucket ON bucket_processors (bucket)"),
        QStringLiteral("CREATE INDEX bucket_processors_counts ON bucket_processors (test, name, bucket, visible)"),
        // Each processor's count and best confirmed time on each board: the
        // chart and the filtered counts, without grouping the scores.
        QStringLiteral("CREATE TABLE board_processors (test INTEGER NOT NULL, name TEXT NOT NULL, "
                       "visible BIGINT NOT NULL, best DOUBLE PRECISION, PRIMARY KEY (test, name))"),
        QStringLiteral("CREATE INDEX board_processors_best ON board_processors (test, best)"),
        // Counts every change to the boards' order: a reader keeps the
        // bucket counts it read until this moves.
        QStringLiteral("CREATE TABLE board_changes (id INTEGER PRIMARY KEY, changes BIGINT NOT NULL)"),
        QStringLiteral("INSERT INTO board_changes (id, changes) VALUES (1, 0)"),
        // The boards' order alone: with a name in it, PostgreSQL would walk
        // it for a filtered page instead of each name's scores.
        QStringLiteral("DROP INDEX scores_board"),
        QStringLiteral("CREATE INDEX scores_board ON scores (test, hidden, unconfirmed, seconds, id)"),
        // With the time: a new score is judged from the index alone.
        QStringLiteral("DROP INDEX scores_judged"),
        QStringLiteral("CREATE INDEX scores_judged ON scores (processor_key, test, unconfirmed, hidden, id, seconds)"),
    };
  }
  if (fromVersion == 4 && before) {
    // The run record a page sends beside the score; NULL when none came.
    return {QStringLiteral("ALTER TABLE scores ADD COLUMN conditions TEXT")};
  }
  if (fromVersion == 3 && before) {
    return {
        // The distinct processor names: a filter is matched against these
        // few, then the scores are found by name through an index.
        QStringLiteral("CREATE TABLE processors (name TEXT PRIMARY KEY, search TEXT NOT NULL)"),
        QStringLiteral("INSERT INTO processors (name, search) "
                       "SELECT cpu_string, MIN(cpu_search) FROM scores GROUP BY cpu_string"),
        QStringLiteral("CREATE INDEX scores_by_name ON scores (test, hidden, cpu_string, unconfirmed, seconds, id)"),
    };
  }
  if (fromVersion == 2 && before) {
    return {
        // Each board's count, kept as scores arrive and are hidden or shown,
        // so that no page counts a million rows.
        QStringLiteral("CREATE TABLE board_counts (test INTEGER PRIMARY KEY, visible BIGINT NOT NULL)"),
        QStringLiteral("INSERT INTO board_counts (test, visible) "
                       "SELECT test, COUNT(*) FROM scores WHERE hidden = 0 GROUP BY test"),
    };
  }
  if (fromVersion == 1 && before) {
    return {
        // The identity of the run, not of the file's bytes (rules::identityOf).
        QStringLiteral("ALTER TABLE scores ADD COLUMN identity TEXT"),
        QStringLiteral("ALTER TABLE scores ADD COLUMN processor_key TEXT NOT NULL DEFAULT ''"),
        QStringLiteral("ALTER TABLE scores ADD COLUMN hidden INTEGER NOT NULL DEFAULT 0"),
        QStringLiteral("ALTER TABLE scores ADD COLUMN unconfirmed INTEGER NOT NULL DEFAULT 0"),
        QStringLiteral("ALTER TABLE scores ADD COLUMN doubts INTEGER NOT NULL DEFAULT 0"),
        QStringLiteral("CREATE TABLE moderation (id %1, score_id BIGINT NOT NULL, action TEXT NOT NULL, "
                       "done_at TEXT NOT NULL)")
            .arg(idColumn(postgres)),
        QStringLiteral("DROP INDEX scores_ranking"),
        QStringLiteral("DROP INDEX scores_by_processor"),
    };
  }
  if (fromVersion == 1) {
    return {
        QStringLiteral("CREATE UNIQUE INDEX scores_identity ON scores (identity)"),
        // The boards' order: confirmed scores first, each group by time.
        QStringLiteral("CREATE INDEX scores_board ON scores (test, hidden, unconfirmed, seconds, id, cpu_search)"),
        // A new score is judged by its processor's latest confirmed times.
        QStringLiteral("CREATE INDEX scores_judged ON scores (processor_key, test, unconfirmed, hidden, id)"),
    };
  }
  if (fromVersion == 0 && before) {
    QString hardware;
    for (const char* c : kHardwareColumns) hardware += QStringLiteral("  %1 TEXT NOT NULL,\n").arg(QLatin1String(c));
    return {
        QStringLiteral("CREATE TABLE scores (\n"
                       "  id %1,\n"
                       "  file_hash TEXT NOT NULL UNIQUE,\n"
                       "  file_data TEXT NOT NULL,\n"
                       "  version TEXT NOT NULL,\n"
                       "  test INTEGER NOT NULL,\n"
                       "  seconds DOUBLE PRECISION NOT NULL,\n"
                       "  checksum TEXT NOT NULL,\n"
                       "%2"
                       "  cpu_search TEXT NOT NULL,\n"
                       "  title TEXT NOT NULL,\n"
                       "  description TEXT NOT NULL,\n"
                       "  link TEXT NOT NULL,\n"
                       "  submitted_at TEXT NOT NULL)")
            .arg(idColumn(postgres), hardware),
        // Both cover the queries of the leaderboards, which never read rows
        // (a row holds the whole score file) except the page they show.
        QStringLiteral("CREATE INDEX scores_ranking ON scores (test, seconds, id, cpu_search)"),
        QStringLiteral("CREATE INDEX scores_by_processor ON scores (test, cpu_string, seconds, cpu_search)"),
    };
  }
  return {};
}

// A LIKE pattern matching any name that contains text, whatever its case.
QString containsPattern(const QString& text) {
  QString escaped = text.toLower();
  escaped.replace(QStringLiteral("!"), QStringLiteral("!!"))
      .replace(QStringLiteral("%"), QStringLiteral("!%"))
      .replace(QStringLiteral("_"), QStringLiteral("!_"));
  return u'%' + escaped + u'%';
}

// The processor condition, left out altogether when there is no filter.
QString processorCondition(const QString& processor) {
  return processor.isEmpty()
             ? QString()
             : QStringLiteral(" AND cpu_string IN (SELECT name FROM processors WHERE search LIKE ? ESCAPE '!')");
}

// A summary row's processor name is one the filter matches.
constexpr const char* kNameMatches = "name IN (SELECT name FROM processors WHERE search LIKE ? ESCAPE '!')";

QString lastError(const QSqlQuery& query) { return query.lastError().text(); }

// A field a layout lacks is a null text; the column wants an empty one.
QString notNull(const QString& text) { return text.isNull() ? QStringLiteral("") : text; }

// Binds a filter's values (test, then name pattern) from index 0; returns
// the next index.
int bindFilter(QSqlQuery& q, const ScoreFilter& filter) {
  int i = 0;
  if (filter.test) q.bindValue(i++, filter.test);
  if (!filter.processor.isEmpty()) q.bindValue(i++, containsPattern(filter.processor));
  return i;
}

// The conditions on a board_processors or bucket_processors row.
QString summaryWhere(const ScoreFilter& filter) {
  QStringList parts;
  if (filter.test) parts << QStringLiteral("test = ?");
  if (!filter.processor.isEmpty()) parts << QString::fromLatin1(kNameMatches);
  return parts.isEmpty() ? QString() : QStringLiteral(" WHERE ") + parts.join(QStringLiteral(" AND "));
}

int bindKey(QSqlQuery& q, int i, int unconfirmed, double seconds, qint64 id) {
  q.bindValue(i++, unconfirmed);
  q.bindValue(i++, seconds);
  q.bindValue(i++, id);
  return i;
}

// A snapshot for reads that take several statements: a page is counted and
// read as of one moment, whatever another server writes meanwhile.
class ReadSnapshot {
 public:
  ReadSnapshot(const QString& connectionName, bool postgres) : q_(QSqlDatabase::database(connectionName, false)) {
    on_ = q_.exec(postgres ? QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ, READ ONLY")
                           : QStringLiteral("BEGIN"));
    if (!on_) throw StoreError("beginning a read: " + lastError(q_).toStdString());
    q_.finish();
  }
  ~ReadSnapshot() {
    if (on_) q_.exec(QStringLiteral("ROLLBACK"));
  }
  void end() {
    on_ = false;
    if (!q_.exec(QStringLiteral("COMMIT"))) throw StoreError("ending a read: " + lastError(q_).toStdString());
    q_.finish();
  }
  ReadSnapshot(const ReadSnapshot&) = delete;
  ReadSnapshot& operator=(const ReadSnapshot&) = delete;

 private:
  QSqlQuery q_;
  bool on_ = false;
};

// The SQLite page cache, in KiB (negative: a size, not a page count).
constexpr int kCacheKiB = -262144;

// How much of the SQLite file is read through a memory map.
constexpr qint64 kMapBytes = qint64(4) << 30;

// The SQLite log is checkpointed and cut back once it is this large.
constexpr qint64 kLogTrimBytes = 8 * 1024 * 1024;

// Settings of one connection, made again whenever it is opened. A
// submission is acknowledged only once it is on disk, so every commit waits
// for it.
void configureSession(const QSqlDatabase& db, bool postgres, int busyTimeoutMs, bool readOnly) {
  QSqlQuery q(db);
  auto run = [&q](const QString& sql) {
    if (!q.exec(sql))
      throw StoreError("cannot set up the connection: " + lastError(q).toStdString() + " in: " + sql.toStdString());
    q.finish();
  };
  if (postgres) {
    // A write waits for another's lock this long, then fails as SQLite's does.
    run(QStringLiteral("SET lock_timeout = %1").arg(busyTimeoutMs));
    // "relation already exists, skipping" and the like are not for the
    // operator's log.
    run(QStringLiteral("SET client_min_messages = warning"));
    run(QStringLiteral("SET synchronous_commit = on"));
    return;
  }
  // A larger page cache keeps the indexes in memory as the table grows:
  // at a million scores they take a few hundred MB.
  run(QStringLiteral("PRAGMA cache_size=%1").arg(kCacheKiB));
  // Pages read straight from the operating system's cache, not copied into
  // SQLite's: a board reads rows from all over a large file.
  run(QStringLiteral("PRAGMA mmap_size=%1").arg(kMapBytes));
  if (readOnly) return;
  // WAL: readers never wait for the writer; FULL: a commit is on disk when
  // it returns. Automatic checkpoints and a size limit keep the log small.
  run(QStringLiteral("PRAGMA journal_mode=WAL"));
  for (const char* sql :
       {"PRAGMA synchronous=FULL", "PRAGMA wal_autocheckpoint=1000", "PRAGMA journal_size_limit=4194304"}) {
    run(QString::fromLatin1(sql));
  }
}

enum class Access { ReadWrite, ReadOnly, ReadOnlyFileSystem };

// Whether this process may write the SQLite file at path (or create it).
Access accessTo(const QByteArray& path) {
  struct statvfs fs {};
  if (::statvfs(path.constData(), &fs) == 0 && (fs.f_flag & ST_RDONLY)) return Access::ReadOnlyFileSystem;
  if (::access(path.constData(), F_OK) == 0 && ::access(path.constData(), W_OK) != 0) return Access::ReadOnly;
  return Access::ReadWrite;
}

}  // namespace

struct ScoreStore::Statements {
  QHash<QString, QSqlQuery> byText;
  // SQLite's own connection under Qt's, and statements prepared on it: a
  // page's rows are read through them without a copy of every value.
  sqlite3* sqlite = nullptr;
  QHash<QString, sqlite3_stmt*> direct;
  Statements() = default;
  Statements(const Statements&) = delete;
  Statements& operator=(const Statements&) = delete;
  ~Statements() {
    for (sqlite3_stmt* statement : std::as_const(direct)) sqlite3_finalize(statement);
  }
};

ScoreStore::ScoreStore(QString connectionName, bool postgres)
    : connectionName_(std::move(connectionName)), postgres_(postgres), statements_(std::make_unique<Statements>()) {}

ScoreStore::~ScoreStore() {
  statements_.reset();  // queries go before their connection
  {
    QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
    db.close();
  }
  QSqlDatabase::removeDatabase(connectionName_);
}

Result<QSqlDatabase> ScoreStore::addConnection(const QString& dbSpec, const QString& connectionName,
                                               int busyTimeoutMs) {
  return catchingFailures<QSqlDatabase>([&]() -> QSqlDatabase {
    const bool postgres = dbSpec.startsWith(u"postgresql://") || dbSpec.startsWith(u"postgres://");
    if (!postgres && !dbSpec.startsWith(u"sqlite:")) {
      throw StoreError("unknown database \"" + dbSpec.toStdString() +
                       "\": use sqlite:PATH or postgresql://user@host:port/dbname");
    }
    QSqlDatabase db =
        QSqlDatabase::addDatabase(postgres ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"), connectionName);
    if (!db.isValid()) throw StoreError("the Qt SQL driver for this database is not installed");
    if (postgres) {
      const QUrl url(dbSpec);
      if (!url.isValid() || url.path().size() < 2)
        throw StoreError("cannot read the PostgreSQL address " + dbSpec.toStdString());
      const QUrlQuery query(url);
      db.setHostName(query.hasQueryItem("host") ? query.queryItemValue("host") : url.host());
      if (url.port() > 0) db.setPort(url.port());
      db.setUserName(url.userName());
      db.setPassword(url.password());
      db.setDatabaseName(url.path().mid(1));
      db.setConnectOptions(QStringLiteral("connect_timeout=5"));
    } else {
      const QString path = dbSpec.mid(7);
      QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs);
      const Access access = accessTo(QFile::encodeName(path));
      if (access == Access::ReadWrite) {
        db.setDatabaseName(path);
      } else {
        // Read-only. Its log's index cannot be made where nothing can be
        // written, and there nobody changes the file either: it is opened as
        // one that does not change.
        QUrl uri = QUrl::fromLocalFile(path);
        uri.setQuery(access == Access::ReadOnlyFileSystem ? QStringLiteral("mode=ro&immutable=1")
                                                          : QStringLiteral("mode=ro"));
        db.setDatabaseName(uri.toString(QUrl::FullyEncoded));
        options += QStringLiteral(";QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI");
      }
      db.setConnectOptions(options);
    }
    return db;
  });
}

Result<std::unique_ptr<ScoreStore>> ScoreStore::open(const QString& dbSpec, int busyTimeoutMs) {
  return catchingFailures<std::unique_ptr<ScoreStore>>([&]() -> std::unique_ptr<ScoreStore> {
    static QAtomicInteger<int> serial = 0;
    const QString name = QStringLiteral("rootix-store-%1").arg(serial.fetchAndAddRelaxed(1));
    QSqlDatabase db = addConnection(dbSpec, name, busyTimeoutMs).value();
    const bool postgres = db.driverName() == u"QPSQL";
    std::unique_ptr<ScoreStore> store(new ScoreStore(name, postgres));
    store->busyTimeoutMs_ = busyTimeoutMs;
    store->readOnly_ = db.connectOptions().contains(u"QSQLITE_OPEN_READONLY");
    if (!db.open()) throw StoreError("cannot open the database: " + db.lastError().text().toStdString());
    configureSession(db, postgres, busyTimeoutMs, store->readOnly_);
    if (const QVariant handle = db.driver()->handle(); !postgres && qstrcmp(handle.typeName(), "sqlite3*") == 0) {
      store->statements_->sqlite = *static_cast<sqlite3* const*>(handle.constData());
    }
    store->migrate();
    if (!postgres && dbSpec.mid(7) != u":memory:") {
      store->path_ = QFile::encodeName(dbSpec.mid(7));
      struct stat st {};
      if (::stat(store->path_.constData(), &st) != 0) throw StoreError("the database file is gone");
      store->device_ = st.st_dev;
      store->inode_ = st.st_ino;
    }
    return store;
  });
}

QSqlQuery& ScoreStore::prepared(const QString& sql) {
  auto it = statements_->byText.find(sql);
  if (it == statements_->byText.end()) {
    QSqlQuery query(QSqlDatabase::database(connectionName_, false));
    // Rows are only ever read forward; Qt otherwise keeps a copy of each.
    query.setForwardOnly(true);
    if (!query.prepare(sql)) throw StoreError("cannot prepare a query: " + lastError(query).toStdString());
    it = statements_->byText.insert(sql, std::move(query));
  }
  return *it;
}

void ScoreStore::execWith(const QString& sql, std::initializer_list<QVariant> values, const char* what) {
  QSqlQuery& q = prepared(sql);
  int i = 0;
  for (const QVariant& v : values) q.bindValue(i++, v);
  exec(q, what);
  q.finish();
}

void ScoreStore::exec(QSqlQuery& query, const char* what) {
  if (!query.exec()) {
    const QString error = lastError(query);
    query.finish();
    throw StoreError(std::string(what) + ": " + error.toStdString());
  }
}

void ScoreStore::migrate() {
  QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
  QSqlQuery q(db);
  auto run = [&q](const QString& sql) {
    if (!q.exec(sql)) throw StoreError("schema: " + q.lastError().text().toStdString() + " in: " + sql.toStdString());
  };
  // Several servers on one PostgreSQL may start at once; one migrates.
  if (postgres_) run(QStringLiteral("SELECT pg_advisory_lock(730517)"));
  struct Unlock {
    QSqlQuery& q;
    bool on;
    ~Unlock() {
      if (on) q.exec(QStringLiteral("SELECT pg_advisory_unlock(730517)"));
    }
  } unlock{q, postgres_};

  if (!readOnly_) run(QStringLiteral("CREATE TABLE IF NOT EXISTS rootix_schema (version INTEGER NOT NULL)"));
  run(QStringLiteral("SELECT MAX(version) FROM rootix_schema"));
  int version = q.next() && !q.value(0).isNull() ? q.value(0).toInt() : 0;
  q.finish();
  if (version > kSchemaVersion) {
    throw StoreError("the database's schema version " + std::to_string(version) + " is newer than this server's (" +
                     std::to_string(kSchemaVersion) + ")");
  }
  if (readOnly_ && version < kSchemaVersion) {
    throw StoreError("the database is read-only and its schema version " + std::to_string(version) +
                     " needs an upgrade to " + std::to_string(kSchemaVersion));
  }
  for (; version < kSchemaVersion; ++version) {
    if (!db.transaction()) throw StoreError("schema: " + db.lastError().text().toStdString());
    try {
      for (const QString& sql : schemaStep(version, postgres_, true)) run(sql);
      if (version == 1) judgeStoredScores();
      if (version == 5) rebuildSummaries();
      for (const QString& sql : schemaStep(version, postgres_, false)) run(sql);
      run(QStringLiteral("INSERT INTO rootix_schema (version) VALUES (%1)").arg(version + 1));
    } catch (...) {
      db.rollback();
      throw;
    }
    if (!db.commit()) throw StoreError("schema: " + db.lastError().text().toStdString());
  }
}

void ScoreStore::judgeStoredScores() {
  QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
  QSqlQuery rows(db);
  rows.setForwardOnly(true);
  if (!rows.exec(QStringLiteral("SELECT id, file_data FROM scores ORDER BY id"))) {
    throw StoreError("schema: reading the stored scores: " + lastError(rows).toStdString());
  }
  struct Judged {
    qint64 id;
    QString identity, key;
    int hidden, unconfirmed;
    unsigned doubts;
  };
  QList<Judged> kept;
  QList<qint64> duplicates;
  QSet<QString> seen;
  while (rows.next()) {
    const qint64 id = rows.value(0).toLongLong();
    scores::Score score;
    if (!score.loadBytes(QByteArray::fromBase64(rows.value(1).toString().toLatin1()))) {
      // Not a score any more: kept, hidden, and its own identity.
      kept.append({id, QStringLiteral("unreadable-%1").arg(id), QString(), 1, 1, 0});
      continue;
    }
    const QString identity = rules::identityOf(score);
    if (seen.contains(identity)) {
      duplicates << id;  // the first of a run stays, with its title and date
      continue;
    }
    seen.insert(identity);
    // Scores stored before these rules were on the boards already: they stay
    // confirmed unless they are impossible (hidden) or carry no clock.
    const unsigned doubts = rules::doubtsOf(score, QList<double>(rules::kEnoughScores, score.score_score));
    kept.append({id, identity, rules::processorKey(score.hardware.score_extra_cpu_string),
                 rules::impossibility(score) ? 1 : 0, doubts ? 1 : 0, doubts});
  }
  rows.finish();

  QSqlQuery update(db);
  update.prepare(QStringLiteral(
      "UPDATE scores SET identity = ?, processor_key = ?, hidden = ?, unconfirmed = ?, doubts = ? WHERE id = ?"));
  int hidden = 0, unconfirmed = 0;
  for (const Judged& j : kept) {
    update.bindValue(0, j.identity);
    update.bindValue(1, j.key);
    update.bindValue(2, j.hidden);
    update.bindValue(3, j.unconfirmed);
    update.bindValue(4, static_cast<int>(j.doubts));
    update.bindValue(5, j.id);
    exec(update, "schema: judging a stored score");
    hidden += j.hidden;
    unconfirmed += j.unconfirmed && !j.hidden;
  }
  QSqlQuery remove(db);
  remove.prepare(QStringLiteral("DELETE FROM scores WHERE id = ?"));
  for (const qint64 id : duplicates) {
    remove.bindValue(0, id);
    exec(remove, "schema: merging a duplicate score");
  }
  if (kept.isEmpty() && duplicates.isEmpty()) return;  // a new database
  migrationNotes_ << QStringLiteral(
                         "merged %1 duplicate scores (the same run stored more than once; the first of each is kept)")
                         .arg(duplicates.size())
                  << QStringLiteral("%1 stored scores without a processor clock are now unconfirmed").arg(unconfirmed)
                  << QStringLiteral("%1 stored scores that break the rules are now hidden").arg(hidden);
}

namespace {

// Binds the columns of one row from index first; returns the next index.
int bindSubmission(QSqlQuery& insert, const Submission& s, const QString& identity, unsigned doubts, const QString& now,
                   int first = 0) {
  const QString submitted = s.submitted.isValid() ? s.submitted.toUTC().toString(Qt::ISODateWithMs) : now;
  const scores::Score& score = s.score;
  const QString hash = QString::fromLatin1(QCryptographicHash::hash(s.fileBytes, QCryptographicHash::Sha256).toHex());
  int i = first;
  insert.bindValue(i++, identity);
  insert.bindValue(i++, rules::processorKey(score.hardware.score_extra_cpu_string));
  insert.bindValue(i++, doubts ? 1 : 0);
  insert.bindValue(i++, static_cast<int>(doubts));
  insert.bindValue(i++, hash);
  insert.bindValue(i++, QString::fromLatin1(s.fileBytes.toBase64()));
  insert.bindValue(i++, notNull(score.score_version));
  insert.bindValue(i++, static_cast<int>(score.score_test));
  insert.bindValue(i++, score.score_score);
  insert.bindValue(i++, s.checksum);
  insert.bindValue(i++, score.hardware.score_extra_cpu_string.toLower());
  insert.bindValue(i++, notNull(s.title));
  insert.bindValue(i++, notNull(s.description));
  insert.bindValue(i++, notNull(s.link));
  insert.bindValue(i++, submitted);
  for (const auto field : scores::kHardwareFields) insert.bindValue(i++, notNull(score.hardware.*field));
  insert.bindValue(i++, s.conditions.isEmpty() ? QVariant(QMetaType::fromType<QString>())
                                               : QVariant(QString::fromUtf8(s.conditions)));
  return i;
}

// The columns bindSubmission binds, in its order.
QString insertColumns() {
  return QStringLiteral(
             "identity, processor_key, unconfirmed, doubts, file_hash, file_data, version, test, seconds, checksum, "
             "cpu_search, title, description, link, submitted_at, ") +
         hardwareColumnList() + QStringLiteral(", conditions");
}
constexpr int kInsertColumns = 16 + static_cast<int>(kHardwareColumns.size());

// "(?, ?, ...)" for rows of one insert.
QString insertMarks(int rows) {
  QStringList marks;
  for (int i = 0; i < kInsertColumns; ++i) marks << QStringLiteral("?");
  const QString row = u'(' + marks.join(u", ") + u')';
  QStringList all;
  for (int r = 0; r < rows; ++r) all << row;
  return all.join(u", ");
}

}  // namespace

unsigned ScoreStore::judge(const scores::Score& score) {
  QSqlQuery& sample = prepared(QStringLiteral(
      "SELECT seconds FROM scores WHERE processor_key = ? AND test = ? AND unconfirmed = 0 AND hidden = 0 "
      "ORDER BY id DESC LIMIT ?"));
  sample.bindValue(0, rules::processorKey(score.hardware.score_extra_cpu_string));
  sample.bindValue(1, static_cast<int>(score.score_test));
  sample.bindValue(2, rules::kJudgedBy);
  exec(sample, "judging a score");
  QList<double> confirmed;
  while (sample.next()) confirmed << sample.value(0).toDouble();
  sample.finish();
  return rules::doubtsOf(score, confirmed);
}

Result<ScoreStore::Added> ScoreStore::add(const Submission& s) {
  const Batch batch = addAll({s});
  if (!batch.entries.front()) return batch.outcome.failure();
  return *batch.entries.front();
}

ScoreStore::Batch ScoreStore::addAll(const QList<Submission>& submissions) {
  Batch batch;
  batch.entries.resize(submissions.size());
  QStringList identities;
  for (const Submission& s : submissions) identities << rules::identityOf(s.score);
  QList<std::optional<qint64>> newIds(submissions.size());
  QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
  QSqlQuery* insert = nullptr;
  bool writing = false;
  // Every step is checked, the commit above all: a write that fails there
  // (a full disk) must not be acknowledged. Without a transaction of its own
  // the INSERT would be committed by the reset that finish() does (its
  // RETURNING row leaves it unfinished): Qt drops that result, and SQLite
  // runs no automatic checkpoint there, so the log would only grow.
  try {
    if (readOnly_) throw StoreError("the database is read-only");
    checkFile();
    insert = &prepared(QStringLiteral("INSERT INTO scores (%1) VALUES %2 ON CONFLICT DO NOTHING RETURNING id")
                           .arg(insertColumns(), insertMarks(1)));
    beginWrite(db, "beginning a write");
    writing = true;
    const QString now = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    for (qsizetype i = 0; i < submissions.size(); ++i) {
      const unsigned doubts = submissions[i].doubts ? *submissions[i].doubts : judge(submissions[i].score);
      bindSubmission(*insert, submissions[i], identities[i], doubts, now);
      exec(*insert, "storing a score");
      // A new entry returns its id; the same run again returns nothing.
      if (insert->next()) {
        newIds[i] = insert->value(0).toLongLong();
      } else if (insert->lastError().isValid()) {
        throw StoreError("storing a score: " + lastError(*insert).toStdString());
      }
      insert->finish();
      if (newIds[i]) {
        const scores::Score& score = submissions[i].score;
        addProcessor(score.hardware.score_extra_cpu_string);
        countVisible({score.score_test, doubts ? 1 : 0, score.score_score, *newIds[i]},
                     notNull(score.hardware.score_extra_cpu_string), 1);
      }
    }
    if (std::any_of(newIds.begin(), newIds.end(), [](const auto& id) { return id.has_value(); })) noteBoardChange();
    if (!db.commit()) throw StoreError("committing scores: " + db.lastError().text().toStdString());
    writing = false;
  } catch (...) {
    // Whatever stopped the write, the transaction must not stay open: it
    // would hold the write lock and fail every later write.
    if (insert) insert->finish();
    if (writing) db.rollback();
    // The failure the other functions give; anything else goes on.
    batch.outcome = catchingFailures<void>([e = std::current_exception()] { std::rethrow_exception(e); });
    // A run stored before needs no write: its entry is the answer even
    // while the database cannot be written.
    for (qsizetype i = 0; i < submissions.size(); ++i) {
      try {
        if (const auto id = idOf(identities[i])) batch.entries[i] = Added{*id, false};
      } catch (const StoreError&) {
      }
    }
    return batch;
  }
  trimLog();
  for (qsizetype i = 0; i < submissions.size(); ++i) {
    if (newIds[i]) {
      batch.entries[i] = Added{*newIds[i], true};
      continue;
    }
    try {
      if (const auto id = idOf(identities[i])) batch.entries[i] = Added{*id, false};
    } catch (const StoreError& e) {
      batch.outcome = Failure{kUnavailable, QString::fromStdString(e.what())};
    }
    if (!batch.entries[i] && batch.outcome)
      batch.outcome = Failure{kUnavailable, QStringLiteral("a stored score is not in the database")};
  }
  return batch;
}

void ScoreStore::beginWrite(QSqlDatabase& db, const char* what) {
  QSqlQuery begin(db);
  if (postgres_) {
    // Writers of several servers take turns, as SQLite's do: two batches
    // that insert the same runs in different orders, each also holding its
    // board's count, would otherwise wait for each other until PostgreSQL
    // breaks the deadlock by failing one. The lock goes with the transaction.
    if (!db.transaction()) throw StoreError(std::string(what) + ": " + db.lastError().text().toStdString());
    if (!begin.exec(QStringLiteral("SELECT pg_advisory_xact_lock(730518)"))) {
      const QString error = lastError(begin);
      db.rollback();
      throw StoreError(std::string(what) + ": " + error.toStdString());
    }
    begin.finish();
    return;
  }
  // SQLite: a transaction that reads first and writes later cannot wait for
  // another process's writer (its snapshot would be stale) and fails at
  // once; one that takes the write lock at its start waits as long as the
  // busy timeout allows.
  if (!begin.exec(QStringLiteral("BEGIN IMMEDIATE")))
    throw StoreError(std::string(what) + ": " + lastError(begin).toStdString());
}

void ScoreStore::checkFile() {
  if (path_.isEmpty()) return;
  struct stat st {};
  if (::stat(path_.constData(), &st) != 0 || st.st_dev != device_ || st.st_ino != inode_) {
    throw StoreError("the database file " + path_.toStdString() +
                     " was deleted or replaced while the server ran; restart the server to use the file there now");
  }
}

void ScoreStore::trimLog() {
  if (path_.isEmpty()) return;
  struct stat st {};
  if (::stat((path_ + "-wal").constData(), &st) != 0 || st.st_size < kLogTrimBytes) return;
  // The automatic checkpoints could not keep up (readers in the way): one
  // that waits for them and cuts the log back to nothing.
  QSqlQuery q(QSqlDatabase::database(connectionName_, false));
  if (!q.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"))) {
    qWarning("rootix-server: database: cannot checkpoint the log: %s", qPrintable(lastError(q)));
  }
  q.finish();
}

std::optional<qint64> ScoreStore::idOf(const QString& identity) {
  QSqlQuery& lookup = prepared(QStringLiteral("SELECT id FROM scores WHERE identity = ?"));
  lookup.bindValue(0, identity);
  exec(lookup, "finding a stored score");
  std::optional<qint64> id;
  if (lookup.next()) id = lookup.value(0).toLongLong();
  lookup.finish();
  return id;
}

void ScoreStore::addToCount(int test, int change) {
  QSqlQuery& q =
      prepared(QStringLiteral("INSERT INTO board_counts (test, visible) VALUES (?, ?) "
                              "ON CONFLICT (test) DO UPDATE SET visible = board_counts.visible + excluded.visible"));
  q.bindValue(0, test);
  q.bindValue(1, change);
  exec(q, "counting a score");
  q.finish();
}

void ScoreStore::addProcessor(const QString& name) {
  QSqlQuery& q =
      prepared(QStringLiteral("INSERT INTO processors (name, search) VALUES (?, ?) ON CONFLICT (name) DO NOTHING"));
  q.bindValue(0, notNull(name));
  q.bindValue(1, name.toLower());
  exec(q, "naming a processor");
  q.finish();
}

void ScoreStore::countVisible(const BoardKey& key, const QString& processor, int change) {
  addToCount(key.test, change);
  placeInBucket(key, processor, change);
  const bool confirmed = key.unconfirmed == 0;
  countProcessor(key.test, processor, change,
                 confirmed && change > 0 ? std::optional<double>(key.seconds) : std::nullopt, confirmed && change < 0);
}

void ScoreStore::countProcessor(int test, const QString& processor, int change, std::optional<double> candidate,
                                bool recount) {
  execWith(
      QStringLiteral("INSERT INTO board_processors (test, name, visible, best) VALUES (?, ?, ?, ?) "
                     "ON CONFLICT (test, name) DO UPDATE SET visible = board_processors.visible + excluded.visible, "
                     "best = CASE WHEN excluded.best IS NULL THEN board_processors.best "
                     "WHEN board_processors.best IS NULL OR excluded.best < board_processors.best THEN excluded.best "
                     "ELSE board_processors.best END"),
      {test, processor, change, candidate ? QVariant(*candidate) : QVariant(QMetaType::fromType<double>())},
      "counting a processor's score");
  if (!recount) return;
  // The best may be the score that went.
  execWith(QStringLiteral("UPDATE board_processors SET best = (SELECT MIN(seconds) FROM scores WHERE test = ? "
                          "AND hidden = 0 AND cpu_string = ? AND unconfirmed = 0) WHERE test = ? AND name = ?"),
           {test, processor, test, processor}, "finding a processor's best time");
}

namespace {

// The id a new bucket gets; writers take turns, so no other takes it.
qint64 nextBucketId(QSqlQuery& q) {
  if (!q.exec() || !q.next()) throw StoreError("numbering a bucket: " + lastError(q).toStdString());
  const qint64 id = q.value(0).toLongLong();
  q.finish();
  return id;
}

}  // namespace

void ScoreStore::noteBoardChange() {
  // Readers keep the bucket counts they read until this moves.
  execWith(QStringLiteral("UPDATE board_changes SET changes = changes + 1 WHERE id = 1"), {}, "noting a change");
}

void ScoreStore::placeInBucket(const BoardKey& key, const QString& processor, int change) {
  QSqlQuery& find = prepared(
      QStringLiteral("SELECT id, unconfirmed, seconds, score_id, visible FROM board_buckets WHERE test = ? AND "
                     "(unconfirmed, seconds, score_id) <= (?, ?, ?) "
                     "ORDER BY unconfirmed DESC, seconds DESC, score_id DESC LIMIT 1"));
  find.bindValue(0, key.test);
  bindKey(find, 1, key.unconfirmed, key.seconds, key.id);
  exec(find, "finding a score's bucket");
  qint64 bucket = 0, visible = 0;
  // A board's first bucket starts before any key.
  BoardKey start{key.test, -1, 0, 0};
  if (find.next()) {
    bucket = find.value(0).toLongLong();
    start = {key.test, find.value(1).toInt(), find.value(2).toDouble(), find.value(3).toLongLong()};
    visible = find.value(4).toLongLong();
  }
  find.finish();
  if (!bucket) {
    bucket = nextBucketId(prepared(QStringLiteral("SELECT COALESCE(MAX(id), 0) + 1 FROM board_buckets")));
    execWith(QStringLiteral("INSERT INTO board_buckets (id, test, unconfirmed, seconds, score_id, visible) "
                            "VALUES (?, ?, -1, 0, 0, 0)"),
             {bucket, key.test}, "making a bucket");
  }
  execWith(QStringLiteral("UPDATE board_buckets SET visible = visible + ? WHERE id = ?"), {change, bucket},
           "counting a bucket");
  execWith(QStringLiteral("INSERT INTO bucket_processors (test, name, bucket, visible) VALUES (?, ?, ?, ?) "
                          "ON CONFLICT (test, name, bucket) DO UPDATE SET "
                          "visible = bucket_processors.visible + excluded.visible"),
           {key.test, processor, bucket, change}, "counting a bucket");
  if (change > 0 && visible + change > bucketLimit_) splitBucket(bucket, start, visible + change);
}

void ScoreStore::splitBucket(qint64 bucket, const BoardKey& start, qint64 visible) {
  const qint64 keep = visible / 2;
  QSqlQuery& middle =
      prepared(QStringLiteral("SELECT unconfirmed, seconds, id FROM scores WHERE test = ? AND hidden = 0 AND "
                              "(unconfirmed, seconds, id) >= (?, ?, ?) ORDER BY unconfirmed, seconds, id "
                              "LIMIT 1 OFFSET ?"));
  middle.bindValue(0, start.test);
  bindKey(middle, 1, start.unconfirmed, start.seconds, start.id);
  middle.bindValue(4, keep);
  exec(middle, "splitting a bucket");
  if (!middle.next()) {
    middle.finish();
    throw StoreError("splitting a bucket: it holds fewer scores than its count says");
  }
  const BoardKey split{start.test, middle.value(0).toInt(), middle.value(1).toDouble(), middle.value(2).toLongLong()};
  middle.finish();
  QSqlQuery& following =
      prepared(QStringLiteral("SELECT unconfirmed, seconds, score_id FROM board_buckets WHERE test = ? AND "
                              "(unconfirmed, seconds, score_id) > (?, ?, ?) "
                              "ORDER BY unconfirmed, seconds, score_id LIMIT 1"));
  following.bindValue(0, start.test);
  bindKey(following, 1, split.unconfirmed, split.seconds, split.id);
  exec(following, "splitting a bucket");
  BoardKey end{start.test, 2, 0, 0};
  if (following.next())
    end = {start.test, following.value(0).toInt(), following.value(1).toDouble(), following.value(2).toLongLong()};
  following.finish();

  const qint64 added = nextBucketId(prepared(QStringLiteral("SELECT COALESCE(MAX(id), 0) + 1 FROM board_buckets")));
  execWith(QStringLiteral("INSERT INTO board_buckets (id, test, unconfirmed, seconds, score_id, visible) "
                          "VALUES (?, ?, ?, ?, ?, ?)"),
           {added, start.test, split.unconfirmed, split.seconds, split.id, visible - keep}, "splitting a bucket");
  execWith(QStringLiteral("UPDATE board_buckets SET visible = ? WHERE id = ?"), {keep, bucket}, "splitting a bucket");
  execWith(QStringLiteral("DELETE FROM bucket_processors WHERE bucket = ?"), {bucket}, "splitting a bucket");
  // Both halves counted per name again, from the board's index. SQLite
  // would rather walk the whole board in name order for the grouping; "+"
  // keeps it to the bucket's range (PostgreSQL has no "+" for texts, and
  // needs none).
  QSqlQuery& names =
      prepared(QStringLiteral(
                   "INSERT INTO bucket_processors (test, name, bucket, visible) "
                   "SELECT test, cpu_string, CAST(? AS BIGINT), COUNT(*) FROM scores WHERE test = ? AND hidden = 0 AND "
                   "(unconfirmed, seconds, id) >= (?, ?, ?) AND (unconfirmed, seconds, id) < (?, ?, ?) "
                   "GROUP BY test, %1")
                   .arg(postgres_ ? QStringLiteral("cpu_string") : QStringLiteral("+cpu_string")));
  for (const auto& [id, from, to] : {std::tuple{bucket, start, split}, std::tuple{added, split, end}}) {
    names.bindValue(0, id);
    names.bindValue(1, start.test);
    bindKey(names, 2, from.unconfirmed, from.seconds, from.id);
    bindKey(names, 5, to.unconfirmed, to.seconds, to.id);
    exec(names, "splitting a bucket");
    names.finish();
  }
}

void ScoreStore::rebuildSummaries() {
  QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
  QSqlQuery q(db);
  auto run = [&q](const QString& sql) {
    if (!q.exec(sql))
      throw StoreError("summing up the boards: " + lastError(q).toStdString() + " in: " + sql.toStdString());
    q.finish();
  };
  for (const char* table : {"board_counts", "processors", "board_processors", "bucket_processors", "board_buckets"})
    run(QStringLiteral("DELETE FROM ") + QLatin1String(table));
  noteBoardChange();
  run(
      QStringLiteral("INSERT INTO board_counts (test, visible) "
                     "SELECT test, COUNT(*) FROM scores WHERE hidden = 0 GROUP BY test"));
  run(
      QStringLiteral("INSERT INTO processors (name, search) SELECT cpu_string, MIN(cpu_search) FROM scores "
                     "GROUP BY cpu_string"));
  run(
      QStringLiteral("INSERT INTO board_processors (test, name, visible, best) "
                     "SELECT test, cpu_string, COUNT(*), MIN(CASE WHEN unconfirmed = 0 THEN seconds END) "
                     "FROM scores WHERE hidden = 0 GROUP BY test, cpu_string"));

  // Buckets half full, so that a few more scores do not split them at once.
  QSqlQuery rows(db);
  rows.setForwardOnly(true);
  if (!rows.exec(QStringLiteral("SELECT test, unconfirmed, seconds, id, cpu_string FROM scores WHERE hidden = 0 "
                                "ORDER BY test, unconfirmed, seconds, id"))) {
    throw StoreError("summing up the boards: " + lastError(rows).toStdString());
  }
  // Read whole before anything is written: a PostgreSQL connection reads
  // a large result row by row and can run nothing else meanwhile.
  const qint64 fill = std::max(1, bucketLimit_ / 2);
  struct Bucket {
    BoardKey start;
    qint64 visible = 0;
    QHash<QString, qint64> names;
  };
  QList<Bucket> buckets;
  while (rows.next()) {
    const BoardKey key{rows.value(0).toInt(), rows.value(1).toInt(), rows.value(2).toDouble(),
                       rows.value(3).toLongLong()};
    if (buckets.isEmpty() || key.test != buckets.back().start.test || buckets.back().visible == fill) {
      const bool first = buckets.isEmpty() || key.test != buckets.back().start.test;
      buckets.append({first ? BoardKey{key.test, -1, 0, 0} : key, 0, {}});
    }
    ++buckets.back().visible;
    ++buckets.back().names[rows.value(4).toString()];
  }
  if (rows.lastError().isValid()) throw StoreError("summing up the boards: " + lastError(rows).toStdString());
  rows.finish();

  QSqlQuery bucketRow(db), nameRow(db);
  bucketRow.prepare(QStringLiteral(
      "INSERT INTO board_buckets (id, test, unconfirmed, seconds, score_id, visible) VALUES (?, ?, ?, ?, ?, ?)"));
  nameRow.prepare(QStringLiteral("INSERT INTO bucket_processors (test, name, bucket, visible) VALUES (?, ?, ?, ?)"));
  for (qsizetype i = 0; i < buckets.size(); ++i) {
    const Bucket& b = buckets[i];
    bucketRow.bindValue(0, i + 1);
    bucketRow.bindValue(1, b.start.test);
    bindKey(bucketRow, 2, b.start.unconfirmed, b.start.seconds, b.start.id);
    bucketRow.bindValue(5, b.visible);
    exec(bucketRow, "summing up the boards");
    for (auto it = b.names.cbegin(); it != b.names.cend(); ++it) {
      nameRow.bindValue(0, b.start.test);
      nameRow.bindValue(1, it.key());
      nameRow.bindValue(2, i + 1);
      nameRow.bindValue(3, it.value());
      exec(nameRow, "summing up the boards");
    }
  }
}

Result<void> ScoreStore::bulkLoad(const std::function<bool(QList<Submission>&)>& next) {
  return catchingFailures<void>([&]() -> void {
    if (readOnly_) throw StoreError("the database is read-only");
    checkFile();
    constexpr int kRowsPerInsert = 100;
    QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
    QSqlQuery setting(db);
    // The indexes of a large load do not fit the usual page cache.
    if (!postgres_) setting.exec(QStringLiteral("PRAGMA cache_size=-1048576"));
    beginWrite(db, "loading scores");
    try {
      // The indexes that only order and find are made again once the rows
      // are in, which is much faster than keeping them up row by row; the
      // unique ones stay, to pass over runs stored twice.
      QSqlQuery indexes(db);
      if (!indexes.exec(postgres_ ? QStringLiteral("SELECT indexname, indexdef FROM pg_indexes "
                                                   "WHERE tablename = 'scores' AND indexdef NOT LIKE 'CREATE UNIQUE%'")
                                  : QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type = 'index' AND "
                                                   "tbl_name = 'scores' AND sql NOT LIKE 'CREATE UNIQUE%'"))) {
        throw StoreError("loading scores: " + lastError(indexes).toStdString());
      }
      QList<std::pair<QString, QString>> remade;
      while (indexes.next()) remade.append({indexes.value(0).toString(), indexes.value(1).toString()});
      indexes.finish();
      for (const auto& [name, definition] : remade) {
        if (!indexes.exec(QStringLiteral("DROP INDEX ") + name))
          throw StoreError("loading scores: " + lastError(indexes).toStdString());
      }
      const QString now = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
      QList<Submission> batch;
      while (next(batch)) {
        for (qsizetype at = 0; at < batch.size(); at += kRowsPerInsert) {
          const int rows = static_cast<int>(std::min<qsizetype>(kRowsPerInsert, batch.size() - at));
          QSqlQuery& insert = prepared(QStringLiteral("INSERT INTO scores (%1) VALUES %2 ON CONFLICT DO NOTHING")
                                           .arg(insertColumns(), insertMarks(rows)));
          int i = 0;
          for (qsizetype r = at; r < at + rows; ++r) {
            const Submission& s = batch[r];
            i = bindSubmission(insert, s, rules::identityOf(s.score), s.doubts.value_or(0), now, i);
          }
          exec(insert, "loading scores");
          insert.finish();
        }
        batch.clear();
      }
      for (const auto& [name, definition] : remade) {
        if (!indexes.exec(definition)) throw StoreError("loading scores: " + lastError(indexes).toStdString());
      }
      rebuildSummaries();
      if (!db.commit()) throw StoreError("loading scores: " + db.lastError().text().toStdString());
    } catch (...) {
      db.rollback();
      if (!postgres_) setting.exec(QStringLiteral("PRAGMA cache_size=%1").arg(kCacheKiB));
      throw;
    }
    if (!postgres_) setting.exec(QStringLiteral("PRAGMA cache_size=%1").arg(kCacheKiB));
    // PostgreSQL plans by what it knows of the tables, and reads an index
    // alone only where it knows the rows are visible.
    if (postgres_ && !setting.exec(QStringLiteral("VACUUM ANALYZE")))
      throw StoreError("loading scores: " + lastError(setting).toStdString());
    trimLog();
  });
}

Result<bool> ScoreStore::moderate(qint64 id, Moderation action) {
  return catchingFailures<bool>([&]() -> bool {
    static const char* const kNames[] = {"hide", "show", "confirm"};
    const auto index = static_cast<size_t>(action);
    if (readOnly_) throw StoreError("the database is read-only");
    checkFile();
    QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
    beginWrite(db, "moderating a score");
    try {
      QSqlQuery& state =
          prepared(QStringLiteral("SELECT test, hidden, unconfirmed, seconds, cpu_string FROM scores WHERE id = ?"));
      state.bindValue(0, id);
      exec(state, "moderating a score");
      const bool found = state.next();
      const bool hidden = found && state.value(1).toInt() != 0;
      const BoardKey key =
          found ? BoardKey{state.value(0).toInt(), state.value(2).toInt() != 0 ? 1 : 0, state.value(3).toDouble(), id}
                : BoardKey{};
      const QString processor = found ? state.value(4).toString() : QString();
      state.finish();
      if (found) {
        QSqlQuery& change =
            prepared(action == Moderation::Confirm ? QStringLiteral("UPDATE scores SET unconfirmed = 0 WHERE id = ?")
                                                   : QStringLiteral("UPDATE scores SET hidden = ? WHERE id = ?"));
        int i = 0;
        if (action != Moderation::Confirm) change.bindValue(i++, action == Moderation::Hide ? 1 : 0);
        change.bindValue(i, id);
        exec(change, "moderating a score");
        change.finish();
        if (action == Moderation::Hide && !hidden) countVisible(key, processor, -1);
        if (action == Moderation::Show && hidden) countVisible(key, processor, 1);
        if (action == Moderation::Confirm && !hidden && key.unconfirmed) {
          // It moves ahead of the unconfirmed scores, and may now be its
          // processor's best.
          placeInBucket(key, processor, -1);
          placeInBucket({key.test, 0, key.seconds, id}, processor, 1);
          countProcessor(key.test, processor, 0, key.seconds, false);
        }
        noteBoardChange();
        QSqlQuery& note =
            prepared(QStringLiteral("INSERT INTO moderation (score_id, action, done_at) VALUES (?, ?, ?)"));
        note.bindValue(0, id);
        note.bindValue(1, QString::fromLatin1(kNames[index]));
        note.bindValue(2, QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
        exec(note, "noting a moderation");
        note.finish();
      }
      if (!db.commit()) throw StoreError("moderating a score: " + db.lastError().text().toStdString());
      trimLog();
      return found;
    } catch (...) {
      db.rollback();
      throw;
    }
  });
}

namespace {

// One row's columns, read through Qt.
struct QtRow {
  const QSqlQuery& q;
  QString text(int i) const { return q.value(i).toString(); }
  qint64 whole(int i) const { return q.value(i).toLongLong(); }
  double real(int i) const { return q.value(i).toDouble(); }
  bool isNull(int i) const { return q.value(i).isNull(); }
};

// One row's columns, read from SQLite's statement.
struct SqliteRow {
  sqlite3_stmt* statement;
  QString text(int i) const {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, i)),
                             sqlite3_column_bytes(statement, i));
  }
  qint64 whole(int i) const { return sqlite3_column_int64(statement, i); }
  double real(int i) const { return sqlite3_column_double(statement, i); }
  bool isNull(int i) const { return sqlite3_column_type(statement, i) == SQLITE_NULL; }
};

template <typename Row>
StoredScore readScore(const Row& row) {
  StoredScore s;
  int i = 0;
  s.id = row.whole(i++);
  s.score.score_version = row.text(i++);
  s.score.score_test = static_cast<int16_t>(row.whole(i++));
  s.score.score_score = row.real(i++);
  s.checksum = row.text(i++);
  s.fileBytes = QByteArray::fromBase64(row.text(i++).toLatin1());
  s.title = row.text(i++);
  s.description = row.text(i++);
  s.link = row.text(i++);
  s.submitted = QDateTime::fromString(row.text(i++), Qt::ISODateWithMs);
  for (const auto field : scores::kHardwareFields) s.score.hardware.*field = row.text(i++);
  s.hidden = row.whole(i++) != 0;
  s.unconfirmed = row.whole(i++) != 0;
  s.doubts = static_cast<unsigned>(row.whole(i++));
  if (!row.isNull(i)) s.conditions = QJsonDocument::fromJson(row.text(i).toUtf8()).object();
  s.score.score_visible = !s.hidden;
  return s;
}

StoredScore rowToScore(const QSqlQuery& q) { return readScore(QtRow{q}); }

}  // namespace

Result<std::optional<StoredScore>> ScoreStore::find(qint64 id) {
  return catchingFailures<std::optional<StoredScore>>([&]() -> std::optional<StoredScore> {
    QSqlQuery& q = prepared(QStringLiteral("SELECT %1 FROM scores WHERE id = ?").arg(scoreColumns()));
    q.bindValue(0, id);
    exec(q, "reading a score");
    std::optional<StoredScore> found;
    if (q.next()) found = rowToScore(q);
    q.finish();
    return found;
  });
}

Result<QList<std::pair<int, qint64>>> ScoreStore::testsWithEntries(const QString& processor) {
  return catchingFailures<QList<std::pair<int, qint64>>>([&]() -> QList<std::pair<int, qint64>> {
    QSqlQuery& q = prepared(
        processor.isEmpty() ? QStringLiteral("SELECT test, visible FROM board_counts WHERE visible > 0 ORDER BY test")
                            : QStringLiteral("SELECT test, SUM(visible) FROM board_processors WHERE %1 GROUP BY test "
                                             "HAVING SUM(visible) > 0 ORDER BY test")
                                  .arg(kNameMatches));
    if (!processor.isEmpty()) q.bindValue(0, containsPattern(processor));
    exec(q, "listing the tests");
    QList<std::pair<int, qint64>> tests;
    while (q.next()) tests.append({q.value(0).toInt(), q.value(1).toLongLong()});
    q.finish();
    return tests;
  });
}

Result<qint64> ScoreStore::count(const ScoreFilter& filter) {
  return catchingFailures<qint64>([&]() -> qint64 {
    QSqlQuery& q = prepared(filter.processor.isEmpty()
                                ? (filter.test ? QStringLiteral("SELECT visible FROM board_counts WHERE test = ?")
                                               : QStringLiteral("SELECT SUM(visible) FROM board_counts"))
                                : QStringLiteral("SELECT SUM(visible) FROM board_processors") + summaryWhere(filter));
    bindFilter(q, filter);
    exec(q, "counting scores");
    const qint64 n = q.next() ? q.value(0).toLongLong() : 0;
    q.finish();
    return n;
  });
}

const QList<ScoreStore::BucketCount>& ScoreStore::bucketCounts(const ScoreFilter& filter) {
  QSqlQuery& version = prepared(QStringLiteral("SELECT changes FROM board_changes WHERE id = 1"));
  exec(version, "reading a board's buckets");
  const qint64 changes = version.next() ? version.value(0).toLongLong() : -1;
  version.finish();
  const std::pair<int, QString> key{filter.test,
                                    filter.processor.isEmpty() ? QString() : containsPattern(filter.processor)};
  // Without the change number (a table emptied by hand) nothing is kept.
  const auto it = bucketCache_.constFind(key);
  if (changes >= 0 && it != bucketCache_.constEnd() && it->changes == changes) {
    return it->buckets;
  }

  // A filtered board's counts are spread over its processors' rows, which
  // the database adds up.
  const bool whole = filter.processor.isEmpty();
  QSqlQuery& q = prepared(
      whole ? QStringLiteral("SELECT test, unconfirmed, seconds, score_id, visible FROM board_buckets") +
                  (filter.test ? QStringLiteral(" WHERE test = ?") : QString()) +
                  QStringLiteral(" ORDER BY test, unconfirmed, seconds, score_id")
            : QStringLiteral("SELECT b.test, b.unconfirmed, b.seconds, b.score_id, c.visible FROM board_buckets b "
                             "JOIN (SELECT bucket, SUM(visible) AS visible FROM bucket_processors%1 GROUP BY bucket) c "
                             "ON c.bucket = b.id ORDER BY b.test, b.unconfirmed, b.seconds, b.score_id")
                  .arg(summaryWhere(filter)));
  bindFilter(q, filter);
  exec(q, "reading a board's buckets");
  CachedBuckets read{changes, {}};
  qint64 upto = 0;
  while (q.next()) {
    upto += q.value(4).toLongLong();
    read.buckets.append(
        {{q.value(0).toInt(), q.value(1).toInt(), q.value(2).toDouble(), q.value(3).toLongLong()}, upto});
  }
  q.finish();
  // Filters are free text: the cache is bounded by how many it holds.
  if (bucketCache_.size() >= kCachedBoards) bucketCache_.clear();
  return bucketCache_.insert(key, std::move(read))->buckets;
}

QList<ScoreStore::Segment> ScoreStore::segmentsOf(const ScoreFilter& filter, qint64 offset, qint64 limit) {
  // The buckets of the boards asked for, in order, with the running total
  // of the scores the filter takes: a page starts in the first bucket whose
  // total passes its offset.
  const QList<BucketCount>& buckets = bucketCounts(filter);
  const qint64 end = offset + limit;
  auto b = std::upper_bound(buckets.begin(), buckets.end(), offset,
                            [](qint64 at, const BucketCount& bucket) { return at < bucket.upto; });
  // One segment per test; a segment ends where the bucket after its last
  // starts, or past every key of its test (confirmed is 0 or 1).
  QList<Segment> segments;
  bool open = false;  // the last segment may end where the next bucket starts
  for (qint64 before = b == buckets.begin() ? 0 : (b - 1)->upto; b != buckets.end(); before = (b++)->upto) {
    const qint64 visible = b->upto - before;
    const qint64 at = before;  // rows before this bucket
    const BoardKey& start = b->start;
    if (open && segments.back().from.test == start.test) segments.back().to = start;
    open = false;
    if (at >= end) break;
    if (visible <= 0) continue;
    const qint64 from = std::max(offset, at);
    const qint64 to = std::min(end, at + visible);
    if (!segments.isEmpty() && segments.back().from.test == start.test) {
      segments.back().take += to - from;
    } else {
      segments.append({start, {}, from - at, to - from});
    }
    segments.back().to = BoardKey{start.test, 2, 0, 0};
    open = true;
  }
  return segments;
}

void ScoreStore::readRows(const QString& sql, const QVariantList& values, QList<StoredScore>& rows, const char* what) {
  sqlite3* const db = statements_->sqlite;
  if (!db) {
    QSqlQuery& q = prepared(sql);
    for (qsizetype i = 0; i < values.size(); ++i) q.bindValue(static_cast<int>(i), values[i]);
    exec(q, what);
    while (q.next()) rows.append(rowToScore(q));
    q.finish();
    return;
  }
  auto it = statements_->direct.find(sql);
  if (it == statements_->direct.end()) {
    sqlite3_stmt* statement = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v3(db, text.constData(), static_cast<int>(text.size()), SQLITE_PREPARE_PERSISTENT, &statement,
                           nullptr) != SQLITE_OK) {
      sqlite3_finalize(statement);
      throw StoreError(std::string("cannot prepare a query: ") + sqlite3_errmsg(db));
    }
    it = statements_->direct.insert(sql, statement);
  }
  sqlite3_stmt* const statement = *it;
  for (qsizetype i = 0; i < values.size(); ++i) {
    const int at = static_cast<int>(i) + 1;
    const QVariant& v = values[i];
    if (v.typeId() == QMetaType::Double) {
      sqlite3_bind_double(statement, at, v.toDouble());
    } else if (v.typeId() == QMetaType::QString) {
      const QByteArray utf8 = v.toString().toUtf8();
      sqlite3_bind_text(statement, at, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
    } else {
      sqlite3_bind_int64(statement, at, v.toLongLong());
    }
  }
  int step = SQLITE_ROW;
  while ((step = sqlite3_step(statement)) == SQLITE_ROW) rows.append(readScore(SqliteRow{statement}));
  const std::string why = step == SQLITE_DONE ? std::string() : sqlite3_errmsg(db);
  sqlite3_reset(statement);
  if (step != SQLITE_DONE) throw StoreError(std::string(what) + ": " + why);
}

Result<QList<StoredScore>> ScoreStore::ranked(const ScoreFilter& filter, qint64 offset, qint64 limit) {
  return catchingFailures<QList<StoredScore>>([&]() -> QList<StoredScore> {
    QList<StoredScore> rows;
    if (limit <= 0 || offset < 0) return rows;
    rows.reserve(std::min<qint64>(limit, 1000));
    ReadSnapshot snapshot(connectionName_, postgres_);
    const QList<Segment> segments = segmentsOf(filter, offset, limit);
    // The ids of the page from an index alone, then their rows. A filtered
    // page is found through each matching name's scores in the segment, not
    // by walking every score of the board there: "+" keeps SQLite from
    // taking the board's order instead, and PostgreSQL takes from each name
    // no more than the page could use.
    const QString range =
        QStringLiteral("AND (unconfirmed, seconds, id) >= (?, ?, ?) AND (unconfirmed, seconds, id) < (?, ?, ?) ");
    const bool filtered = !filter.processor.isEmpty();
    QString ids;
    if (!filtered) {
      ids = QStringLiteral("SELECT id FROM scores WHERE test = ? AND hidden = 0 ") + range +
            QStringLiteral("ORDER BY unconfirmed, seconds, id LIMIT ? OFFSET ?");
    } else if (postgres_) {
      ids = QStringLiteral(
                "SELECT s.id FROM processors p CROSS JOIN LATERAL (SELECT id, unconfirmed, seconds "
                "FROM scores WHERE test = ? AND hidden = 0 AND cpu_string = p.name ") +
            range +
            QStringLiteral(
                "ORDER BY unconfirmed, seconds, id LIMIT ?) s WHERE p.search LIKE ? ESCAPE '!' "
                "ORDER BY s.unconfirmed, s.seconds, s.id LIMIT ? OFFSET ?");
    } else {
      ids = QStringLiteral("SELECT id FROM scores WHERE test = ? AND hidden = 0") +
            processorCondition(filter.processor) + u' ' + range +
            QStringLiteral("ORDER BY +unconfirmed, seconds, id LIMIT ? OFFSET ?");
    }
    const QString sql = QStringLiteral("SELECT %1 FROM scores WHERE id IN (%2) ORDER BY unconfirmed, seconds, id")
                            .arg(scoreColumns(false), ids);
    for (const Segment& s : segments) {
      QVariantList values{s.from.test};
      if (filtered && !postgres_) values << containsPattern(filter.processor);
      values << s.from.unconfirmed << s.from.seconds << s.from.id << s.to.unconfirmed << s.to.seconds << s.to.id;
      if (filtered && postgres_) values << s.skip + s.take << containsPattern(filter.processor);
      values << s.take << s.skip;
      readRows(sql, values, rows, "reading a leaderboard");
    }
    snapshot.end();
    return rows;
  });
}

Result<QList<StoredScore>> ScoreStore::visibleAfter(qint64 afterId, int limit) {
  return catchingFailures<QList<StoredScore>>([&]() -> QList<StoredScore> {
    QSqlQuery& q = prepared(
        QStringLiteral("SELECT %1 FROM scores WHERE id > ? AND hidden = 0 ORDER BY id LIMIT ?").arg(scoreColumns()));
    q.bindValue(0, afterId);
    q.bindValue(1, limit);
    exec(q, "reading scores to export");
    QList<StoredScore> rows;
    while (q.next()) rows.append(rowToScore(q));
    q.finish();
    return rows;
  });
}

Result<QList<ProcessorBest>> ScoreStore::bestPerProcessor(const ScoreFilter& filter, int limit) {
  return catchingFailures<QList<ProcessorBest>>([&]() -> QList<ProcessorBest> {
    // One board's are read in order from an index; every board's are the
    // fastest of each name.
    const QString where =
        summaryWhere(filter) +
        (filter.test || !filter.processor.isEmpty() ? QStringLiteral(" AND ") : QStringLiteral(" WHERE ")) +
        QStringLiteral("best IS NOT NULL");
    QSqlQuery& q = prepared(
        filter.test ? QStringLiteral("SELECT name, best FROM board_processors%1 ORDER BY best, name LIMIT ?").arg(where)
                    : QStringLiteral("SELECT name, MIN(best) AS fastest FROM board_processors%1 "
                                     "GROUP BY name ORDER BY fastest, name LIMIT ?")
                          .arg(where));
    const int i = bindFilter(q, filter);
    q.bindValue(i, limit);
    exec(q, "reading the best times");
    QList<ProcessorBest> best;
    while (q.next()) best.append({q.value(0).toString(), q.value(1).toDouble()});
    q.finish();
    return best;
  });
}

Result<void> ScoreStore::ping() {
  return catchingFailures<void>([&]() -> void {
    checkFile();
    QSqlQuery& q = prepared(QStringLiteral("SELECT COUNT(*) FROM rootix_schema"));
    exec(q, "checking the database");
    q.finish();
  });
}

}  // namespace rootix::server

namespace rootix::server {

bool ScoreStore::recover() {
  // An SQLite file has no connection to lose; opening it again would make
  // an empty one where a deleted one was.
  if (!postgres_) return false;
  if (ping()) return false;  // the connection works; the failure was the statement's own
  statements_->byText.clear();
  QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
  db.close();
  if (!db.open()) return false;
  try {
    configureSession(db, postgres_, busyTimeoutMs_, readOnly_);
  } catch (const StoreError&) {
    db.close();  // tried again on the next failure
    return false;
  }
  return true;
}

}  // namespace rootix::server
