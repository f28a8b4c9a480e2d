#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <functional>
#include <utility>

namespace rootix::server {

// One request as the server's logic sees it, whatever transport read it.
struct Request {
  QByteArray method;  // as sent: "GET", "POST", ...
  QByteArray target;  // the path with its query, as sent
  // In the order sent; names as sent (compare them without case).
  QList<std::pair<QByteArray, QByteArray>> headers;
  QByteArray body;
  QHostAddress peer;  // the address the connection came from

  // The first header of that name (any case), or an empty value.
  QByteArray header(const QByteArray& name) const {
    for (const auto& [n, v] : headers) {
      if (n.compare(name, Qt::CaseInsensitive) == 0) return v;
    }
    return {};
  }
};

// What a request gets: status, type, body and any extra headers.
struct Reply {
  int status = 200;
  QByteArray contentType;
  QByteArray body;
  QList<std::pair<QByteArray, QByteArray>> headers;
  // When set, the body is sent as it is made instead: each call gives the
  // next piece, an empty one ends it. What it throws cuts the reply off.
  std::function<QByteArray()> stream = nullptr;
};

}  // namespace rootix::server
