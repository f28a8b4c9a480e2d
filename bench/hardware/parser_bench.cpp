// Parsing a hardware report of 100,000 lines: a long recorded report, a
// report whose keys all differ and arrive sorted (the table's worst shape),
// and the same keys shuffled.

#include <benchmark/benchmark.h>

#include <QFile>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <random>

#include "hardware/report_parser.h"

namespace {

using rootix::hardware::ParseCPUzOutput;

constexpr int kLines = 100000;

const rootix::hardware::PrintFn kQuiet = [](const QString&) {};

// The recorded desktop report, its sections repeated until the report is
// kLines long. Each copy gets its own section titles, so keys keep growing
// as they would with many processors.
QString recordedReport() {
  QFile file(QStringLiteral(ROOTIX_BENCH_DATA "/cpuz/ryzen7-5800x3d-v2.05.txt"));
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QStringList body = QString::fromLatin1(file.readAll()).split(QStringLiteral("\r\n"));
  QStringList lines;
  for (int copy = 0; lines.size() < kLines; ++copy) {
    for (const QString& line : body) {
      if (lines.size() == kLines) break;
      // Section titles stand right above their underline.
      const bool title = !line.isEmpty() && !line.startsWith(u'\t') && !line.startsWith(u'-');
      lines << (title && copy > 0 ? line + u' ' + QString::number(copy) : line);
    }
  }
  return lines.join(QStringLiteral("\r\n"));
}

QString distinctKeys(bool sorted) {
  std::vector<int> order(kLines - 3);
  for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  if (!sorted) std::shuffle(order.begin(), order.end(), std::mt19937(1));
  QStringList lines{QStringLiteral("Storage"), QString(73, u'-'), QString()};
  for (int i : order) lines << QStringLiteral("\tDrive %1\t\t%2 GB").arg(i, 6, 10, QChar(u'0')).arg(i);
  return lines.join(QStringLiteral("\r\n"));
}

void parse(benchmark::State& state, const QString& report) {
  if (report.isEmpty()) {
    state.SkipWithError("report not found");
    return;
  }
  for (auto _ : state) {
    auto table = ParseCPUzOutput(report, kQuiet);
    benchmark::DoNotOptimize(table);
  }
  state.SetItemsProcessed(state.iterations() * (report.count(QStringLiteral("\r\n")) + 1));
}

void BM_ParseRecordedReport(benchmark::State& state) { parse(state, recordedReport()); }
void BM_ParseSortedKeys(benchmark::State& state) { parse(state, distinctKeys(true)); }
void BM_ParseShuffledKeys(benchmark::State& state) { parse(state, distinctKeys(false)); }

}  // namespace

BENCHMARK(BM_ParseRecordedReport)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseSortedKeys)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseShuffledKeys)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
