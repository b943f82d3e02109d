// TXbDataSet: a table opened by name from a directory, with its index files, a current record
// and typed fields, in the open / navigate / edit / post life cycle of a record set. Every
// operation maps onto the table handler (TDataSetHandler), which the dataset makes when it
// opens and destroys when it closes.
//
// States: inactive -> browse -> edit or insert -> (Post or Cancel) -> browse -> inactive.
// Navigation in edit or insert state posts a changed record first (and cancels an unchanged
// one); Close discards it. TableName and DatabaseName change only while closed.
// Errors: EDatabaseError with the component's texts; the handler's EXbError unchanged.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/dbf/lock_protocol.h"
#include "engine/table/field_value.h"
#include "engine/table/table_handler.h"
#include "engine/table/xb_field.h"

namespace fidora {

enum class TDataSetState { Inactive, Browse, Edit, Insert };
enum class TxIntFields { asInteger, asLargeInt, asFloat };

struct TxFilterOptions {
  bool case_insensitive = false;
  bool no_partial_compare = false;
};

struct TxLocateOptions {
  bool case_insensitive = false;
  bool partial_key = false;
};

// (stat1, stat2, stat3): (-1, operation, total) at the start, (operation, count, 0) as it
// goes, (0, 0, 0) at the end.
using TxStatusReport = std::function<void(int stat1, int stat2, int stat3)>;

class TXbDataSet {
 public:
  // The dataset's files go through io, which must outlive the dataset.
  explicit TXbDataSet(FileIo& io = SystemFileIo()) : io_(io) {}
  ~TXbDataSet();
  TXbDataSet(const TXbDataSet&) = delete;
  TXbDataSet& operator=(const TXbDataSet&) = delete;

  // ---- properties ----
  const std::string& DatabaseName() const { return database_name_; }
  // Not "Default Directory": one trailing "/" (or "\") is dropped and the name becomes an
  // alias of itself unless the alias table has it.
  void SetDatabaseName(const std::string& name);
  const std::string& TableName() const { return table_name_; }
  // A different name clears IndexFiles.
  void SetTableName(const std::string& name);
  // The table's directory ("" for the current directory) and the full file name.
  std::string Directory() const;
  std::string TablePath() const;

  const std::vector<std::string>& IndexFiles() const { return index_files_; }
  // While open, the files are opened at once (keeping the current record).
  void SetIndexFiles(const std::vector<std::string>& names);
  const std::string& IndexName() const { return index_name_; }
  void SetIndexName(const std::string& name);

  bool Exclusive() const { return exclusive_; }
  void SetExclusive(bool on) { exclusive_ = on; }
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool on) { read_only_ = on; }
  const std::string& Filter() const { return filter_; }
  void SetFilter(const std::string& text);
  bool Filtered() const { return filtered_; }
  void SetFiltered(bool on);
  TxFilterOptions FilterOptions() const { return filter_options_; }
  void SetFilterOptions(TxFilterOptions options);
  bool UseDeleted() const { return use_deleted_; }
  void SetUseDeleted(bool on);
  bool AutoFlush() const { return auto_flush_; }
  void SetAutoFlush(bool on);
  bool TranslateASCII() const { return translate_ascii_; }
  void SetTranslateASCII(bool on) { translate_ascii_ = on; }
  TxLokProtocol LockProtocol() const { return lock_protocol_; }
  void SetLockProtocol(TxLokProtocol protocol);
  uint32_t UserID() const { return user_id_; }
  void SetUserID(uint32_t id);
  TxIntFields LargeIntegerAs() const { return large_integer_as_; }
  void SetLargeIntegerAs(TxIntFields as) { large_integer_as_ = as; }
  bool ExactCount() const { return exact_count_; }
  void SetExactCount(bool on) { exact_count_ = on; }
  TxStatusReport OnStatus;
  // Per-record acceptance (false hides the record).
  std::function<bool(TXbDataSet&)> OnFilterRecord;

  // ---- life cycle ----
  // "Table name missing", "Cannot find file %s"; a failed Open leaves the dataset closed.
  void Open();
  void Close();
  bool Active() const { return handler_ != nullptr; }
  TDataSetState State() const { return state_; }

  // ---- navigation ----
  void First();
  void Next();
  void Prior();
  void Last();
  bool Eof() const { return eof_; }
  bool Bof() const { return bof_; }
  // Physical number of the current record, 0 when there is none.
  uint32_t RecNo() const;
  // Reads record n as it is (deleted or filtered too).
  void SetRecNo(uint32_t n);
  uint32_t RecordCount();

  // ---- fields ----
  int FieldCount() const { return static_cast<int>(fields_.size()); }
  TXbField& Fields(int i);  // 0-based
  TXbField* FindField(const std::string& name);
  // "Field '%s' not found" for an unknown name.
  TXbField& FieldByName(const std::string& name);

  // ---- records ----
  // Takes the record lock (one attempt; "Record is locked by another user") and reads the
  // record again. On an empty dataset it starts an insert.
  void Edit();
  void Append();
  void Insert() { Append(); }
  void Post();
  void Cancel();
  // Marks the current record deleted; the next visible record (or the previous one) becomes
  // current. "Cannot delete the record" when there is none.
  void Delete();
  void Refresh();
  bool LockRecord();
  void Unlock();

  // ---- seeking ----
  // In the master order ("No index is assigned for Find operation"); on failure the last
  // record is current and Eof is true, unless near found a greater key.
  bool Find(const std::string& key, bool exact, bool near);
  // Fields separated by ";", one value per field, taken as they are. Not found: the dataset
  // stays on its record.
  bool Locate(const std::string& fields, const std::vector<TFieldValue>& values,
              TxLocateOptions options = {});

  // ---- indexes ----
  // Builds an index file (every open index file is closed); afterwards physical order,
  // first record.
  void IndexOn(const std::string& file, const std::string& tag, const std::string& key,
               const std::string& for_expr, bool unique, bool ascending);
  // Opens one more index file without changing IndexFiles: 0, or -1 when already open.
  int OpenIndexFile(const std::string& name);
  // IndexFiles := the names of the text, then IndexName := tag. Empty text closes all.
  void SetIndexList(const std::string& text, const std::string& tag);

  // ---- whole table (Exclusive) ----
  void Pack();
  void Zap();

  // ---- memo and raw access on the current record buffer, without translation ----
  uint32_t MemoLength(const std::string& field);
  std::string ReadMemo(const std::string& field);
  void WriteMemo(const std::string& field, std::string_view bytes);
  std::string RawFieldText(const std::string& field);
  // Left-aligned for C, D and L, right-aligned for other types, cut to the field length.
  void SetRawFieldText(const std::string& field, std::string_view text);

  FileIo& Io() const { return io_; }

  // The open handler (field descriptors and the like); nullptr while closed.
  TDataSetHandler* Handler() { return handler_.get(); }

  // For TXbField.
  TDataSetHandler& ActiveHandler();
  void CheckEditing() const;
  void FieldChanged() { modified_ = true; }

 private:
  void CheckActive() const;
  void CheckInactive() const;
  void CheckNotBuilding() const;
  void CheckBrowseMode();
  void BuildFields();
  void OpenIndexFiles(bool at_open);
  bool OnRecord() const;
  // Takes over the handler's position after it read the first record of the order.
  void ArrivedAtFirst();
  void PositionAt(uint32_t n);
  void SelectOrder(const std::string& name, bool keep_position);
  void RefreshReadAhead();
  int FieldNumber(const std::string& name);

  FileIo& io_;
  std::string database_name_;
  std::string table_name_;
  std::vector<std::string> index_files_;
  std::string index_name_;
  bool exclusive_ = false, read_only_ = false;
  std::string filter_;
  bool filtered_ = false;
  TxFilterOptions filter_options_;
  bool use_deleted_ = false, auto_flush_ = false, translate_ascii_ = true;
  TxLokProtocol lock_protocol_ = TxLokProtocol::Default;
  uint32_t user_id_ = 0;
  TxIntFields large_integer_as_ = TxIntFields::asInteger;
  bool exact_count_ = false;

  std::unique_ptr<TDataSetHandler> handler_;
  std::vector<TXbField> fields_;
  TDataSetState state_ = TDataSetState::Inactive;
  bool has_record_ = false, eof_ = true, bof_ = true;
  bool modified_ = false;
  uint32_t insert_return_ = 0;  // record to return to when an insert is cancelled
  bool building_ = false;
  bool read_ahead_allowed_ = true;
  bool read_ahead_on_ = false;
};

}  // namespace fidora
