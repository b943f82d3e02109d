#include "engine/index/ntx_check.h"

#include <fmt/format.h>

#include <map>
#include <set>

#include "engine/index/ntx_key.h"

namespace fidora {

namespace {

class Walker {
 public:
  Walker(TIndexStorage& storage, NtxWalk& out) : storage_(storage), out_(out) {
    size_ = storage_.Size();
  }

  void Page(uint32_t offset, size_t depth) {
    if (out_.problems.size() > 50) return;
    if (offset == 0 || offset % kNtxPageSize != 0 || offset + kNtxPageSize > size_) {
      Problem(fmt::format("page offset {} is not a page of the file", offset));
      return;
    }
    if (!seen_.insert(offset).second) {
      Problem(fmt::format("page {} is reached twice", offset));
      return;
    }
    if (depth > 32) {
      Problem(fmt::format("page {} lies deeper than 32 levels", offset));
      return;
    }
    std::vector<uint8_t> bytes(kNtxPageSize);
    storage_.Read(offset, bytes.data(), kNtxPageSize);
    NtxPage page;
    if (!NtxPage::Decode(bytes.data(), out_.header.key_size, out_.header.max_items, &page)) {
      Problem(fmt::format("page {} is malformed (count {})", offset, GetU16(bytes.data())));
      return;
    }
    ++out_.pages;
    if (page.leaf) {
      if (leaf_depth_ == 0)
        leaf_depth_ = depth;
      else if (leaf_depth_ != depth)
        Problem(fmt::format("leaf page {} lies at depth {}, other leaves at {}", offset, depth,
                            leaf_depth_));
      for (const NtxItem& item : page.items) Entry(item, offset);
      return;
    }
    for (uint16_t k = 0; k <= page.count; ++k) {
      const NtxItem& item = page.items[k];
      if (item.child == 0) {
        Problem(fmt::format("branch page {} has no child in slot {}", offset, k));
        continue;
      }
      Page(item.child, depth + 1);
      if (k < page.count) Entry(item, offset);
    }
  }

  size_t leaf_depth() const { return leaf_depth_; }

 private:
  void Problem(std::string text) { out_.problems.push_back(std::move(text)); }

  void Entry(const NtxItem& item, uint32_t page) {
    NtxWalkEntry e{TrimKey(item.key), item.recno};
    if (e.recno == 0) Problem(fmt::format("page {} holds key \"{}\" for record 0", page, e.key));
    if (!out_.entries.empty()) {
      int c = CompareKeys(out_.entries.back().key, e.key, -1);
      if (c == 0 && out_.entries.back().key.size() != e.key.size()) c = -1;
      if (out_.header.descending) c = -c;
      if (c > 0)
        Problem(fmt::format("key \"{}\" (record {}) in page {} is out of order after \"{}\"", e.key,
                            e.recno, page, out_.entries.back().key));
    }
    out_.entries.push_back(std::move(e));
  }

  TIndexStorage& storage_;
  NtxWalk& out_;
  uint64_t size_ = 0;
  std::set<uint32_t> seen_;
  size_t leaf_depth_ = 0;
};

}  // namespace

std::optional<NtxHeader> ReadNtxHeader(TIndexStorage& storage) {
  std::vector<uint8_t> page(kNtxPageSize, 0);
  storage.Read(0, page.data(), kNtxPageSize);
  NtxHeader header = NtxHeader::Decode(page.data());
  if (header.key_expr.empty()) return std::nullopt;
  return header;
}

NtxWalk WalkNtx(TIndexStorage& storage) {
  NtxWalk walk;
  std::vector<uint8_t> header(kNtxPageSize, 0);
  if (storage.Read(0, header.data(), kNtxPageSize) != kNtxPageSize) {
    walk.problems.push_back("the file is shorter than its header page");
    return walk;
  }
  walk.header = NtxHeader::Decode(header.data());
  const NtxHeader& h = walk.header;
  if (h.item_size != NtxItemSize(h.key_size) || h.max_items < 2 ||
      h.max_items != NtxMaxItems(h.key_size) || h.max_items % 2 != 0) {
    walk.problems.push_back(
        fmt::format("header sizes do not agree: key size {}, item size {}, max items {}",
                    h.key_size, h.item_size, h.max_items));
    return walk;
  }
  if (storage.Size() % kNtxPageSize != 0)
    walk.problems.push_back(
        fmt::format("file size {} is not a whole number of pages", storage.Size()));
  if (h.root == 0) {
    walk.problems.push_back("the index is marked invalid (its header names no root page)");
    return walk;
  }
  Walker walker(storage, walk);
  walker.Page(h.root, 1);
  walk.depth = walker.leaf_depth();
  return walk;
}

std::vector<std::string> CheckNtxAgainstTable(TIndexStorage& storage, TIndexTable& table) {
  NtxWalk walk = WalkNtx(storage);
  std::vector<std::string> problems = walk.problems;
  if (walk.header.max_items < 2) return problems;
  const NtxHeader& h = walk.header;

  auto key_expr = table.Compile(h.key_expr);
  auto for_expr = h.has_for && !h.for_expr.empty() ? table.Compile(h.for_expr) : nullptr;
  const NtxKeyType type = KeyTypeOf(key_expr->Evaluate(false));

  std::map<uint32_t, std::vector<std::string>> by_record;
  for (const NtxWalkEntry& e : walk.entries) by_record[e.recno].push_back(e.key);

  for (table.BuildFirst(); !table.BuildAtEnd() && problems.size() < 100; table.BuildNext()) {
    const uint32_t recno = table.CurrentRecord();
    bool admitted = true;
    if (for_expr) {
      const IndexKeyValue v = for_expr->Evaluate(false);
      admitted = v.kind == IndexKeyValue::Kind::kLogical && v.logical;
    }
    const std::string key =
        FormatKey(key_expr->Evaluate(false), type, h.key_size, h.key_decimals, true);
    auto it = by_record.find(recno);
    const size_t found = it == by_record.end() ? 0 : it->second.size();
    if (!admitted) {
      if (found > 0)
        problems.push_back(fmt::format("record {} is outside the FOR condition but has {} entr{}",
                                       recno, found, found == 1 ? "y" : "ies"));
    } else if (h.unique) {
      // A unique order holds one entry per key value; a record whose key another record
      // already held has none, and keeps none when that other record changes its key.
      if (found > 1) problems.push_back(fmt::format("record {} has {} entries", recno, found));
      if (found == 1 && it->second[0] != key)
        problems.push_back(fmt::format("record {} has key \"{}\" but its entry holds \"{}\"", recno,
                                       key, it->second[0]));
    } else if (found == 0) {
      problems.push_back(fmt::format("record {} (key \"{}\") has no entry", recno, key));
    } else if (found > 1) {
      problems.push_back(fmt::format("record {} has {} entries", recno, found));
    } else if (it->second[0] != key) {
      problems.push_back(fmt::format("record {} has key \"{}\" but its entry holds \"{}\"", recno,
                                     key, it->second[0]));
    }
    if (it != by_record.end()) by_record.erase(it);
  }
  for (const auto& [recno, keys] : by_record)
    problems.push_back(
        fmt::format("entry \"{}\" names record {}, which the table does not have", keys[0], recno));
  if (h.unique)
    for (size_t i = 1; i < walk.entries.size(); ++i)
      if (walk.entries[i].key == walk.entries[i - 1].key)
        problems.push_back(
            fmt::format("key \"{}\" occurs twice in the unique order", walk.entries[i].key));
  return problems;
}

}  // namespace fidora
