#include "engine/run_conditions.h"

#include <gtest/gtest.h>

namespace rootix::engine {
namespace {

TEST(RunConditions, HypervisorByItsSignature) {
  struct Case {
    bool flagged;
    QByteArray signature;
    std::optional<QString> expected;
  };
  const Case cases[] = {
      {false, "KVMKVMKVM\0\0\0", std::nullopt},  // bare metal whatever the leaf says
      {true, QByteArray("KVMKVMKVM\0\0\0", 12), QStringLiteral("KVM")},
      {true, "Microsoft Hv", QStringLiteral("Hyper-V")},
      {true, "VMwareVMware", QStringLiteral("VMware")},
      {true, "XenVMMXenVMM", QStringLiteral("Xen")},
      {true, "TCGTCGTCGTCG", QStringLiteral("QEMU")},
      {true, "NewVisor\x01\x02  ", QStringLiteral("NewVisor")},
      {true, QByteArray(12, '\0'), QStringLiteral("unknown")},
  };
  for (const Case& c : cases)
    EXPECT_EQ(hypervisorName(c.flagged, c.signature), c.expected) << c.signature.toStdString();
}

TEST(RunConditions, CpuInfoOfTheFirstProcessor) {
  MachineFacts f;
  parseCpuInfoFacts(QStringLiteral("processor\t: 0\nvendor_id\t: GenuineIntel\ncpu family\t: 6\nmodel\t\t: 207\n"
                                   "model name\t: Intel(R) Xeon(R) Processor\nstepping\t: 2\nmicrocode\t: 0x1\n\n"
                                   "processor\t: 1\nmodel name\t: Other\n"),
                    f);
  EXPECT_EQ(f.vendor, QStringLiteral("GenuineIntel"));
  EXPECT_EQ(f.processor, QStringLiteral("Intel(R) Xeon(R) Processor"));
  EXPECT_EQ(f.family, 6);
  EXPECT_EQ(f.model, 207);
  EXPECT_EQ(f.stepping, 2);
  EXPECT_EQ(f.microcode, QStringLiteral("0x1"));
  MachineFacts empty;
  parseCpuInfoFacts(QString(), empty);
  EXPECT_EQ(empty.family, -1) << "unknown, not 0";
}

TEST(RunConditions, LoadAndSteal) {
  const LoadSample before = parseLoad(QStringLiteral("1.50 1.00 0.50 2/300 99\n"),
                                      QStringLiteral("cpu  10 0 10 70 5 0 0 5 3 0\ncpu0 1 2 3\n"));
  EXPECT_EQ(before.load1, 1.5);
  EXPECT_EQ(before.totalTicks, 100u) << "guest time is inside user time already";
  EXPECT_EQ(before.stealTicks, 5u);
  const LoadSample after = parseLoad(QString(), QStringLiteral("cpu  20 0 20 145 5 0 0 10 0 0\n"));
  EXPECT_EQ(after.load1, -1);
  EXPECT_DOUBLE_EQ(stealPercent(before, after), 5.0);
  EXPECT_EQ(stealPercent(after, before), 0) << "a counter that went back tells nothing";
  EXPECT_EQ(parseMemTotalMb(QStringLiteral("MemTotal:       2048 kB\n")), 2);
}

}  // namespace
}  // namespace rootix::engine
