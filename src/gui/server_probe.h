#pragma once

#include <QString>
#include <functional>

namespace rootix::gui {

// Whether a result server answers at an address, asked before the window
// sends the browser there.
class ServerProbe {
 public:
  virtual ~ServerProbe() = default;
  // Asks base + "/healthz"; calls answered(true) when a result server
  // replies and answered(false) when nothing does in time. Never blocks:
  // answered runs later on the calling thread (or at once in a fake).
  virtual void probe(const QString& base, std::function<void(bool answered)> answered) = 0;
};

}  // namespace rootix::gui
