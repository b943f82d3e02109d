// Datasets on real tables in a temporary directory.
#pragma once

#include <string>
#include <vector>

#include "engine/dbf/dbf_build.h"
#include "engine/table/xb_dataset.h"
#include "support/temp_dir.h"

namespace fidora::test {

struct FieldSpec {
  std::string name;
  char type;
  uint32_t length, decimals;
};

inline std::string BuildTable(const TempDir& dir, const std::string& name,
                              const std::vector<FieldSpec>& fields) {
  TDbfBuild build(dir.dir() + name);
  for (const FieldSpec& f : fields) build.AddField(f.name, f.type, f.length, f.decimals);
  build.Build();
  return build.path();
}

// A shared, Clipper-locked dataset on dir/table, not yet open.
inline void Bind(TXbDataSet& ds, const TempDir& dir, const std::string& table) {
  ds.SetDatabaseName(dir.dir());
  ds.SetTableName(table);
  ds.SetLockProtocol(TxLokProtocol::ClipLock);
}

// Appends one record with the given (field, text) values through the dataset.
inline void AppendValues(TXbDataSet& ds,
                         const std::vector<std::pair<std::string, std::string>>& values) {
  ds.Append();
  for (const auto& [name, value] : values) ds.FieldByName(name).SetAsString(value);
  ds.Post();
}

// The values of one field from the first record to the end, in the current order.
inline std::vector<std::string> Column(TXbDataSet& ds, const std::string& field) {
  std::vector<std::string> out;
  for (ds.First(); !ds.Eof(); ds.Next()) out.push_back(ds.FieldByName(field).AsString());
  return out;
}

}  // namespace fidora::test
