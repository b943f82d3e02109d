// Real tables in a temporary directory for handler tests.
#pragma once

#include <fmt/format.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/dbf/dbf_build.h"
#include "engine/index/index_disk_storage.h"
#include "engine/index/ntx_check.h"
#include "engine/table/table_handler.h"
#include "support/temp_dir.h"

namespace fidora::test {

// NAME C 16, NUM N 5 0, DAY D, NOTE M (with_memo).
inline std::string MakeTable(const TempDir& dir, const std::string& name, bool with_memo = false) {
  TDbfBuild build(dir.dir() + name);
  build.AddField("NAME", 'C', 16, 0);
  build.AddField("NUM", 'N', 5, 0);
  build.AddField("DAY", 'D', 8, 0);
  if (with_memo) build.AddField("NOTE", 'M', 10, 0);
  build.Build();
  return build.path();
}

inline std::unique_ptr<TTableHandler> OpenHandler(const std::string& path, bool shared = false) {
  auto t = std::make_unique<TTableHandler>(path, shared, true);
  t->Open();
  t->SetLockProtocol(TxLokProtocol::ClipLock);
  return t;
}

inline uint32_t AppendRow(TTableHandler& t, const std::string& name, int num,
                          const std::string& day = "") {
  t.BlankRecord();
  t.SetFieldText("NAME", name);
  t.SetFieldText("NUM", std::to_string(num));
  if (!day.empty()) t.SetFieldText("DAY", day);
  return t.AppendRecord();
}

// Record numbers in the handler's current order, from the top.
inline std::vector<uint32_t> Walk(TTableHandler& t) {
  std::vector<uint32_t> out;
  for (bool ok = t.ReadRecord(kRecFirst); ok; ok = t.ReadRecord(kRecNext)) out.push_back(t.recno());
  return out;
}

// The check of an open index file against the handler's table (the handler's position moves).
inline std::vector<std::string> CheckIndex(TTableHandler& t, const std::string& tag) {
  TNtxFile* file = t.IndexFileOfTag(tag);
  if (!file) return {"no index " + tag};
  file->Flush();
  return CheckNtxAgainstTable(file->Storage(), t.IndexView());
}

}  // namespace fidora::test

#include "support/raw_records.h"

namespace fidora::test {

// Writes rows (NAME, NUM) straight into a table made by MakeTable without memo: a quick way
// to a large fixture.
inline void FillTable(const std::string& path,
                      const std::vector<std::pair<std::string, int>>& rows) {
  AppendRawRecords(path, static_cast<uint32_t>(rows.size()), [&](uint32_t i, std::string& out) {
    out += fmt::format(" {:<16.16}{:>5}{:8}", rows[i].first, rows[i].second, "");
  });
}

}  // namespace fidora::test
