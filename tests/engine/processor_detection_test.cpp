#include <gtest/gtest.h>

#include <hwloc.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "engine/processor_report.h"
#include "engine/processor_source.h"

namespace rootix::engine {
namespace {

TEST(ProcessorReport, TwoPackages) {
  EXPECT_EQ(processorReport({{QStringLiteral("Alpha 1"), 2400, 1024}, {QStringLiteral(" Beta 2 "), 800, 0}}),
            QStringLiteral("CPU Found: CPU0\r\nName:     Alpha 1\r\nSpeed:    2400 MHz\r\nL2 Cache: 1024 KB\r\n"
                           "CPU Found: CPU1\r\nName:     Beta 2\r\nSpeed:    800 MHz\r\nL2 Cache: 0 KB\r\n"));
}

const char* const kCpuInfo =
    "processor\t: 0\n"
    "vendor_id\t: GenuineTest\n"
    "model name\t: Test Processor @ 3.00GHz\n"
    "physical id\t: 0\n"
    "cpu MHz\t\t: 2095.989\n"
    "\n"
    "processor\t: 1\n"
    "model name\t: Test Processor @ 3.00GHz\n"
    "physical id\t: 1\n"
    "cpu MHz\t\t: 1200.5\n"
    "\n"
    "processor\t: 2\n"
    "flags\t\t: fpu vme\n";

TEST(ProcessorSource, ParsesCpuInfo) {
  const auto entries = parseCpuInfo(QString::fromUtf8(kCpuInfo));
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries.at(0).modelName, QStringLiteral("Test Processor @ 3.00GHz"));
  EXPECT_EQ(entries.at(0).mhz, 2095.989);
  EXPECT_EQ(entries.at(1).physicalId, 1);
  EXPECT_EQ(entries.at(1).mhz, 1200.5);
  EXPECT_TRUE(entries.at(2).modelName.isEmpty());
  EXPECT_EQ(entries.at(2).mhz, -1);
  EXPECT_TRUE(parseCpuInfo(QString()).empty());
}

TEST(ProcessorSource, ParsesScalingFrequency) {
  EXPECT_EQ(parseScalingFrequencyMHz(QStringLiteral("3600000\n")), 3600);
  EXPECT_EQ(parseScalingFrequencyMHz(QStringLiteral("2095500")), 2096);  // halves to even
  EXPECT_EQ(parseScalingFrequencyMHz(QStringLiteral("2094500")), 2094);
  EXPECT_EQ(parseScalingFrequencyMHz(QString()), -1);
  EXPECT_EQ(parseScalingFrequencyMHz(QStringLiteral("n/a")), -1);
}

int hwlocPackages() {
  hwloc_topology_t topo;
  hwloc_topology_init(&topo);
  hwloc_topology_load(topo);
  const int n = std::max(1, hwloc_get_nbobjs_by_type(topo, HWLOC_OBJ_PACKAGE));
  hwloc_topology_destroy(topo);
  return n;
}

TEST(SystemProcessorSource, ThisMachine) {
  SystemProcessorSource source;
  const auto packages = source.packages();
  ASSERT_EQ(static_cast<int>(packages.size()), hwlocPackages());
  for (const auto& pkg : packages) {
    EXPECT_FALSE(pkg.name.isEmpty());
    EXPECT_EQ(pkg.name, pkg.name.trimmed());
    EXPECT_GT(pkg.clockMHz, 0);
    EXPECT_GE(pkg.l2KB, 0);
  }
  EXPECT_EQ(source.packages()[0].name, packages[0].name) << "stable from one query to the next";
}

// The clock comes from cpufreq when it is there, else from /proc/cpuinfo;
// with neither the query fails instead of inventing a value.
TEST(SystemProcessorSource, ClockSources) {
  QTemporaryDir root;
  const QString proc = root.filePath(QStringLiteral("proc"));
  const QString sys = root.filePath(QStringLiteral("sys"));
  QDir().mkpath(proc);
  const QString freqDir = sys + QStringLiteral("/devices/system/cpu/cpu0/cpufreq");
  QDir().mkpath(freqDir);
  auto write = [](const QString& path, const QByteArray& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
  };

  write(proc + QStringLiteral("/cpuinfo"), QByteArray("processor\t: 0\nmodel name\t: Fake\ncpu MHz\t\t: 1499.6\n"));
  EXPECT_EQ(SystemProcessorSource(proc, sys).packages().at(0).clockMHz, 1500);

  write(freqDir + QStringLiteral("/scaling_cur_freq"), QByteArray("3200000\n"));
  EXPECT_EQ(SystemProcessorSource(proc, sys).packages().at(0).clockMHz, 3200);

  QFile::remove(freqDir + QStringLiteral("/scaling_cur_freq"));
  write(proc + QStringLiteral("/cpuinfo"), QByteArray("processor\t: 0\nmodel name\t: Fake\n"));
  EXPECT_THROW(SystemProcessorSource(proc, sys).packages(), std::exception);
}

}  // namespace
}  // namespace rootix::engine
