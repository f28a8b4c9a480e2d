#pragma once

#include <QNetworkAccessManager>

#include "gui/server_probe.h"

namespace rootix::gui {

// GET /healthz on the event loop, given up after kTimeoutMs.
class HttpServerProbe : public ServerProbe {
 public:
  static constexpr int kTimeoutMs = 2000;

  HttpServerProbe();
  ~HttpServerProbe() override;
  HttpServerProbe(const HttpServerProbe&) = delete;
  HttpServerProbe& operator=(const HttpServerProbe&) = delete;

  void probe(const QString& base, std::function<void(bool answered)> answered) override;

 private:
  QNetworkAccessManager network_;
};

}  // namespace rootix::gui
