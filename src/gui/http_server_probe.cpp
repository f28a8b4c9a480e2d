#include "gui/http_server_probe.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

namespace rootix::gui {

HttpServerProbe::HttpServerProbe() { network_.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy); }

HttpServerProbe::~HttpServerProbe() {
  // Replies still open die with the manager; their callbacks must not run
  // into an owner that is being destroyed.
  for (QNetworkReply* reply : network_.findChildren<QNetworkReply*>()) {
    reply->disconnect();
    reply->abort();
  }
}

void HttpServerProbe::probe(const QString& base, std::function<void(bool answered)> answered) {
  QNetworkRequest request(QUrl(base + QStringLiteral("/healthz")));
  QNetworkReply* reply = network_.get(request);
  // However far it got (name lookup, connecting, waiting for an answer).
  QTimer::singleShot(kTimeoutMs, reply, [reply] { reply->abort(); });
  QObject::connect(reply, &QNetworkReply::finished, reply, [reply, answered = std::move(answered)] {
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    reply->deleteLater();
    // Any other program on that port is not a result server.
    answered(reply->error() == QNetworkReply::NoError && status == 200);
  });
}

}  // namespace rootix::gui
