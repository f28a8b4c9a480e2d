#include "submit/server_address.h"

#include <QUrl>

namespace rootix::submit {

ServerAddress::ServerAddress(QString fromEnvironment) : environment_(std::move(fromEnvironment).trimmed()) {}

QString ServerAddress::base() const {
  QString address = !session_.isEmpty() ? session_ : !environment_.isEmpty() ? environment_ : kDefault;
  // base + "/?q=submit" must not become "//?q=submit".
  while (address.endsWith(u'/')) address.chop(1);
  return address;
}

Result<void> ServerAddress::usable(const QString& base) {
  const QUrl url(base, QUrl::StrictMode);
  QString problem;
  if (!url.isValid() || url.isRelative()) {
    problem = QStringLiteral("not an absolute address");
  } else if (url.scheme() != u"http" && url.scheme() != u"https") {
    problem = QStringLiteral("only http:// and https:// addresses can receive the form");
  } else if (url.host().isEmpty()) {
    problem = QStringLiteral("no host name");
  } else if (url.hasQuery() || url.hasFragment()) {
    problem = QStringLiteral("a base address has no ? or # part");
  }
  if (problem.isEmpty()) return {};
  return Failure{kInvalidProcedureCall, problem};
}

QString ServerAddress::refusal(const QString& base) {
  const Result<void> checked = usable(base);
  if (checked) return {};
  return QStringLiteral("The result server address \"") + base + QStringLiteral("\" cannot be used: ") +
         checked.failure().text + u'.';
}

}  // namespace rootix::submit
