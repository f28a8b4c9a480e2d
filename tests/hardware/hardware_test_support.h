#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdint>
#include <functional>
#include <map>
#include <ostream>
#include <stdexcept>

#include "hardware/report_capture.h"
#include "hardware/waiter.h"
#include "platform/files.h"
#include "platform/process_launcher.h"
#include "platform/temp_folder.h"
#include "platform/text.h"

// Readable texts in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace rootix::hardware::testing {

// Every test gets a fresh temporary folder: TMPDIR points into a folder of
// its own, so the real one is never touched.
class TempFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    hadTmp_ = qEnvironmentVariableIsSet("TMPDIR");
    oldTmp_ = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(dir_.path()));
    T = platform::tempFolder();
  }
  void TearDown() override {
    if (hadTmp_) {
      qputenv("TMPDIR", oldTmp_);
    } else {
      qunsetenv("TMPDIR");
    }
  }

  void writeTemp(const QString& name, const QByteArray& bytes, int permissions = 0600) {
    platform::files::writeAtomic(T + name, bytes, permissions);
  }
  bool tempExists(const QString& name) const { return platform::files::exists(T + name); }

  QString T;  // the private temporary folder, ending in "/"

 private:
  QTemporaryDir dir_;
  bool hadTmp_ = false;
  QByteArray oldTmp_;
};

// Collects printed lines.
struct PrintLog {
  QStringList lines;
  PrintFn fn() {
    return [this](const QString& s) { lines << s; };
  }
};

// A clock of its own: waits take no time, and actions scheduled for a
// moment run when the waits reach it.
class FakeWaiter : public Waiter {
 public:
  int64_t now = 0;
  int pumps = 0;
  std::vector<int> idles;
  std::multimap<int64_t, std::function<void()>> due;

  void at(int64_t ms, std::function<void()> action) { due.emplace(ms, std::move(action)); }

  void pumpEvents() override { ++pumps; }
  void idle(int ms) override {
    idles.push_back(ms);
    now += ms;
    if (now > 10LL * 3600 * 1000) throw std::runtime_error("test waited for ten hours");
    runDue();
  }
  int64_t nowMs() override { return now; }

  void runDue() {
    while (!due.empty() && due.begin()->first <= now) {
      auto action = std::move(due.begin()->second);
      due.erase(due.begin());
      action();
    }
  }
};

// Held from a given moment on; remembers when it was asked.
class FakeAbortKey : public AbortKey {
 public:
  explicit FakeAbortKey(Waiter& clock) : clock_(clock) {}
  int64_t heldFrom = -1;  // never
  std::vector<int64_t> samples;
  int arms = 0;
  int disarms = 0;

  bool held() override {
    samples.push_back(clock_.nowMs());
    return heldFrom >= 0 && clock_.nowMs() >= heldFrom;
  }
  void arm() override { ++arms; }
  void disarm() override { ++disarms; }

 private:
  Waiter& clock_;
};

class FakeLauncher : public platform::ProcessLauncher {
 public:
  struct Call {
    QString program;
    QStringList args;
  };
  std::vector<Call> calls;
  std::vector<int64_t> terminated;
  std::function<void()> onStart;
  bool starts = true;

  int64_t startDetached(const QString& program, const QStringList& args) override {
    calls.push_back({program, args});
    if (onStart) onStart();
    return starts ? 4242 : 0;
  }
  void terminate(int64_t pid) override { terminated.push_back(pid); }
};

// A recorded report from tests/hardware/data/cpuz, as the capture reads it.
inline QString readRecordedReport(const QString& name) {
  return text::fromSingleByte(platform::files::readAll(QStringLiteral(ROOTIX_HARDWARE_TEST_DATA "/cpuz/") + name));
}

// Report text from lines, joined as the tool writes them.
inline QString reportText(const QStringList& lines) { return lines.join(QStringLiteral("\r\n")); }

}  // namespace rootix::hardware::testing
