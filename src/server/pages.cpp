#include "server/pages.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QUrl>
#include <algorithm>

#include "platform/numbers.h"
#include "platform/text.h"
#include "server/form.h"
#include "server/score_rules.h"
#include "server/submission.h"

namespace rootix::server::pages {
namespace {

const char* const kStyle =
    "body{font-family:Tahoma,Verdana,sans-serif;font-size:11pt;margin:16px;color:#222}"
    "h1{font-size:16pt;color:#334}h2{font-size:13pt;margin-top:28px;color:#334}"
    "table.board{border-collapse:collapse;margin:8px 0}"
    "table.board th{background:#CCCCFF;text-align:left;padding:3px 8px}"
    "table.board td{border-bottom:1px solid #E4E4F4;padding:3px 8px;vertical-align:top}"
    // Submitted texts can be long without a space; they wrap instead of
    // pushing the date off the page.
    "table.board td{overflow-wrap:anywhere}td.board{min-width:12em}"
    "td.num{text-align:right;font-variant-numeric:tabular-nums}td.num,td.date{white-space:nowrap}"
    "table.fields th{text-align:right;padding:2px 10px;color:#555;font-weight:normal}"
    "table.fields td{padding:2px 10px}"
    "form.filter{margin:8px 0}nav.pager a{margin-right:8px}"
    "a{color:#3344AA}.muted{color:#888}"
    "span.unconfirmed{font-size:9pt;color:#8A5A00;background:#FFF3D6;border:1px solid #E8C878;padding:0 4px;"
    "border-radius:3px;white-space:nowrap}tr.apart td{background:#FFF8E8;color:#8A5A00;font-style:italic}"
    "p.notice{background:#EEF3FF;border:1px solid #CCCCFF;padding:6px 10px}"
    "span.vm{font-size:9pt;color:#335;background:#E8ECFA;border:1px solid #AAB4E0;padding:0 4px;border-radius:3px;"
    "white-space:nowrap}";

QString secondsText(double seconds) { return num::formatGeneral(num::roundDecimals(seconds, 3)); }

QString joined(std::initializer_list<QString> parts) {
  QStringList kept;
  for (const QString& p : parts) {
    if (!p.trimmed().isEmpty()) kept << p.trimmed();
  }
  return kept.join(u' ');
}

QString header(const QString& title) {
  return QStringLiteral(
             "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
             "<meta name=\"viewport\" content=\"width=device-width\"><title>%1</title><style>%2</style></head><body>\n"
             "<p><a href=\"/\"><img src=\"/jpg/rootix/rootixtitle.jpg\" alt=\"Rootix\" width=\"360\" "
             "height=\"60\"></a></p>\n")
      .arg(htmlEscape(title), QLatin1String(kStyle));
}

const QString kFooter = QStringLiteral("</body></html>\n");

QString boardLink(int test, int page, const QString& filter) {
  QString link = QStringLiteral("/?test=%1").arg(test);
  if (page > 1) link += QStringLiteral("&page=%1").arg(page);
  // Every character but the unreserved ones escaped: a '+' left as it is
  // would come back as a space.
  if (!filter.isEmpty()) link += QStringLiteral("&cpu=") + QString::fromLatin1(QUrl::toPercentEncoding(filter));
  return link;
}

QString titleCell(const StoredScore& s) {
  const QString text = s.title.isEmpty() ? QStringLiteral("(untitled)") : s.title;
  const QString own = QStringLiteral("<a href=\"/score/%1\">%2</a>").arg(s.id).arg(htmlEscape(text));
  if (s.link.isEmpty()) return own;
  return own + QStringLiteral(" <a href=\"%1\" rel=\"nofollow noopener noreferrer\" class=\"muted\">&#8599;</a>")
                   .arg(htmlEscape(s.link));
}

// A value of the run record as a page shows it; empty when it is missing,
// null or not a text or number.
QString recordText(const QJsonValue& value) {
  if (value.isString()) return value.toString();
  if (value.isDouble()) return num::formatGeneral(value.toDouble());
  return {};
}

// The hypervisor the run record names; empty for a machine of its own or
// a score that came without a record.
QString hypervisorOf(const StoredScore& s) {
  if (!s.conditions) return {};
  return recordText(s.conditions->value(u"conditions").toObject().value(u"hypervisor"));
}

QString processorCell(const StoredScore& s) {
  QString cell = htmlEscape(s.score.hardware.score_extra_cpu_string);
  if (const QString hypervisor = hypervisorOf(s); !hypervisor.isEmpty()) {
    cell += QStringLiteral(" <span class=\"vm\" title=\"run in a virtual machine (%1)\">VM</span>")
                .arg(htmlEscape(hypervisor));
  }
  return cell;
}

// Kernel, threads, hypervisor and governor of the run, or one row saying
// they were not sent.
QList<std::pair<QString, QString>> conditionRows(const StoredScore& s) {
  if (!s.conditions) {
    return {{QStringLiteral("Run conditions"),
             QStringLiteral("not sent (a score loaded from a file, or submitted from an older page)")}};
  }
  const QJsonObject& record = *s.conditions;
  const QJsonObject machine = record.value(u"conditions").toObject();
  QString kernel = recordText(record.value(u"kernel"));
  if (!kernel.isEmpty() && record.value(u"kernel_choice").toString() == u"forced")
    kernel += QStringLiteral(" (forced)");
  const QString hypervisor = hypervisorOf(s);
  const QString governor = recordText(machine.value(u"governor"));
  const QString threads = recordText(record.value(u"threads"));
  const QString unknown = QStringLiteral("unknown");
  return {
      {QStringLiteral("Kernel"), kernel.isEmpty() ? unknown : kernel},
      {QStringLiteral("Threads"), threads.isEmpty() ? unknown : threads},
      {QStringLiteral("Hypervisor"), hypervisor.isEmpty() ? QStringLiteral("none") : hypervisor},
      {QStringLiteral("Governor"), governor.isEmpty() ? unknown : governor},
  };
}

QString boardHtml(const Board& b, const QString& filter) {
  QString html = QStringLiteral("<h2 id=\"test-%1\">%2 (test %1) &middot; %3 %4</h2>\n")
                     .arg(b.test)
                     .arg(htmlEscape(testName(b.test)))
                     .arg(b.total)
                     .arg(b.total == 1 ? u"entry" : u"entries");
  html += bestTimesChart(b.best);
  html += QStringLiteral(
      "<table class=\"board\"><tr><th>#</th><th>Time (s)</th><th>Processor</th><th>Clock</th><th>Sockets</th>"
      "<th>Memory</th><th>Board</th><th>Title</th><th>Date</th></tr>\n");
  qint64 rank = b.firstRank;
  bool confirmedRows = true;
  for (const StoredScore& s : b.rows) {
    const auto& h = s.score.hardware;
    if (s.unconfirmed && confirmedRows) {
      confirmedRows = false;
      html += QStringLiteral(
          "<tr class=\"apart\"><td colspan=\"9\">Unconfirmed: ranked apart until a moderator confirms them</td>"
          "</tr>\n");
    }
    // An unconfirmed score has no rank; its mark says why in its tool tip.
    const QString rankCell = s.unconfirmed
                                 ? QStringLiteral("<span class=\"unconfirmed\" title=\"%1\">unconfirmed</span>")
                                       .arg(htmlEscape(rules::doubtTexts(s.doubts).join(QStringLiteral("; "))))
                                 : QString::number(rank);
    html += QStringLiteral(
                "<tr><td class=\"num\">%1</td><td class=\"num\">%2</td><td>%3</td><td>%4</td><td>%5</td>"
                "<td>%6</td><td class=\"board\">%7</td><td>%8</td><td class=\"date\">%9</td></tr>\n")
                .arg(rankCell)
                .arg(secondsText(s.score.score_score), processorCell(s), htmlEscape(h.score_extra_cpu_clock),
                     htmlEscape(h.score_extra_cpu_count),
                     htmlEscape(joined({h.score_extra_memSize, h.score_extra_memType, h.score_extra_memClock})),
                     htmlEscape(joined({h.score_extra_mbVendor, h.score_extra_mbModel})), titleCell(s),
                     s.submitted.toString(QStringLiteral("yyyy-MM-dd")));
    ++rank;
  }
  html += QStringLiteral("</table>\n");
  if (b.pageCount > 1) {
    html += QStringLiteral("<nav class=\"pager\">Page %1 of %2: ").arg(b.page).arg(b.pageCount);
    if (b.page > 1)
      html +=
          QStringLiteral("<a href=\"%1\">&larr; previous</a>").arg(htmlEscape(boardLink(b.test, b.page - 1, filter)));
    if (b.page < b.pageCount)
      html += QStringLiteral("<a href=\"%1\">next &rarr;</a>").arg(htmlEscape(boardLink(b.test, b.page + 1, filter)));
    html += QStringLiteral("</nav>\n");
  }
  return html;
}

}  // namespace

QString displayText(const QString& text) {
  QString out = text;
  for (QChar& c : out) {
    if (c.unicode() >= 0x80 && c.unicode() < 0xA0)
      c = fromWindows1252(QByteArray(1, static_cast<char>(c.unicode())))[0];
  }
  return out;
}

QString htmlEscape(const QString& text) {
  QString shown = displayText(text);
  for (QChar& c : shown) {
    // Control characters have no business in a page.
    if ((c.unicode() < 0x20 && c != u'\t') || c.unicode() == 0x7F) c = QChar(0xFFFD);
  }
  return text::htmlEscape(shown);
}

QString testName(int test) {
  if (test < 1 || test > 16) return QStringLiteral("test %1").arg(test);
  return QStringLiteral("%1M").arg(qint64(1) << (test - 1));
}

QString bestTimesChart(const QList<ProcessorBest>& best) {
  if (best.isEmpty()) return {};
  const double slowest =
      std::max_element(best.begin(), best.end(), [](auto& a, auto& b) { return a.seconds < b.seconds; })->seconds;
  constexpr int kBarHeight = 18, kGap = 6, kLabelWidth = 300, kBarWidth = 420, kValueWidth = 80;
  const int height = static_cast<int>(best.size()) * (kBarHeight + kGap) + kGap;
  QString svg =
      QStringLiteral(
          "<svg class=\"chart\" xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%2\" role=\"img\" "
          "aria-label=\"Best time per processor\" font-family=\"Tahoma,Verdana,sans-serif\" font-size=\"12\">\n"
          "<title>Best time per processor (seconds, shorter is faster)</title>\n")
          .arg(kLabelWidth + kBarWidth + kValueWidth)
          .arg(height);
  int y = kGap;
  for (const ProcessorBest& p : best) {
    const int width = slowest > 0 ? std::max(2, static_cast<int>(kBarWidth * p.seconds / slowest)) : 2;
    QString label = p.processor.isEmpty() ? QStringLiteral("(unknown processor)") : p.processor;
    if (label.size() > 44) label = label.left(43) + QChar(0x2026);
    svg += QStringLiteral(
               "<text x=\"%1\" y=\"%2\" text-anchor=\"end\">%3</text>"
               "<rect x=\"%4\" y=\"%5\" width=\"%6\" height=\"%7\" fill=\"#7788CC\"/>"
               "<text x=\"%8\" y=\"%2\">%9 s</text>\n")
               .arg(kLabelWidth - 8)
               .arg(y + kBarHeight - 5)
               .arg(htmlEscape(label))
               .arg(kLabelWidth)
               .arg(y)
               .arg(width)
               .arg(kBarHeight)
               .arg(kLabelWidth + width + 6)
               .arg(secondsText(p.seconds));
    y += kBarHeight + kGap;
  }
  return svg + QStringLiteral("</svg>\n");
}

QByteArray leaderboardPage(const QList<Board>& boards, const QString& filter, bool singleTest) {
  QString html = header(QStringLiteral("Rootix leaderboards"));
  html += QStringLiteral("<h1>Leaderboards</h1>\n<form class=\"filter\" method=\"get\" action=\"/\">");
  if (singleTest && !boards.isEmpty())
    html += QStringLiteral("<input type=\"hidden\" name=\"test\" value=\"%1\">").arg(boards.front().test);
  html += QStringLiteral(
              "<label>Processor contains <input name=\"cpu\" value=\"%1\" maxlength=\"100\"></label> "
              "<button type=\"submit\">Filter</button>%2</form>\n")
              .arg(htmlEscape(filter),
                   filter.isEmpty() && !singleTest ? QString() : QStringLiteral(" <a href=\"/\">all scores</a>"));
  if (boards.isEmpty()) {
    html += filter.isEmpty() ? QStringLiteral("<p>No scores yet. Submit one from Rootix's score browser.</p>\n")
                             : QStringLiteral("<p>No score matches this processor.</p>\n");
  }
  for (const Board& b : boards) {
    html += boardHtml(b, filter);
    if (!singleTest && b.pageCount > 1) {
      html += QStringLiteral("<p><a href=\"%1\">all %2 entries of %3</a></p>\n")
                  .arg(htmlEscape(boardLink(b.test, 1, filter)))
                  .arg(b.total)
                  .arg(htmlEscape(testName(b.test)));
    }
  }
  html += QStringLiteral(
      "<p class=\"muted\">For scripts: <a href=\"/api/v1/scores?test=6\">/api/v1/scores?test=6</a></p>\n");
  return (html + kFooter).toUtf8();
}

QByteArray scorePage(const StoredScore& s, bool submittedAgain) {
  const auto& h = s.score.hardware;
  const QString name = s.title.isEmpty() ? QStringLiteral("Score %1").arg(s.id) : s.title;
  QString html = header(name + QStringLiteral(" - Rootix"));
  html += QStringLiteral("<h1>%1</h1>\n").arg(htmlEscape(name));
  if (submittedAgain) {
    html += QStringLiteral(
                "<p class=\"notice\">This run was submitted before, on %1: it is stored once, with the title, "
                "description and link it came with first.</p>\n")
                .arg(s.submitted.toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'")));
  }
  if (s.unconfirmed) {
    html += QStringLiteral(
                "<p class=\"notice\"><span class=\"unconfirmed\">unconfirmed</span> This score is ranked apart "
                "until a moderator confirms it: %1.</p>\n")
                .arg(htmlEscape(rules::doubtTexts(s.doubts).join(QStringLiteral("; "))));
  }
  if (!s.description.isEmpty()) html += QStringLiteral("<p>%1</p>\n").arg(htmlEscape(s.description));
  if (!s.link.isEmpty()) {
    html +=
        QStringLiteral("<p><a href=\"%1\" rel=\"nofollow noopener noreferrer\">%1</a></p>\n").arg(htmlEscape(s.link));
  }
  QList<std::pair<QString, QString>> rows = {
      {QStringLiteral("Test"),
       QStringLiteral("%1 (test %2)").arg(testName(s.score.score_test)).arg(s.score.score_test)},
      {QStringLiteral("Time"), secondsText(s.score.score_score) + QStringLiteral(" s")},
  };
  rows += conditionRows(s);
  rows += QList<std::pair<QString, QString>>{
      {QStringLiteral("Processor"), h.score_extra_cpu_string},
      {QStringLiteral("Core"), h.score_extra_cpu_core},
      {QStringLiteral("Stepping"), h.score_extra_cpu_rev},
      {QStringLiteral("Clock"), h.score_extra_cpu_clock},
      {QStringLiteral("Bus clock"), h.score_extra_cpu_fsb},
      {QStringLiteral("Cache"), h.score_extra_cpu_cache},
      {QStringLiteral("Core voltage"), h.score_extra_cpu_vcore},
      {QStringLiteral("Sockets"), h.score_extra_cpu_count},
      {QStringLiteral("Memory type"), h.score_extra_memType},
      {QStringLiteral("Memory size"), h.score_extra_memSize},
      {QStringLiteral("Memory clock"), h.score_extra_memClock},
      {QStringLiteral("Timings (CAS-RCD-RP-RAS)"),
       QStringList{h.score_extra_memTCas, h.score_extra_memTRCD, h.score_extra_memTRP, h.score_extra_memTRAS}.join(
           u'-')},
      {QStringLiteral("Board"), joined({h.score_extra_mbVendor, h.score_extra_mbModel})},
      {QStringLiteral("Checksum"), s.checksum},
      {QStringLiteral("Score version"), s.score.score_version},
      {QStringLiteral("Submitted"), s.submitted.toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'"))},
  };
  html += QStringLiteral("<table class=\"fields\">\n");
  for (const auto& [label, value] : rows) {
    html += QStringLiteral("<tr><th>%1</th><td>%2</td></tr>\n").arg(htmlEscape(label), htmlEscape(value));
  }
  html += QStringLiteral(
              "</table>\n<p><a href=\"/score/%1/file\" download=\"rootix-%1.rxs\">Download the score file</a> "
              "(Rootix reads it with \"load\")</p>\n<p><a href=\"%2\">%3 leaderboard</a></p>\n")
              .arg(s.id)
              .arg(htmlEscape(boardLink(s.score.score_test, 1, QString())), htmlEscape(testName(s.score.score_test)));
  return (html + kFooter).toUtf8();
}

// The rules the server applies, from the constants that apply them.
QString rulesSection() {
  using namespace rules;
  return QStringLiteral(
             "<h2 id=\"rules\">Rules</h2>\n"
             "<p>The checksum a score carries has no key, so it catches accidents, not cheats. These rules do the "
             "rest.</p>\n"
             "<h3>Refused (422, with a page naming the rule)</h3>\n<ul>\n"
             "<li>A score that names no processor.</li>\n"
             "<li>A test Rootix does not have: tests are %1 to %2.</li>\n"
             "<li>A time that is not a positive number, or below the floor of its test: one picosecond for each "
             "number the test computes (%3 s for 32M, %4 s for 1024M). Every number takes 12 Newton steps, each "
             "with a division; even 4,096 threads at 5 GHz would have to finish a number in 20 cycles.</li>\n"
             "<li>Texts longer than the form allows: a title of %5 characters, a description and a link of %6 "
             "(characters, so an emoji counts once), and hardware texts of %7 bytes each.</li>\n</ul>\n"
             "<h3>Unconfirmed (kept, shown, ranked after the confirmed scores)</h3>\n<ul>\n"
             "<li>A score with no processor clock, or a clock of 0: its checksum then covers nothing. Some machines "
             "cannot read their clock, so such scores are not refused.</li>\n"
             "<li>A score whose processor has fewer than %8 confirmed scores of the same test: there is nothing to "
             "judge it by.</li>\n"
             "<li>A time far from its processor's confirmed times: more than %9 spreads from their median, the "
             "spread being the scaled median absolute deviation of the latest %10 (and at least a tenth of the "
             "median).</li>\n</ul>\n"
             "<p>A moderator can confirm an unconfirmed score, or hide any score; hidden scores leave the boards "
             "and the JSON, and their pages say so.</p>\n"
             "<h3>Rules of the JSON interface</h3>\n<ul>\n"
             "<li>Confirmed scores come first, each group ranked by time; every score says <code>\"confirmed\"</code> "
             "(true or false) and, when unconfirmed, why in <code>\"doubts\"</code> (<code>no_clock</code>, "
             "<code>few_scores</code>, <code>far_from_processor</code>).</li>\n"
             "<li>Hidden scores are never listed; <code>total</code> counts what is listed.</li>\n"
             "<li>Texts are the characters the pages show.</li>\n</ul>\n")
      .arg(kFirstTest)
      .arg(kLastTest)
      .arg(num::formatGeneral(timeFloor(6)), num::formatGeneral(timeFloor(11)))
      .arg(kMaxTitle)
      .arg(kMaxLink)
      .arg(kMaxHardwareBytes)
      .arg(kEnoughScores)
      .arg(kFarSpreads)
      .arg(kJudgedBy);
}

QByteArray aboutPage(int maxJsonLimit) {
  QString html = header(QStringLiteral("About this server - Rootix"));
  html += QStringLiteral(
              "<h1>About this server</h1>\n"
              "<p>This is a Rootix result server. Rootix is a multithreaded processor benchmark: it times how long "
              "a machine takes to compute the square roots of every whole number of a range, split over worker "
              "threads, with a fixed procedure that makes times comparable. The server keeps the scores people "
              "submit and shows them as <a href=\"/\">leaderboards</a>, one per test, fastest first.</p>\n"
              "<h2>Submitting a score</h2>\n"
              "<p>In Rootix, open the score browser and press the upload icon of a score. Rootix writes a page with "
              "the score's text in it and opens it in your browser; type a title, a description and a link if you "
              "like (50, 255 and 255 characters at most) and press the upload button. The page posts the form to "
              "<code>/?q=submit</code>; the server checks the score as Rootix itself would load it, stores it and "
              "sends you to its page. A run is stored once: the same run submitted again, in whatever bytes, leads to "
              "the entry made the first time, whose page then says when that was. "
              "A score is answered only once it is safely stored; when the database cannot take it you are told "
              "so and asked to try again later.</p>\n"
              "<h2>For scripts: the JSON interface</h2>\n"
              "<p><code>GET /api/v1/scores</code> returns the scores ranked by time, as "
              "<code>{\"total\", \"offset\", \"limit\", \"scores\": [...]}</code>. Parameters, all optional:</p>\n"
              "<table class=\"fields\">\n"
              "<tr><th>test</th><td>a test number from 1 to 16 (6 is 32M, 11 is 1024M); every test when left "
              "out</td></tr>\n"
              "<tr><th>cpu</th><td>only processors whose name contains this text, in any case</td></tr>\n"
              "<tr><th>limit</th><td>how many scores, 50 when left out; at most %1, a larger limit is taken as %1 "
              "and the reply's <code>limit</code> says so</td></tr>\n"
              "<tr><th>offset</th><td>how many ranked scores to skip, 0 when left out</td></tr>\n"
              "</table>\n"
              "<p>Each score carries its id, test, time in seconds, checksum, the submitted texts, the hardware it "
              "ran on, and the addresses of its page (<code>/score/ID</code>) and its score file "
              "(<code>/score/ID/file</code>, which Rootix reads with \"load\"), and in <code>conditions</code> the "
              "record of the run its page sent (kernel, threads, hypervisor, governor and more), or null for a score "
              "that came without one. <code>/healthz</code> answers "
              "<code>ok</code> while the database can be used.</p>\n"
              "<p>Example: <a href=\"/api/v1/scores?test=6&amp;limit=10\">/api/v1/scores?test=6&amp;limit=10</a></p>\n"
              "<p><code>GET /api/v1/export</code> returns every score the boards show, one JSON object a line "
              "(JSON Lines), each with its score file in <code>file_base64</code>; the server's operator loads such "
              "a file into another database with <code>rootix-server --import FILE</code>.</p>\n")
              .arg(maxJsonLimit);
  html += rulesSection();
  return (html + kFooter).toUtf8();
}

QByteArray messagePage(const QString& heading, const QString& text) {
  return (header(heading) +
          QStringLiteral("<h1>%1</h1>\n<p>%2</p>\n<p><a href=\"/\">Leaderboards</a></p>\n")
              .arg(htmlEscape(heading), htmlEscape(text)) +
          kFooter)
      .toUtf8();
}

}  // namespace rootix::server::pages
