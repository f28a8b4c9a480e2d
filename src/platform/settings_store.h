#pragma once

#include <QString>

namespace rootix::platform {

// Per-user settings addressed by (application, section, key); a missing key
// reads as the empty text.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  virtual QString get(const QString& app, const QString& section, const QString& key) = 0;
  virtual void set(const QString& app, const QString& section, const QString& key, const QString& value) = 0;
  // Throws RuntimeError when the store cannot be written.
  virtual void remove(const QString& app, const QString& section, const QString& key) = 0;
};

// One INI file per application under the user's config folder
// ($XDG_CONFIG_HOME, else ~/.config): "<config>/rootix/<app>.ini".
class IniSettingsStore : public SettingsStore {
 public:
  QString get(const QString& app, const QString& section, const QString& key) override;
  void set(const QString& app, const QString& section, const QString& key, const QString& value) override;
  void remove(const QString& app, const QString& section, const QString& key) override;

  static QString fileFor(const QString& app);
};

}  // namespace rootix::platform
