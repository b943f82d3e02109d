// Searching, navigating and changing an order through its key stack.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include "index_fixture.h"

namespace fidora::test {
namespace {

using Keys = std::vector<std::string>;

struct Fixture {
  ModelTable table{IndexKeyValue::Text(std::string(10, ' '))};
  MemoryIndex index = CreateMemoryIndex(table);
  TNtxTag& tag() { return index.file->Tag(); }
  uint32_t Add(const std::string& key) { return table.Append(Rec(key), {index.file.get()}); }
};

TEST(NtxTree, FiftyOneEntriesSplitIntoTwentyFiveAndTwentyFive) {
  Fixture f;
  for (int i = 1; i <= 51; ++i) f.Add(fmt::format("K{:02d}", i));
  f.tag().ReleaseKeyStack();
  const auto& bytes = f.index.storage->bytes();
  const NtxHeader h = NtxHeader::Decode(bytes.data());
  EXPECT_EQ(h.root, 1024u);  // a root split keeps the root's offset
  PageView root(*f.index.storage, 1024, 10);
  ASSERT_FALSE(root.page.leaf);
  ASSERT_EQ(root.page.count, 1);
  EXPECT_EQ(root.page.items[0].key, "K26       ");
  PageView left(*f.index.storage, root.page.items[0].child, 10);
  PageView right(*f.index.storage, root.page.items[1].child, 10);
  EXPECT_EQ(left.page.count, 25);
  EXPECT_EQ(left.page.items.back().key, "K25       ");
  EXPECT_EQ(right.page.count, 25);
  EXPECT_EQ(right.page.items.front().key, "K27       ");
  EXPECT_TRUE(CheckNtxAgainstTable(*f.index.storage, f.table).empty());
}

TEST(NtxTree, SeekHonoursPrefixAndExactRules) {
  Fixture f;
  for (const char* k : {"BANANA", "APPLE", "CHERRY", "APRICOT"}) f.Add(k);
  EXPECT_EQ(f.tag().SeekKey("AP"), 2u);  // first stored key beginning with AP
  EXPECT_EQ(f.tag().CurrentKey(), "APPLE");
  f.table.exact = true;
  EXPECT_EQ(f.tag().SeekKey("AP"), 0u);
  EXPECT_FALSE(f.tag().AtEnd());
  EXPECT_EQ(f.tag().CurrentKey(), "APPLE");  // standing on the next greater key
  EXPECT_EQ(f.tag().SeekKey("APRICOT   "), 4u);
  EXPECT_EQ(f.tag().SeekKey("ZZZ"), 0u);
  EXPECT_TRUE(f.tag().AtEnd());
  EXPECT_EQ(f.tag().LookupKey("CHERRY"), 3u);
  EXPECT_EQ(f.tag().LookupKey("CHERR"), 0u);
}

TEST(NtxTree, EqualKeysKeepInsertionOrderAndUniqueRefusesThem) {
  Fixture f;
  f.Add("B");
  f.Add("A");
  f.Add("B");
  f.Add("B");
  EXPECT_EQ(NavigatedKeys(f.tag()), (Keys{"A:2", "B:1", "B:3", "B:4"}));

  ModelTable table(IndexKeyValue::Text("  "));
  MemoryIndex u = CreateMemoryIndex(table, true);
  table.Append(Rec("A"), {u.file.get()});
  table.Append(Rec("A"), {u.file.get()});
  EXPECT_EQ(WalkedKeys(*u.storage), Keys{"A:1"});
}

TEST(NtxTree, DescendingOrderInsertsInReverse) {
  ModelTable table(IndexKeyValue::Text("  "));
  MemoryIndex d = CreateMemoryIndex(table, false, false);
  for (const char* k : {"B", "A", "C", "B"}) table.Append(Rec(k), {d.file.get()});
  EXPECT_EQ(NavigatedKeys(d.file->Tag()), (Keys{"C:3", "B:1", "B:4", "A:2"}));
  EXPECT_EQ(WalkedKeys(*d.storage), NavigatedKeys(d.file->Tag()));
  EXPECT_EQ(d.file->Tag().SeekKey("B"), 1u);
}

TEST(NtxTree, EditMovesTheEntryAndRemovalKeepsBranchKeys) {
  Fixture f;
  for (int i = 1; i <= 300; ++i) f.Add(fmt::format("K{:03d}", i));
  // Change every key that ended up in a branch page and others around it.
  for (uint32_t r = 1; r <= 300; r += 7)
    f.table.Edit(r, Rec(fmt::format("X{:03d}", r)), {f.index.file.get()});
  EXPECT_TRUE(CheckNtxAgainstTable(*f.index.storage, f.table).empty());
  // Remove the last keys one by one from the right end: emptied rightmost leaves stay valid.
  for (uint32_t r = 300; r >= 200; --r) f.table.Edit(r, Rec("A"), {f.index.file.get()});
  const auto problems = CheckNtxAgainstTable(*f.index.storage, f.table);
  EXPECT_TRUE(problems.empty()) << problems.front();
  EXPECT_EQ(NavigatedKeys(f.tag()), WalkedKeys(*f.index.storage));
}

TEST(NtxTree, VersionCounterCyclesAndOtherWritersAreSeen) {
  auto bytes = std::make_shared<std::vector<uint8_t>>();
  ModelTable writer_table(IndexKeyValue::Text(std::string(10, ' ')));
  auto writer = TNtxFile::Create(writer_table, std::make_unique<SharedMemoryStorage>(bytes),
                                 "shared.ntx", "KEY", "", false, true);
  for (int i = 1; i <= 120; i += 2)
    writer_table.Append(Rec(fmt::format("K{:03d}", i)), {writer.get()});

  // The reader shares the records (the same table file) but has its own index handle.
  ModelTable& reader_table = writer_table;
  auto reader =
      TNtxFile::Open(reader_table, std::make_unique<SharedMemoryStorage>(bytes), "shared.ntx");
  TNtxTag& tag = reader->Tag();
  reader_table.current = tag.ReadKey(TxReadMode::kFirst);
  reader_table.current = tag.ReadKey(TxReadMode::kNext);  // K003
  EXPECT_EQ(tag.CurrentKey(), "K003");
  // The writer adds keys on both sides of the reader's place (splitting pages).
  for (int i = 2; i <= 120; i += 2)
    writer_table.Append(Rec(fmt::format("K{:03d}", i)), {writer.get()});
  reader_table.current = 2;  // the reader's record buffer holds its record again
  EXPECT_TRUE(reader->IndexChanged());
  EXPECT_EQ(tag.ReadKey(TxReadMode::kNext), 62u);  // K004, written by the other handle
  EXPECT_EQ(tag.CurrentKey(), "K004");
  EXPECT_FALSE(reader->IndexChanged());

  // After 0x7FFF updates the counter cycles back to 1.
  writer->SetHeldVersion(0x7FFE);
  bytes->at(2) = 0xFE;
  bytes->at(3) = 0x7F;
  writer_table.Append(Rec("Z1"), {writer.get()});
  EXPECT_EQ(GetU16(bytes->data() + 2), 0x7FFF);
  writer_table.Append(Rec("Z2"), {writer.get()});
  EXPECT_EQ(GetU16(bytes->data() + 2), 1);
}

TEST(NtxTree, ZapAndRebuild) {
  Fixture f;
  for (int i = 1; i <= 200; ++i) f.Add(fmt::format("K{:03d}", 201 - i));
  f.index.file->ZapIndex();
  EXPECT_EQ(f.index.storage->bytes().size(), 2048u);
  EXPECT_EQ(NtxHeader::Decode(f.index.storage->bytes().data()).version, 1);
  EXPECT_TRUE(WalkedKeys(*f.index.storage).empty());
  f.index.file->RebuildIndex();
  EXPECT_TRUE(CheckNtxAgainstTable(*f.index.storage, f.table).empty());
  EXPECT_EQ(WalkedKeys(*f.index.storage).front(), "K001:200");
}

TEST(NtxCheck, FindsDamage) {
  Fixture f;
  for (int i = 1; i <= 300; ++i) f.Add(fmt::format("K{:03d}", i));
  f.tag().ReleaseKeyStack();
  ASSERT_TRUE(CheckNtxAgainstTable(*f.index.storage, f.table).empty());
  auto& bytes = f.index.storage->bytes();
  const std::vector<uint8_t> good = bytes;
  PageView root(*f.index.storage, 1024, 10);
  const uint32_t leaf = root.page.items[1].child;

  // A key changed in place: out of order and not the record's key.
  const size_t slot = GetU16(&bytes[leaf + 2 + 2 * 3]);
  bytes[leaf + slot + 8] = 'A';
  EXPECT_FALSE(CheckNtxAgainstTable(*f.index.storage, f.table).empty());
  // A child pointer back to the root, and one that is cleared (the root reads as a leaf).
  bytes = good;
  PutU32(&bytes[1024 + GetU16(&bytes[1024 + 4])], 1024);
  EXPECT_FALSE(WalkNtx(*f.index.storage).problems.empty());
  bytes = good;
  PutU32(&bytes[1024 + GetU16(&bytes[1024 + 2])], 0);
  EXPECT_FALSE(CheckNtxAgainstTable(*f.index.storage, f.table).empty());
  // A record missing from the order: one key fewer in a leaf.
  bytes = good;
  PutU16(&bytes[root.page.items.back().child],
         static_cast<uint16_t>(GetU16(&bytes[root.page.items.back().child]) - 1));
  EXPECT_FALSE(CheckNtxAgainstTable(*f.index.storage, f.table).empty());
}

}  // namespace
}  // namespace fidora::test
