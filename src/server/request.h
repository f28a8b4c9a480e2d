#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
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
};

}  // namespace rootix::server
