#include "support/rootix_process.h"

#include <QDir>
#include <QFile>
#include <QProcess>

namespace rootix::testing {

QStringList RootixRun::lines() const {
  QString text = QString::fromUtf8(out);
  text.remove(u'\r');
  if (text.endsWith(u'\n')) text.chop(1);
  return text.isEmpty() ? QStringList() : text.split(u'\n');
}

RootixSandbox::RootixSandbox() {
  QDir(dir_.path()).mkdir(QStringLiteral("tmp"));
  QDir(dir_.path()).mkdir(QStringLiteral("config"));
  // Its own runtime folder, so the instance lock of one test's Rootix never
  // stops another's.
  QDir(dir_.path()).mkdir(QStringLiteral("run"));
  QFile::setPermissions(path(QStringLiteral("run")),
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

QString RootixSandbox::binary() const {
  return qEnvironmentVariable("ROOTIX_BINARY", QStringLiteral(ROOTIX_BINARY_PATH));
}

QString sourceDir() { return qEnvironmentVariable("ROOTIX_SOURCE_DIR", QStringLiteral(ROOTIX_SOURCE_PATH)); }

QProcessEnvironment RootixSandbox::environment() const {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove(QStringLiteral("DISPLAY"));
  env.remove(QStringLiteral("WAYLAND_DISPLAY"));
  env.insert(QStringLiteral("TMPDIR"), path(QStringLiteral("tmp")));
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
  env.insert(QStringLiteral("XDG_RUNTIME_DIR"), path(QStringLiteral("run")));
  return env;
}

QString RootixSandbox::copyWith(const QString& name, const QByteArray& appended) const {
  const QString copy = path(name);
  QFile file(copy);
  if (!QFile::copy(binary(), copy) || !file.open(QIODevice::Append) || file.write(appended) != appended.size()) {
    return {};
  }
  file.close();
  file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
  return copy;
}

RootixRun RootixSandbox::run(const QStringList& args, const QByteArray& input, int timeoutMs,
                             const QString& program) const {
  QProcess process;
  process.setProcessEnvironment(environment());
  process.setWorkingDirectory(dir_.path());
  process.start(program.isEmpty() ? binary() : program, args);
  RootixRun result;
  if (!process.waitForStarted(10000)) return result;
  process.write(input);
  process.closeWriteChannel();
  result.finished = process.waitForFinished(timeoutMs);
  if (!result.finished) {
    process.kill();
    process.waitForFinished();
  }
  result.exitCode = process.exitCode();
  result.out = process.readAllStandardOutput();
  result.err = process.readAllStandardError();
  return result;
}

}  // namespace rootix::testing
