#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include "server/score_store.h"

// The server's HTML, rendered from stored scores. Every text that came
// with a submission goes through htmlEscape on its way into a page.
namespace rootix::server::pages {

// A stored text for a page: displayText, control characters replaced, then
// text::htmlEscape.
QString htmlEscape(const QString& text);
// A stored text as pages show it: score texts are single bytes of a
// windows-1252 machine, so 0x80..0x9F are that code page's characters.
QString displayText(const QString& text);

// "32M" for test 6, "1024M" for test 11: the size of the test's range.
QString testName(int test);

// One leaderboard: a page of ranked scores of one test.
struct Board {
  int test = 0;
  qint64 total = 0;      // entries of this test matching the filter
  qint64 firstRank = 1;  // rank of rows.front()
  int page = 1;
  int pageCount = 1;
  QList<StoredScore> rows;
  QList<ProcessorBest> best;  // for the chart
};

QByteArray leaderboardPage(const QList<Board>& boards, const QString& processorFilter, bool singleTest);
// submittedAgain: the visitor was sent here by a second submission of the run.
QByteArray scorePage(const StoredScore& score, bool submittedAgain = false);
// What the server is, how a score reaches it, and its JSON interface.
// maxJsonLimit: the most rows one JSON reply holds.
QByteArray aboutPage(int maxJsonLimit);
// A plain page with a heading and one paragraph, for errors and refusals.
QByteArray messagePage(const QString& heading, const QString& text);
// Horizontal bars, one per processor, the fastest (shortest) on top, as an
// inline SVG element.
QString bestTimesChart(const QList<ProcessorBest>& best);

}  // namespace rootix::server::pages
