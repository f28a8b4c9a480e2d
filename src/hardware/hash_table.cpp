#include "hardware/hash_table.h"

#include <QStringView>
#include <algorithm>
#include <limits>
#include <stdexcept>
#include <string_view>
#include <utility>

namespace rootix::hardware {
namespace {

// Ordinal: UTF-16 code units from the first on, a prefix sorting first.
int compareOrdinal(const QString& a, const QString& b) {
  const std::u16string_view x(QStringView(a).utf16(), static_cast<size_t>(a.size()));
  const std::u16string_view y(QStringView(b).utf16(), static_cast<size_t>(b.size()));
  return x.compare(y);
}

}  // namespace

HashTable::HashTable() { nodes_.emplace_back(); }

HashTable::HashTable(HashTable&& other) noexcept
    : nodes_(std::move(other.nodes_)),
      highest_(std::exchange(other.highest_, 0)),
      lowest_(std::exchange(other.lowest_, 0)) {
  other.nodes_.clear();
}

HashTable& HashTable::operator=(HashTable&& other) noexcept {
  if (this != &other) {
    nodes_ = std::move(other.nodes_);
    highest_ = std::exchange(other.highest_, 0);
    lowest_ = std::exchange(other.lowest_, 0);
    other.nodes_.clear();
  }
  return *this;
}

HashTable::Index HashTable::newNode() {
  if (nodes_.size() >= static_cast<size_t>(std::numeric_limits<Index>::max())) {
    throw std::length_error("hash table full");
  }
  nodes_.emplace_back();
  return static_cast<Index>(nodes_.size() - 1);
}

void HashTable::store(Index at, const QString& id, const QString& value) {
  Node& node = nodes_[static_cast<size_t>(at)];
  node.value = value;
  node.id = id;
}

void HashTable::setValue(const QString& id, const QString& value) {
  if (nodes_.empty()) nodes_.emplace_back();
  Index at = 0;
  const Node& top = nodes_[static_cast<size_t>(highest_)];
  const Node& bottom = nodes_[static_cast<size_t>(lowest_)];
  if (!top.id.isEmpty() && compareOrdinal(id, top.id) > 0) {
    at = highest_;
  } else if (!bottom.id.isEmpty() && compareOrdinal(id, bottom.id) < 0) {
    at = lowest_;
  }

  for (;;) {
    const Node& node = nodes_[static_cast<size_t>(at)];
    if (node.id.isEmpty()) break;  // free: take it, whatever the key
    const int order = compareOrdinal(id, node.id);
    if (order == 0) break;
    const bool higher = order > 0;
    const Index next = higher ? node.higher : node.lower;
    if (next != 0) {
      at = next;
      continue;
    }
    // newNode may move the array: no references across it.
    const Index child = newNode();
    Node& parent = nodes_[static_cast<size_t>(at)];
    if (higher) {
      parent.higher = child;
      if (at == highest_) highest_ = child;
    } else {
      parent.lower = child;
      if (at == lowest_) lowest_ = child;
    }
    at = child;
    break;
  }
  store(at, id, value);
}

QString HashTable::getValue(const QString& id) const {
  if (nodes_.empty()) return {};
  Index at = 0;
  for (;;) {
    const Node& node = nodes_[static_cast<size_t>(at)];
    const int order = compareOrdinal(id, node.id);
    if (order == 0) return node.value;
    at = order > 0 ? node.higher : node.lower;
    if (at == 0) return {};
  }
}

int64_t HashTable::entryCount() const {
  int64_t count = 0;
  for (const Node& node : nodes_) {
    if (!node.id.isEmpty()) ++count;
  }
  return count;
}

int64_t HashTable::depth() const {
  if (nodes_.empty()) return 1;
  int64_t deepest = 0;
  std::vector<std::pair<Index, int64_t>> pending{{0, 1}};
  while (!pending.empty()) {
    const auto [at, level] = pending.back();
    pending.pop_back();
    deepest = std::max(deepest, level);
    const Node& node = nodes_[static_cast<size_t>(at)];
    if (node.lower != 0) pending.emplace_back(node.lower, level + 1);
    if (node.higher != 0) pending.emplace_back(node.higher, level + 1);
  }
  return deepest;
}

}  // namespace rootix::hardware
