#include "app/instance_check.h"

#include <QFile>
#include <cstdio>

#include "platform/runtime_error.h"
#include "platform/temp_folder.h"

namespace rootix::app {
namespace {

void complain(const QString& line) { std::fprintf(stderr, "rootix: %s\n", line.toLocal8Bit().constData()); }

}  // namespace

InstanceCheck claimInstance() {
  InstanceCheck check;
  const platform::TempBase base = platform::tempBase();
  if (!base.warning.isEmpty()) complain(base.warning);
  try {
    platform::checkedTempFolder();
    check.lock = std::make_unique<platform::InstanceLock>(
        platform::InstanceLock::folderFor(QFile::decodeName(qgetenv("XDG_RUNTIME_DIR"))));
  } catch (const RuntimeError& e) {
    complain(QString::fromLocal8Bit(e.what()));
    check.status = 1;
    return check;
  }
  switch (check.lock->tryLock()) {
    case platform::InstanceLock::Result::Acquired:
      break;
    case platform::InstanceLock::Result::HeldByAnother:
      complain(QStringLiteral("already running for this user"));
      check.status = 3;
      break;
    case platform::InstanceLock::Result::Unusable:
      complain(check.lock->problem());
      check.status = 1;
      break;
  }
  return check;
}

}  // namespace rootix::app
