#pragma once

#include <QString>

#include "platform/result.h"

namespace rootix::submit {

// The result server's base address, kept in one place: the picture links
// and the submission page both take it from here.
class ServerAddress {
 public:
  // Where the result server listens when started without arguments.
  static inline const QString kDefault = QStringLiteral("http://127.0.0.1:8080");
  // The environment variable that overrides the default.
  static constexpr const char* kEnvironmentVariable = "ROOTIX_SERVER";

  // fromEnvironment is the value of ROOTIX_SERVER (empty when unset).
  explicit ServerAddress(QString fromEnvironment = qEnvironmentVariable(kEnvironmentVariable));

  // The address in use, without trailing slashes: what "hserver" set for
  // this session, else ROOTIX_SERVER, else kDefault.
  QString base() const;

  // "hserver": an empty text leaves the choice to the environment again.
  void setSession(const QString& address) { session_ = address; }
  // What "hserver" set, as "gethserver" prints it (empty when unset).
  const QString& session() const { return session_; }

  // Whether base can serve as a form action and picture source: an
  // absolute http:// or https:// address with a host; else fails saying why not.
  static Result<void> usable(const QString& base);
  // The message that refuses base where it cannot be used; empty when it can.
  // Every use of the address (the form, the picture links) says the same.
  static QString refusal(const QString& base);

 private:
  QString environment_;
  QString session_;
};

}  // namespace rootix::submit
