// Creating orders and building them by sorting.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "engine/dbf/xb_error.h"
#include "engine/index/ntx_sort_writer.h"
#include "engine/index/tx_sort.h"
#include "index_fixture.h"

namespace fidora::test {
namespace {

using Keys = std::vector<std::string>;

TEST(NtxCreate, EmptyTableGivesHeaderAndEmptyRoot) {
  ModelTable table(IndexKeyValue::Text(std::string(10, ' ')));
  MemoryIndex m = CreateMemoryIndex(table);
  const auto& bytes = m.storage->bytes();
  ASSERT_EQ(bytes.size(), 2048u);
  const NtxHeader h = NtxHeader::Decode(bytes.data());
  EXPECT_EQ(h.key_size, 10);
  EXPECT_EQ(h.item_size, 18);
  EXPECT_EQ(h.max_items, 50);
  EXPECT_EQ(h.half_page, 1);
  EXPECT_EQ(h.root, 1024u);
  EXPECT_EQ(h.key_expr, "KEY");
  EXPECT_EQ(GetU16(&bytes[0]), 6);
  EXPECT_EQ(GetU16(&bytes[1024]), 0);    // no keys
  EXPECT_EQ(GetU16(&bytes[1026]), 104);  // offset table initialised
  EXPECT_EQ(m.file->Tag().ReadKey(TxReadMode::kFirst), 0u);
  EXPECT_TRUE(m.file->Tag().AtBeginning());
}

TEST(NtxBuild, EqualKeysFollowRecordOrderInTheOrdersDirection) {
  struct Case {
    bool unique, ascending;
    Keys expected;
  } cases[] = {
      {false, true, {"A:2", "B:1", "B:3"}},
      {false, false, {"B:3", "B:1", "A:2"}},
      {true, true, {"A:2", "B:1"}},
  };
  for (const Case& c : cases) {
    ModelTable table(IndexKeyValue::Text("  "));
    table.records = {Rec("B"), Rec("A"), Rec("B")};
    MemoryIndex m = CreateMemoryIndex(table, c.unique, c.ascending);
    EXPECT_EQ(WalkedKeys(*m.storage), c.expected);
    EXPECT_EQ(NavigatedKeys(m.file->Tag()), c.expected);
  }
}

// The sort against the plain definition of its order: key text without trailing blanks, then
// the record number's four bytes, compared as bytes, a sort key before any longer one that
// begins with it. The keys share long prefixes, differ by blanks, low and high bytes, and
// repeat, so that the record number decides and every bucket size of the sort occurs.
TEST(NtxBuild, SortAgreesWithTheByteOrderOfKeyAndRecordNumber) {
  std::mt19937 rng(11);
  const char alphabet[] = {' ', '\0', '\x01', 'A', 'B', 'a', '\x7F', '\x80', '\xC9', '\xFF'};
  std::vector<std::pair<std::string, uint32_t>> entries;
  for (uint32_t recno = 1; recno <= 5000; ++recno) {
    std::string key = recno % 3 == 0 ? "SHARED-PREFIX-" : "";
    const size_t length = rng() % 6;
    for (size_t i = 0; i < length; ++i) key += alphabet[rng() % sizeof alphabet];
    // Record numbers with every byte in use, so that they compare with key bytes.
    entries.emplace_back(key, recno % 7 == 0 ? 0x01000000u * (recno % 200) + recno : recno);
  }
  auto sort_key = [](const std::pair<std::string, uint32_t>& e) {
    std::string k = e.first;
    while (!k.empty() && k.back() == ' ') k.pop_back();
    for (int shift = 24; shift >= 0; shift -= 8) k += static_cast<char>(e.second >> shift);
    return k;
  };
  for (bool unique : {false, true}) {
    for (bool ascending : {true, false}) {
      std::vector<std::pair<std::string, uint32_t>> expected = entries;
      std::sort(expected.begin(), expected.end(), [&](const auto& x, const auto& y) {
        const std::string a = sort_key(x), b = sort_key(y);
        const bool less = std::lexicographical_compare(
            a.begin(), a.end(), b.begin(), b.end(),
            [](char p, char q) { return static_cast<uint8_t>(p) < static_cast<uint8_t>(q); });
        return ascending ? less : a != b && !less;
      });
      // A unique sort keeps the first entry of each key text.
      std::vector<std::pair<std::string, uint32_t>> wanted;
      for (auto e : expected) {
        while (!e.first.empty() && e.first.back() == ' ') e.first.pop_back();
        if (!unique || wanted.empty() || wanted.back().first != e.first) wanted.push_back(e);
      }
      TxSort sort(22, unique, ascending);
      for (const auto& e : entries) sort.Add(e.first, e.second);
      std::vector<std::pair<std::string, uint32_t>> got;
      std::string key;
      uint32_t recno = 0;
      while (sort.Next(&key, &recno)) got.emplace_back(key, recno);
      EXPECT_TRUE(got == wanted) << "unique " << unique << " ascending " << ascending;
    }
  }
}

TEST(NtxBuild, KeysPerPageSpreadsEvenly) {
  EXPECT_EQ(TNtxSortWriter::KeysPerPage(100, 50), 34u);
  EXPECT_EQ(TNtxSortWriter::KeysPerPage(50, 50), 25u);
  EXPECT_EQ(TNtxSortWriter::KeysPerPage(49, 50), 49u);
}

ModelTable NumberedTable(int n) {
  ModelTable table(IndexKeyValue::Text(std::string(10, ' ')));
  for (int i = 1; i <= n; ++i) table.records.push_back(Rec(fmt::format("K{:04d}", i)));
  return table;
}

TEST(NtxBuild, HundredKeysGiveThreeLeavesUnderATwoKeyRoot) {
  ModelTable table = NumberedTable(100);
  MemoryIndex m = CreateMemoryIndex(table);
  const NtxHeader h = NtxHeader::Decode(m.storage->bytes().data());
  PageView root(*m.storage, h.root, 10);
  ASSERT_FALSE(root.page.leaf);
  ASSERT_EQ(root.page.count, 2);
  EXPECT_EQ(root.page.items[0].key, "K0035     ");
  EXPECT_EQ(root.page.items[1].key, "K0070     ");
  const size_t sizes[] = {34, 34, 30};
  for (int i = 0; i < 3; ++i) {
    PageView leaf(*m.storage, root.page.items[i].child, 10);
    EXPECT_TRUE(leaf.page.leaf);
    EXPECT_EQ(leaf.page.count, sizes[i]);
  }
  // Leaves, then the root, each written once after the header's zero page, plus the header.
  EXPECT_EQ(m.storage->writes(), 1u + 4u + 1u);
  EXPECT_EQ(m.storage->bytes().size(), 5u * 1024u);
  EXPECT_EQ(WalkedKeys(*m.storage).size(), 100u);
}

TEST(NtxBuild, FiftyKeysGiveTwoLeavesAndTheTwentySixthAsRootKey) {
  ModelTable table = NumberedTable(50);
  MemoryIndex m = CreateMemoryIndex(table);
  const NtxHeader h = NtxHeader::Decode(m.storage->bytes().data());
  PageView root(*m.storage, h.root, 10);
  ASSERT_EQ(root.page.count, 1);
  EXPECT_EQ(root.page.items[0].key, "K0026     ");
  EXPECT_EQ(PageView(*m.storage, root.page.items[0].child, 10).page.count, 25);
  EXPECT_EQ(PageView(*m.storage, root.page.items[1].child, 10).page.count, 24);
}

TEST(NtxBuild, DeepTreesAndEmptiedLastLeavesStayWalkable) {
  // 1250 keys with 50 per page leave the last leaf empty (every 26th key moves up).
  for (int n : {1250, 1251, 2000, 6000}) {
    ModelTable table = NumberedTable(n);
    MemoryIndex m = CreateMemoryIndex(table);
    const Keys walked = WalkedKeys(*m.storage);
    ASSERT_EQ(walked.size(), static_cast<size_t>(n)) << walked.front();
    for (int i = 1; i <= n; ++i) ASSERT_EQ(walked[i - 1], fmt::format("K{:04d}:{}", i, i));
    EXPECT_EQ(NavigatedKeys(m.file->Tag()), walked);
    Keys back = NavigatedKeys(m.file->Tag(), true);
    std::reverse(back.begin(), back.end());
    EXPECT_EQ(back, walked);
    EXPECT_TRUE(CheckNtxAgainstTable(*m.storage, table).empty());
  }
}

TEST(NtxBuild, ForConditionAndProgress) {
  ModelTable table(IndexKeyValue::Text(std::string(4, ' ')));
  table.records = {Rec("A", false), Rec("B"), Rec("C", false)};
  MemoryIndex m = CreateMemoryIndex(table, false, true, "FOR");
  EXPECT_EQ(WalkedKeys(*m.storage), Keys{"B:2"});
  EXPECT_EQ(table.status, (std::vector<std::string>{"-1,1,3", "0,0,0", "-1,2,3", "0,0,0"}));
  EXPECT_EQ(GetU16(m.storage->bytes().data()), 7);

  // A condition that rejects everything still leaves an empty root page.
  table.records = {Rec("A", false)};
  MemoryIndex none = CreateMemoryIndex(table, false, true, "FOR");
  EXPECT_EQ(none.storage->bytes().size(), 2048u);
  EXPECT_TRUE(WalkedKeys(*none.storage).empty());
}

TEST(NtxBuild, NumericAndDateKeysSortByTheirEncoding) {
  ModelTable numbers(IndexKeyValue::Number(0), 5, 0);
  for (double v : {5.0, -5.0, 0.0, -10.0, 12.0})
    numbers.records.push_back({IndexKeyValue::Number(v)});
  MemoryIndex n = CreateMemoryIndex(numbers);
  EXPECT_EQ(n.file->Tag().KeySize(), 5);
  EXPECT_EQ(WalkedKeys(*n.storage), (Keys{",,,+,:4", ",,,,':2", "00000:3", "00005:1", "00012:5"}));

  ModelTable dates(IndexKeyValue::Date(0));
  dates.records = {{IndexKeyValue::Date(DtosToDay(2024, 5, 1))}, {IndexKeyValue::Date(0)}};
  MemoryIndex d = CreateMemoryIndex(dates);
  EXPECT_EQ(d.file->Tag().KeySize(), 8);
  EXPECT_EQ(WalkedKeys(*d.storage), (Keys{"00000000:2", "20240501:1"}));
}

TEST(NtxBuild, OverlongKeysAreRefused) {
  ModelTable table(IndexKeyValue::Text(std::string(240, ' ')));
  table.records = {Rec("A")};
  try {
    CreateMemoryIndex(table);
    FAIL() << "no error";
  } catch (const EXbError& e) {
    EXPECT_STREQ(e.what(), "Sort key length must be 1-240 bytes, is 241");
  }
  TxSort sort(5, false, true);
  sort.Add("ABCD", 1);
  EXPECT_THROW(sort.Add("ABCDE", 2), EXbError);
  std::string k;
  uint32_t r;
  ASSERT_TRUE(sort.Next(&k, &r));
  EXPECT_THROW(sort.Add("A", 3), EXbError);
}

}  // namespace
}  // namespace fidora::test
