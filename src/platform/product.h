#pragma once

#include <QString>

namespace rootix::platform {

// The product title: window captions, the welcome line, message box captions.
inline const QString kProductTitle = QStringLiteral("Rootix Benchmark v2.11");

}  // namespace rootix::platform
