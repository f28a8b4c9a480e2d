#include "hardware/report_capture.h"

#include <QStringList>
#include <exception>

#include "hardware/report_parser.h"
#include "platform/files.h"
#include "platform/process_launcher.h"
#include "platform/temp_folder.h"
#include "platform/text.h"

namespace rootix::hardware {
namespace {

// The temporary folder is looked up afresh for every path.
QString tempPath(const QString& name) { return text::addSlash(platform::tempFolder()) + name; }

class Armed {
 public:
  explicit Armed(AbortKey& key) : key_(key) { key_.arm(); }
  ~Armed() { key_.disarm(); }
  Armed(const Armed&) = delete;
  Armed& operator=(const Armed&) = delete;

 private:
  AbortKey& key_;
};

const QString kCanceled = QStringLiteral("Hardware scan canceled");

}  // namespace

ReportCapture::ReportCapture(PrintFn print, platform::ProcessLauncher& launcher, Waiter& waiter, AbortKey& abortKey,
                             CaptureOptions options)
    : print_(std::move(print)), launcher_(launcher), waiter_(waiter), abortKey_(abortKey), options_(options) {}

HashTable ReportCapture::GatherCPUzInfo() {
  const QString reportPath = ShellCPUz();
  const QString report = ReadCPUzOutput(reportPath);
  return ParseCPUzOutput(report, print_, [this] { waiter_.pumpEvents(); });
}

bool ReportCapture::shouldStop(int64_t startMs) {
  if (options_.abortable) return abortKey_.held();
  return waiter_.nowMs() - startMs >= options_.unattendedLimitMs;
}

void ReportCapture::endTool() {
  if (toolPid_ > 0) launcher_.terminate(toolPid_);
  toolPid_ = 0;
}

QString ReportCapture::ShellCPUz() {
  print_(QStringLiteral("Gathering CPUz information"));

  // A report left from an earlier run must not pass for the new one. If it
  // cannot be deleted, it is taken as the report after the settle delay.
  if (platform::files::exists(tempPath(QStringLiteral("out.txt")))) {
    print_(QStringLiteral("Removing previous CPUid information"));
    try {
      platform::files::remove(tempPath(QStringLiteral("out.txt")), true);
    } catch (const std::exception&) {
    }
  }

  print_(QStringLiteral("Shelling CPUz -txt=") + tempPath(QStringLiteral("out.txt")));
  // "cpuz201" names the tool file "cpuz201.exe", as the Windows shell finds
  // it. One argument: the tool adds ".txt" to the name after "-txt=".
  // Whether it started is not checked; a tool that never writes the report
  // shows as a wait that has to be aborted.
  toolPid_ = launcher_.startDetached(tempPath(QStringLiteral("cpuz201.exe")),
                                     {QStringLiteral("-txt=") + tempPath(QStringLiteral("out"))});

  print_(QStringLiteral("Waiting for CPUz information"));
  print_(QStringLiteral("Hold shift to abort"));
  print_(QStringLiteral("Please stand by..."));

  {
    const Armed armed(abortKey_);
    const int64_t start = waiter_.nowMs();
    while (!platform::files::exists(tempPath(QStringLiteral("out.txt")))) {
      if (shouldStop(start)) {
        endTool();
        print_(kCanceled);
        return {};
      }
      waiter_.idle(kPollMs);
    }
  }

  // The only handshake with the tool: give it a moment to finish writing.
  waiter_.idle(kSettleMs);
  print_(QStringLiteral("CPUz output complete"));
  return tempPath(QStringLiteral("out.txt"));
}

QString ReportCapture::ReadCPUzOutput(const QString& reportPath) {
  if (reportPath.isEmpty()) return {};
  int64_t firstFailure = -1;
  for (;;) {
    try {
      // An empty report counts as a failed read.
      const QByteArray bytes = platform::files::readAll(reportPath);
      if (!bytes.isEmpty()) return text::fromSingleByte(bytes);
    } catch (const std::exception&) {
    }

    print_(QStringLiteral("CPUz output failed. Will reattempt. Hold shift to abort."));
    const Armed armed(abortKey_);
    if (firstFailure < 0) firstFailure = waiter_.nowMs();
    for (int round = 1; round <= 3; ++round) {
      if (shouldStop(firstFailure)) {
        endTool();
        // A held key ends quietly; running out of time says why.
        if (!options_.abortable) print_(kCanceled);
        return {};
      }
      waiter_.idle(1000);
      print_(QStringLiteral("Reattempting in ") + QString::number(4 - round));
    }
  }
}

}  // namespace rootix::hardware
