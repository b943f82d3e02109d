// Properties, opening and closing, fields, and the record life cycle of the dataset.
#include "engine/table/xb_dataset.h"

#include <fmt/format.h>
#include <fmt/printf.h>

#include "engine/dbf/ansi_case.h"
#include "engine/dbf/file_names.h"
#include "engine/dbf/xb_error.h"
#include "engine/table/alias_table.h"
#include "engine/table/dataset_error.h"

namespace fidora {

TXbDataSet::~TXbDataSet() {
  try {
    Close();
  } catch (...) {
  }
}

// ---- properties ----------------------------------------------------------------------------

void TXbDataSet::SetDatabaseName(const std::string& name) {
  CheckInactive();
  if (name == kDefaultDirectory) {
    database_name_ = name;
    return;
  }
  std::string stored = name;
  if (!stored.empty() && (stored.back() == '/' || stored.back() == '\\')) stored.pop_back();
  database_name_ = stored;
  if (!stored.empty()) AddSelfAlias(stored);
}

void TXbDataSet::SetTableName(const std::string& name) {
  CheckInactive();
  if (!AnsiSameText(name, table_name_)) index_files_.clear();
  table_name_ = name;
}

std::string TXbDataSet::Directory() const {
  return DatabaseDirectory(database_name_);
}

std::string TXbDataSet::TablePath() const {
  return Directory() + WithDefaultExtension(table_name_, ".DBF");
}

void TXbDataSet::SetUseDeleted(bool on) {
  use_deleted_ = on;
  if (handler_) handler_->set_use_deleted(on);
}

void TXbDataSet::SetAutoFlush(bool on) {
  auto_flush_ = on;
  if (handler_) handler_->set_auto_flush(on);
}

void TXbDataSet::SetLockProtocol(TxLokProtocol protocol) {
  lock_protocol_ = protocol;
  if (handler_) handler_->SetLockProtocol(protocol);
}

void TXbDataSet::SetUserID(uint32_t id) {
  user_id_ = id;
  if (handler_) handler_->set_user_id(id);
}

// ---- state checks --------------------------------------------------------------------------

void TXbDataSet::CheckActive() const {
  if (!handler_) throw EDatabaseError("Cannot perform this operation on a closed dataset");
  CheckNotBuilding();
}

void TXbDataSet::CheckInactive() const {
  if (handler_) throw EDatabaseError("Cannot perform this operation on an open dataset");
}

void TXbDataSet::CheckNotBuilding() const {
  if (building_) throw EDatabaseError("Table is busy building an index");
}

void TXbDataSet::CheckEditing() const {
  if (state_ != TDataSetState::Edit && state_ != TDataSetState::Insert)
    throw EDatabaseError("Dataset not in edit or insert mode");
}

TDataSetHandler& TXbDataSet::ActiveHandler() {
  CheckActive();
  return *handler_;
}

// Navigation leaves edit and insert state: a changed record is posted, an unchanged one
// dropped.
void TXbDataSet::CheckBrowseMode() {
  CheckActive();
  if (state_ == TDataSetState::Edit || state_ == TDataSetState::Insert) {
    if (modified_)
      Post();
    else
      Cancel();
  }
}

// ---- open and close ------------------------------------------------------------------------

void TXbDataSet::Open() {
  if (handler_) return;
  if (table_name_.empty()) throw EDatabaseError("Table name missing");
  auto handler = std::make_unique<TDataSetHandler>(TablePath(), !exclusive_, !read_only_, io_);
  if (!handler->exists())
    throw EDatabaseError(fmt::sprintf("Cannot find file %s", handler->path()));
  handler->Open();
  handler->set_auto_flush(auto_flush_);
  handler->set_use_deleted(use_deleted_);
  handler->SetLockProtocol(lock_protocol_);
  handler->set_user_id(user_id_);
  handler->SetReadAhead(false);
  handler->on_status = [this](int s1, int s2, int s3) {
    if (OnStatus) OnStatus(s1, s2, s3);
  };
  handler->on_filter_record = [this] { return !OnFilterRecord || OnFilterRecord(*this); };
  handler_ = std::move(handler);
  read_ahead_allowed_ = true;
  read_ahead_on_ = false;
  try {
    BuildFields();
    if (filtered_) {
      handler_->SetFilterRequested(true);
      handler_->SetFilter(filter_, filter_options_.case_insensitive,
                          !filter_options_.no_partial_compare);
    }
    OpenIndexFiles(true);
    // A table without index files stays in record order with read-ahead off. Selecting the
    // order reads its first record already.
    const bool order_selected = !index_files_.empty() || !index_name_.empty();
    if (order_selected) SelectOrder(index_name_, false);
    state_ = TDataSetState::Browse;
    if (order_selected)
      ArrivedAtFirst();
    else
      First();
  } catch (...) {
    fields_.clear();
    handler_.reset();
    state_ = TDataSetState::Inactive;
    throw;
  }
}

void TXbDataSet::Close() {
  if (!handler_) return;
  CheckNotBuilding();
  fields_.clear();
  handler_.reset();
  state_ = TDataSetState::Inactive;
  has_record_ = false;
  eof_ = bof_ = true;
  modified_ = false;
}

// ---- fields --------------------------------------------------------------------------------

void TXbDataSet::BuildFields() {
  fields_.clear();
  fields_.reserve(static_cast<size_t>(handler_->FieldCount()));
  for (int n = 1; n <= handler_->FieldCount(); ++n) {
    const char type = handler_->FieldType(n);
    const uint32_t length = handler_->FieldLength(n);
    const uint32_t decimals = handler_->FieldDecimals(n);
    TxFieldType value_type = TxFieldType::String;
    switch (type) {
      case 'N':
      case 'F':
        if (decimals > 0)
          value_type = TxFieldType::Float;
        else if (length <= 4)
          value_type = TxFieldType::SmallInt;
        else if (length <= 9)
          value_type = TxFieldType::Integer;
        else
          value_type = large_integer_as_ == TxIntFields::asInteger    ? TxFieldType::Integer
                       : large_integer_as_ == TxIntFields::asLargeInt ? TxFieldType::LargeInt
                                                                      : TxFieldType::Float;
        break;
      case 'D':
        value_type = TxFieldType::Date;
        break;
      case 'L':
        value_type = TxFieldType::Boolean;
        break;
      case 'M':
        value_type = TxFieldType::Memo;
        break;
      case 'B':
      case 'G':
        value_type = TxFieldType::Blob;
        break;
      default:
        value_type = TxFieldType::String;
    }
    fields_.emplace_back(*this, n, handler_->FieldName(n), value_type, static_cast<int>(length));
  }
}

TXbField& TXbDataSet::Fields(int i) {
  if (i < 0 || i >= FieldCount()) throw EDatabaseError("List index out of bounds");
  return fields_[static_cast<size_t>(i)];
}

TXbField* TXbDataSet::FindField(const std::string& name) {
  for (TXbField& f : fields_)
    if (AnsiSameText(f.FieldName(), name)) return &f;
  return nullptr;
}

TXbField& TXbDataSet::FieldByName(const std::string& name) {
  if (TXbField* f = FindField(name)) return *f;
  throw EDatabaseError(fmt::sprintf("Field '%s' not found", name));
}

// ---- records -------------------------------------------------------------------------------

// The handler switches read-ahead on when physical order is selected by name and off for a
// tag; the dataset keeps track, so it can empty the buffer without changing the setting.
void TXbDataSet::SelectOrder(const std::string& name, bool keep_position) {
  handler_->SetOrder(name, keep_position);
  read_ahead_on_ = read_ahead_allowed_ && handler_->MasterTag() == nullptr;
}

void TXbDataSet::RefreshReadAhead() {
  // Drops what the read-ahead buffer holds, so the next read comes from the file.
  if (read_ahead_on_) handler_->SetReadAhead(true);
}

void TXbDataSet::Edit() {
  CheckActive();
  if (state_ == TDataSetState::Edit || state_ == TDataSetState::Insert) return;
  if (!has_record_) {
    Append();
    return;
  }
  const uint32_t n = handler_->recno();
  // The lock comes first, so the record read below cannot be changed by another program
  // before it is written back.
  if (!handler_->LockRecord(n)) throw EDatabaseError("Record is locked by another user");
  try {
    RefreshReadAhead();
    handler_->ReadRecord(n);
  } catch (...) {
    handler_->Unlock();
    throw;
  }
  state_ = TDataSetState::Edit;
  modified_ = false;
}

void TXbDataSet::Append() {
  CheckBrowseMode();
  if (handler_->lock_count() > 0) handler_->Unlock();
  insert_return_ = has_record_ ? handler_->recno() : 0;
  handler_->BlankRecord();
  state_ = TDataSetState::Insert;
  modified_ = false;
}

void TXbDataSet::Post() {
  CheckActive();
  if (state_ == TDataSetState::Edit) {
    handler_->WriteRecord(handler_->recno());
    handler_->Unlock();
  } else if (state_ == TDataSetState::Insert) {
    handler_->AppendRecord();
    has_record_ = true;
    eof_ = bof_ = false;
  } else {
    throw EDatabaseError("Dataset not in edit or insert mode");
  }
  state_ = TDataSetState::Browse;
  modified_ = false;
}

void TXbDataSet::Cancel() {
  CheckActive();
  const TDataSetState was = state_;
  state_ = TDataSetState::Browse;
  modified_ = false;
  if (was == TDataSetState::Edit) {
    handler_->ReadRecord(handler_->recno());
  } else if (was == TDataSetState::Insert) {
    if (insert_return_ > 0)
      PositionAt(insert_return_);
    else
      First();
  }
}

void TXbDataSet::Delete() {
  CheckActive();
  if (state_ == TDataSetState::Insert) {
    Cancel();
    return;
  }
  if (state_ == TDataSetState::Edit) Cancel();
  if (!has_record_ || handler_->recno() == 0) throw EDatabaseError("Cannot delete the record");
  handler_->Delete();
  if (!handler_->IsDeleted()) throw EDatabaseError("Cannot delete the record");
  handler_->ReadRecord(kRecNext);
  if (OnRecord()) {
    has_record_ = true;
    eof_ = bof_ = false;
    return;
  }
  handler_->ReadRecord(kRecLast);
  has_record_ = OnRecord();
  eof_ = true;
  bof_ = !has_record_;
}

void TXbDataSet::Refresh() {
  CheckBrowseMode();
  handler_->RefreshFilter();
  if (has_record_) PositionAt(handler_->recno());
}

bool TXbDataSet::LockRecord() {
  CheckActive();
  if (RecNo() == 0) return false;
  return handler_->LockRecord(RecNo());
}

void TXbDataSet::Unlock() {
  CheckActive();
  handler_->Unlock();
}

}  // namespace fidora
