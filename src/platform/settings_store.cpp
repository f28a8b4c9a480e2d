#include "platform/settings_store.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

#include "platform/runtime_error.h"

namespace rootix::platform {
namespace {

QString keyPath(const QString& section, const QString& key) { return section + u'/' + key; }

}  // namespace

QString IniSettingsStore::fileFor(const QString& app) {
  const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return base + QStringLiteral("/rootix/") + app + QStringLiteral(".ini");
}

QString IniSettingsStore::get(const QString& app, const QString& section, const QString& key) {
  QSettings settings(fileFor(app), QSettings::IniFormat);
  return settings.value(keyPath(section, key)).toString();
}

void IniSettingsStore::set(const QString& app, const QString& section, const QString& key, const QString& value) {
  QDir().mkpath(QFileInfo(fileFor(app)).absolutePath());
  QSettings settings(fileFor(app), QSettings::IniFormat);
  settings.setValue(keyPath(section, key), value);
  settings.sync();
  if (settings.status() != QSettings::NoError) throw RuntimeError(kPermissionDenied, "settings not written");
}

void IniSettingsStore::remove(const QString& app, const QString& section, const QString& key) {
  QSettings settings(fileFor(app), QSettings::IniFormat);
  settings.remove(keyPath(section, key));
  settings.sync();
  if (settings.status() != QSettings::NoError) throw RuntimeError(kPermissionDenied, "settings not written");
}

}  // namespace rootix::platform
