#pragma once

#include <QString>
#include <cstdint>
#include <vector>

namespace rootix::hardware {

// Text values looked up by text keys: the parsed hardware report.
//
// An unbalanced binary search tree ordered by ordinal UTF-16 comparison
// (case-sensitive, a prefix sorts first, the empty key lowest). A node whose
// key is empty is free: the next setValue that reaches it stores its key
// there. Entries are never removed.
//
// Reports often list their keys in sorted order, which makes the tree one
// long chain. Every walk is therefore a loop, and the nodes live in one
// array, so neither a deep lookup nor dropping the table recurses.
class HashTable {
 public:
  HashTable();
  // A moved-from table reads as empty and can be filled again.
  HashTable(HashTable&& other) noexcept;
  HashTable& operator=(HashTable&& other) noexcept;
  HashTable(const HashTable&) = delete;
  HashTable& operator=(const HashTable&) = delete;

  // Stores value under id, replacing an earlier value of the same key.
  void setValue(const QString& id, const QString& value);
  // The value stored under id; the empty text when there is none.
  QString getValue(const QString& id) const;

  // Nodes that hold a key (the free ones do not count).
  int64_t entryCount() const;
  // Nodes on the longest path from the root; 1 for a new table.
  int64_t depth() const;

 private:
  using Index = int32_t;  // 0 is the root, and as a child link "none"

  struct Node {
    QString id;
    QString value;
    Index lower = 0;
    Index higher = 0;
  };

  Index newNode();
  // Stores into the free or equal node at index.
  void store(Index at, const QString& id, const QString& value);

  std::vector<Node> nodes_;
  // The ends of the tree. A key beyond the highest (or below the lowest)
  // key would walk the whole outer edge to land here, so it goes straight
  // to it: the same tree, without the walk that sorted input makes
  // quadratic.
  Index highest_ = 0;
  Index lowest_ = 0;
};

}  // namespace rootix::hardware
