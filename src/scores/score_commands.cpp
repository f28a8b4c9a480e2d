#include "scores/score_commands.h"

#include <QStringList>

#include "platform/numbers.h"
#include "scores/score_book.h"
#include "scores/thread_count.h"

namespace rootix::scores {
namespace {

QString recordText(double record) { return num::formatGeneral(num::roundDecimals(record, 3)); }

}  // namespace

using platform::CommandCall;

void registerScoreCommands(platform::CommandTable& commands, const ScoreServices& services) {
  ScoreServices sv = services;
  auto getScores = [sv] { sv.book.takeRecordsIntoScores(sv.hardware); };
  const platform::LinePrinter print = sv.print;

  commands.add(QStringLiteral("showscore"), [sv, getScores, print](CommandCall& c) {
    getScores();
    // One console line per text line, as the transcript shows any other output.
    const QStringList lines = sv.book.list().at(c.whole16()).toString(true).split(QStringLiteral("\r\n"));
    for (const QString& line : lines) print(line);
  });

  commands.add(QStringLiteral("save"), [sv, getScores, print](CommandCall& c) {
    getScores();
    const QStringList words = c.trimmedArg().split(u' ');
    if (words.size() < 2) {
      print(QStringLiteral("Syntax: save path scorenumber"));
      return;
    }
    const int16_t index = num::toInt16(num::convertNumber(words[1]));
    print(QString::number(sv.book.list().at(index).saveScore(words[0], sv.dialogs).code()));
  });

  commands.add(QStringLiteral("load"), [sv, getScores, print](CommandCall& c) {
    getScores();
    Score score;
    print(QString::number(score.loadScore(c.trimmedArg()).code()));
    // Kept even when loading failed, as loadScore left it.
    sv.book.list().append(std::move(score));
  });

  commands.add(QStringLiteral("rootix=score"),
               [sv](CommandCall& c) { sv.accumulator = sv.book.list().at(c.whole32()).score_score; });
  commands.add(QStringLiteral("rootix=test"),
               [sv](CommandCall& c) { sv.accumulator = sv.book.list().at(c.whole32()).score_test; });
}

void registerRecordCommands(platform::CommandTable& commands, Records& records, ThreadCount& threads,
                            const platform::LinePrinter& print) {
  commands.add(QStringLiteral("pr"), [&records, print](CommandCall& c) {
    const int16_t k = c.whole16();
    if (k == 0) {
      bool any = false;
      for (int t = Records::kFirst; t <= Records::kLast; ++t) {
        const double r = records.getRecord(t);
        if (r == 0) continue;
        any = true;
        print(QStringLiteral("Record for test ") + QString::number(t) + QStringLiteral(": ") + recordText(r) +
              QStringLiteral(" seconds"));
      }
      if (!any) print(QStringLiteral("No current records set"));
    } else if (k >= Records::kFirst && k <= Records::kLast) {
      const double r = records.getRecord(k);
      if (r == 0) {
        print(QStringLiteral("No record set"));
      } else {
        print(QStringLiteral("Record for test ") + QString::number(k) + QStringLiteral(": ") + recordText(r));
      }
    } else {
      print(QStringLiteral("Invalid Test"));
    }
  });
  auto setThreads = [&threads, print](int16_t k) {
    if (ThreadCount::inRange(k)) {
      threads.set(k, ThreadCount::Clear::Always);
      print(QStringLiteral("Thread count set to ") + QString::number(k));
    } else {
      print(QStringLiteral("Invalid count"));
    }
  };
  commands.add(QStringLiteral("ft"), [setThreads](CommandCall& c) { setThreads(c.whole16()); });
  commands.add(QStringLiteral("sft"), [&threads, setThreads](CommandCall& c) {
    const int16_t k = c.whole16();
    if (threads.value() == 0) setThreads(k);
  });
}

}  // namespace rootix::scores
