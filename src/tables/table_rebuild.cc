#include "tables/table_rebuild.h"

#include "engine/dbf/dbf_bulk_append.h"
#include "engine/dbf/file_names.h"
#include "engine/table/xb_dataset.h"
#include "tables/data_module.h"
#include "tables/file_swap.h"

namespace fidora {

namespace {

// The files of one table and of its rebuild, as they are named in the directory (an existing
// case variant of a name is used).
struct TTableFiles {
  TTableFiles(FileIo& io, const std::string& directory, const std::string& table) {
    const std::string base = directory + FileBaseName(table);
    dbf = ResolveFileName(directory + WithDefaultExtension(table, ".dbf"), io);
    dbt = ResolveFileName(ChangeFileExtension(dbf, ".dbt"), io);
    new_name = FileNamePart(base) + ".new.dbf";
    new_dbf = ResolveFileName(base + ".new.dbf", io);
    new_dbt = ResolveFileName(base + ".new.dbt", io);
    old_dbf = ResolveFileName(base + ".old.dbf", io);
    old_dbt = ResolveFileName(base + ".old.dbt", io);
  }
  std::string dbf, dbt;
  std::string new_name, new_dbf, new_dbt;
  std::string old_dbf, old_dbt;
};

// Whether the table has a memo file: a definition with ";M;10;" after its name.
bool HasMemo(const std::vector<std::string>& definitions) {
  for (const std::string& definition : definitions)
    if (definition.find(";M;10;") != std::string::npos) return true;
  return false;
}

// Closes the datasets and gives them back their usual settings on every path.
class TDatasetsRestored {
 public:
  explicit TDatasetsRestored(TDM& dm) : dm_(dm), index_name_(dm.tWork.IndexName()) {
    dm_.tWork.SetIndexName("");
  }
  ~TDatasetsRestored() {
    for (TXbDataSet* dataset : {&dm_.tWork, &dm_.tGeneric}) {
      try {
        dataset->Close();
      } catch (const std::exception&) {
        // Closing a dataset in the middle of a build; nothing more can be done here.
      }
      dataset->SetExclusive(false);
    }
    dm_.tWork.SetIndexName(index_name_);
  }
  TDatasetsRestored(const TDatasetsRestored&) = delete;
  TDatasetsRestored& operator=(const TDatasetsRestored&) = delete;

 private:
  TDM& dm_;
  std::string index_name_;
};

// Builds the empty new table under its temporary name; tWork is left closed on it.
void BuildEmptyTable(TDM& dm, FileIo& io, const TTableFiles& files,
                     const std::vector<std::string>& definitions) {
  RemoveFile(io, files.new_dbf);
  RemoveFile(io, files.new_dbt);
  dm.tWork.SetTableName(files.new_name);
  dm.tCreate.DBFTable = &dm.tWork;
  dm.tCreate.CreateFields = definitions;
  dm.tCreate.Execute();
  dm.tWork.Close();
}

// Copies every live record of the old table (open) into the new table file, each field the
// old table has as its raw stored text.
void CopyRecords(FileIo& io, TXbDataSet& from, const std::string& to,
                 const std::vector<std::string>& definitions) {
  TDbfBulkAppend copy(to, io);
  TDataSetHandler& old = from.ActiveHandler();
  std::vector<std::pair<int, int>> carried;  // field numbers in the old and the new table
  for (const std::string& definition : definitions) {
    const std::string name = definition.substr(0, definition.find(';'));
    if (const int n = old.FieldIndex(name)) carried.emplace_back(n, copy.Record().FieldNo(name));
  }
  for (from.First(); !from.Eof(); from.Next()) {
    for (const auto& [old_field, new_field] : carried)
      copy.SetAligned(new_field, old.FieldRaw(old_field));
    copy.Add();
  }
  copy.Finish();
}

// Keeps the previous files as ".old" copies, then puts the new files in place. The memo file
// goes first: the new one reads the same for the old table file.
void SwitchFiles(FileIo& io, const TTableFiles& files, bool memo) {
  RemoveFile(io, files.old_dbf);
  CopyFileBytes(io, files.dbf, files.old_dbf);
  RemoveFile(io, files.old_dbt);
  if (io.Exists(files.dbt)) CopyFileBytes(io, files.dbt, files.old_dbt);
  if (memo) {
    SyncFile(io, files.new_dbt);
    RenameFile(io, files.new_dbt, files.dbt);
  }
  RenameFile(io, files.new_dbf, files.dbf);
}

}  // namespace

void CreateTable(TDM& dm, FileIo& io, const std::string& table,
                 const std::vector<std::string>& definitions) {
  const TTableFiles files(io, dm.tWork.Directory(), table);
  const TDatasetsRestored restore(dm);
  BuildEmptyTable(dm, io, files, definitions);
  SyncFile(io, files.new_dbf);
  if (HasMemo(definitions)) RenameFile(io, files.new_dbt, files.dbt);
  RenameFile(io, files.new_dbf, files.dbf);
  dm.tWork.SetTableName(table);
}

void RebuildTable(TDM& dm, FileIo& io, const std::string& table,
                  const std::vector<std::string>& definitions) {
  const TTableFiles files(io, dm.tWork.Directory(), table);
  const TDatasetsRestored restore(dm);
  BuildEmptyTable(dm, io, files, definitions);

  TXbDataSet& old_table = dm.tGeneric;
  old_table.SetTableName(table);
  old_table.SetExclusive(true);
  old_table.Open();
  const bool memo = HasMemo(definitions);
  if (memo && io.Exists(files.dbt)) CopyFileBytes(io, files.dbt, files.new_dbt);

  CopyRecords(io, old_table, files.new_dbf, definitions);
  SwitchFiles(io, files, memo);
  old_table.Close();
  dm.tWork.SetTableName(table);
}

}  // namespace fidora
