#pragma once

#include <QString>
#include <QStringView>
#include <functional>

#include "hardware/hash_table.h"
#include "hardware/waiter.h"

namespace rootix::hardware {

// Turns the report tool's text report into a table keyed "section.item",
// e.g. "Processors Information.Clock Speed 0". Knows the report's layout,
// nothing of what the items mean. Prints an opening line and progress lines
// (about one per twentieth of the report), letting events run after each.
HashTable ParseCPUzOutput(const QString& text, const PrintFn& print, const std::function<void()>& pumpEvents = {});

// The text before the first tab; empty when there is no tab or the line
// starts with one.
QString GetTabKey(QStringView line);
// The text after the last tab; the whole line when there is no tab.
QString GetTabValue(QStringView line);

}  // namespace rootix::hardware
