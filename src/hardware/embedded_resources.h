#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace rootix::hardware {

// Files carried inside the rootix executable (type "CUSTOM"): "CPUZ201.EXE",
// our hardware report tool, and "CPUZ.INI", its configuration. The lookup
// ignores letter case. std::nullopt when no such resource exists.
std::optional<QByteArray> loadResource(const QString& name);

}  // namespace rootix::hardware
