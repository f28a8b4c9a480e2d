#include <gtest/gtest.h>

#include <QString>
#include <map>
#include <random>

#include "hardware/hash_table.h"

namespace rootix::hardware {
namespace {

struct Entry {
  const char16_t* key;
  const char16_t* value;
};

struct TableCase {
  const char* name;
  std::vector<Entry> stored;    // setValue, in order
  std::vector<Entry> expected;  // getValue(key) == value
  int64_t entries;
  int64_t depth = 0;  // checked when not 0: shows the order of the keys
};

void PrintTo(const TableCase& c, std::ostream* os) { *os << c.name; }

class HashTableCases : public ::testing::TestWithParam<TableCase> {};

TEST_P(HashTableCases, StoresAndReads) {
  const TableCase& c = GetParam();
  HashTable table;
  for (const Entry& e : c.stored) table.setValue(QString::fromUtf16(e.key), QString::fromUtf16(e.value));
  for (const Entry& e : c.expected) {
    EXPECT_EQ(table.getValue(QString::fromUtf16(e.key)), QString::fromUtf16(e.value))
        << "key '" << QString::fromUtf16(e.key).toStdString() << "'";
  }
  EXPECT_EQ(table.entryCount(), c.entries);
  if (c.depth != 0) {
    EXPECT_EQ(table.depth(), c.depth);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, HashTableCases,
    ::testing::Values(TableCase{"Empty", {}, {{u"", u""}, {u"k", u""}}, 0},
                      TableCase{"Overwrite", {{u"k", u"1"}, {u"k", u"2"}}, {{u"k", u"2"}}, 1},
                      TableCase{"CaseSensitive",
                                {{u"Key", u"upper"}, {u"key", u"lower"}, {u"a", u"A"}, {u"B", u"b"}},
                                {{u"Key", u"upper"}, {u"key", u"lower"}, {u"a", u"A"}, {u"B", u"b"}, {u"KEY", u""}},
                                4},
                      // The empty key only marks a free node: the next key takes it over.
                      TableCase{"EmptyKeyIsFree", {{u"", u"v"}, {u"k", u"w"}}, {{u"", u""}, {u"k", u"w"}}, 1},
                      TableCase{"EmptyKeyBelowEntries",
                                {{u"m", u"1"}, {u"", u"free"}, {u"a", u"2"}},
                                {{u"m", u"1"}, {u"a", u"2"}, {u"", u""}},
                                2},
                      TableCase{"PrefixIsSeparateLowerEntry",
                                {{u"Chipset.Memory Type", u"DDR3"}, {u"Chipset.Memory", u"x"}},
                                {{u"Chipset.Memory", u"x"}, {u"Chipset.Memory Type", u"DDR3"}, {u"Chipset.Memor", u""}},
                                2},
                      // Code units, not code points: U+FF5E sorts above a surrogate pair,
                      // so all three keys line up on the lower side (depth 3, not 2).
                      TableCase{"OrdinalCodeUnits",
                                {{u"\uFF5E", u"wide"}, {u"\U0001F600", u"emoji"}, {u"\u00E9", u"e"}},
                                {{u"\uFF5E", u"wide"}, {u"\U0001F600", u"emoji"}, {u"\u00E9", u"e"}},
                                3,
                                3},
                      // "B" (0x42) sorts below "a" (0x61): "B" and "A" both line up below "a".
                      TableCase{"UpperCaseSortsFirst",
                                {{u"a", u"1"}, {u"B", u"2"}, {u"A", u"3"}},
                                {{u"B", u"2"}, {u"A", u"3"}, {u"b", u""}},
                                3,
                                3}),
    [](const auto& info) { return std::string(info.param.name); });

// The walks are loops: a report whose keys come sorted makes one long chain,
// which a recursive walk (or a recursive destructor) would overflow the
// stack on.
TEST(HashTableDeep, MillionSortedKeys) {
  constexpr int kKeys = 1000000;
  auto key = [](int i) { return QStringLiteral("Item %1").arg(i, 7, 10, QChar(u'0')); };
  {
    HashTable ascending;
    for (int i = 0; i < kKeys; ++i) ascending.setValue(key(i), QString::number(i));
    EXPECT_EQ(ascending.depth(), kKeys);
    EXPECT_EQ(ascending.getValue(key(kKeys - 1)), QString::number(kKeys - 1));
    EXPECT_EQ(ascending.getValue(key(0)), QStringLiteral("0"));
    EXPECT_EQ(ascending.getValue(QStringLiteral("Item 9999999")), QString());
    // A key between the last two walks the whole chain to be placed.
    ascending.setValue(key(kKeys - 2) + u'x', QStringLiteral("between"));
    EXPECT_EQ(ascending.getValue(key(kKeys - 2) + u'x'), QStringLiteral("between"));
    EXPECT_EQ(ascending.depth(), kKeys + 1);
  }  // dropped here
  HashTable descending;
  for (int i = kKeys - 1; i >= 0; --i) descending.setValue(key(i), QString::number(i));
  EXPECT_EQ(descending.depth(), kKeys);
  EXPECT_EQ(descending.getValue(key(0)), QStringLiteral("0"));
  EXPECT_EQ(descending.entryCount(), kKeys);
}

// The shortcut to the ends of the tree must build the same tree as the plain
// walk: a mix of runs and random keys reads back like an ordered map.
TEST(HashTableDeep, MixedOrderMatchesMap) {
  std::mt19937 rng(7);
  std::map<std::u16string, QString> model;
  HashTable table;
  auto store = [&](const QString& k, const QString& v) {
    table.setValue(k, v);
    if (!k.isEmpty()) model[k.toStdU16String()] = v;
  };
  for (int round = 0; round < 200; ++round) {
    const int mode = static_cast<int>(rng() % 3);
    for (int i = 0; i < 50; ++i) {
      int n = static_cast<int>(rng() % 100000);
      if (mode == 0) n = round * 50 + i;             // rising run
      if (mode == 1) n = 100000 - (round * 50 + i);  // falling run
      store(QStringLiteral("k%1").arg(n, 6, 10, QChar(u'0')), QString::number(round));
    }
  }
  EXPECT_EQ(table.entryCount(), static_cast<int64_t>(model.size()));
  for (const auto& [k, v] : model) ASSERT_EQ(table.getValue(QString::fromStdU16String(k)), v);
  EXPECT_EQ(table.getValue(QStringLiteral("k")), QString());
}

TEST(HashTableMove, MovedFromTableReadsEmpty) {
  HashTable a;
  a.setValue(QStringLiteral("k"), QStringLiteral("v"));
  HashTable b = std::move(a);
  EXPECT_EQ(b.getValue(QStringLiteral("k")), QStringLiteral("v"));
  EXPECT_EQ(a.getValue(QStringLiteral("k")), QString());  // NOLINT(bugprone-use-after-move)
  a.setValue(QStringLiteral("x"), QStringLiteral("y"));
  EXPECT_EQ(a.getValue(QStringLiteral("x")), QStringLiteral("y"));
}

}  // namespace
}  // namespace rootix::hardware
