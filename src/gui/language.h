#pragma once

#include <QString>
#include <QStringView>

namespace rootix::gui {

// Where "button-3-tooltip" sends people whose hardware page was wrong.
inline constexpr char16_t kSupportAddress[] = u"support@rootix.example.org";

// The graphical window's texts by key: exact, case-sensitive match, the
// empty text for an unknown key. The table is fixed at build time.
QString getText(QStringView key);

}  // namespace rootix::gui
