// Index files and orders of the dataset, whole-table operations, memo and raw field access.
#include <fmt/printf.h>

#include "engine/dbf/ansi_case.h"
#include "engine/dbf/dbf_bulk_append.h"
#include "engine/dbf/file_names.h"
#include "engine/dbf/memo_file.h"
#include "engine/table/dataset_error.h"
#include "engine/table/index_list.h"
#include "engine/table/xb_dataset.h"

namespace fidora {

namespace {

bool IsMemo(char type) {
  return type == 'M' || type == 'B' || type == 'G';
}

}  // namespace

// Closes every open index file and opens those of IndexFiles, then selects IndexName. At
// open a name listed twice is skipped; a list changed while open may not repeat a name.
void TXbDataSet::OpenIndexFiles(bool at_open) {
  handler_->CloseIndexes();
  for (const std::string& listed : index_files_) {
    std::string name = WithDefaultExtension(listed, ".ndx");
    if (name.find('/') == std::string::npos) name = Directory() + name;
    const TResolvedName resolved = ResolveName(name, io_);
    if (!resolved.exists) throw EDatabaseError(fmt::sprintf("Cannot find file %s", resolved.path));
    // The name resolved once serves the open too, unless the handler reads it otherwise.
    const std::string full = handler_->IndexPath(name);
    const int opened =
        full == name ? handler_->OpenIndex(full, resolved) : handler_->OpenIndex(name);
    if (opened < 0 && !at_open)
      throw EDatabaseError(fmt::sprintf("Index file %s already open", name));
  }
}

void TXbDataSet::SetIndexFiles(const std::vector<std::string>& names) {
  index_files_ = names;
  if (!handler_) return;
  CheckBrowseMode();
  const bool keep = has_record_ && !eof_;
  OpenIndexFiles(false);
  SelectOrder(index_name_, keep);
  has_record_ = OnRecord();
  eof_ = bof_ = !has_record_;
}

void TXbDataSet::SetIndexName(const std::string& name) {
  index_name_ = name;
  if (!handler_) return;
  CheckBrowseMode();
  const bool keep = has_record_ && !eof_;
  SelectOrder(name, keep);
  has_record_ = OnRecord();
  if (keep && has_record_) {
    eof_ = bof_ = false;
  } else {
    bof_ = true;
    eof_ = !has_record_;
  }
}

int TXbDataSet::OpenIndexFile(const std::string& name) {
  CheckBrowseMode();
  return handler_->OpenIndex(name);
}

void TXbDataSet::SetIndexList(const std::string& text, const std::string& tag) {
  index_name_ = tag;
  SetIndexFiles(SplitIndexList(text));
}

void TXbDataSet::IndexOn(const std::string& file, const std::string& tag, const std::string& key,
                         const std::string& for_expr, bool unique, bool ascending) {
  CheckBrowseMode();
  building_ = true;
  try {
    handler_->IndexOn(file, tag, key, for_expr, unique, ascending);
  } catch (...) {
    building_ = false;
    throw;
  }
  building_ = false;
  First();
}

void TXbDataSet::Pack() {
  CheckBrowseMode();
  const std::string order = index_name_;
  read_ahead_allowed_ = false;
  handler_->AllowReadAhead(false);
  SelectOrder("", true);
  const bool was_filtered = handler_->FilterOn();
  handler_->SetFilterRequested(false);
  handler_->Pack();
  handler_->SetFilterRequested(was_filtered);
  SelectOrder(order, false);
  First();
}

void TXbDataSet::Zap() {
  CheckBrowseMode();
  handler_->Zap();
  First();
}

int TXbDataSet::FieldNumber(const std::string& name) {
  return ActiveHandler().FieldNo(name);
}

uint32_t TXbDataSet::MemoLength(const std::string& field) {
  const int n = FieldNumber(field);
  if (!IsMemo(handler_->FieldType(n))) return 0;
  const double block = handler_->GetNumber(n);
  if (block <= 0) return 0;
  return handler_->Memo().MemoLength(static_cast<uint32_t>(block));
}

std::string TXbDataSet::ReadMemo(const std::string& field) {
  const int n = FieldNumber(field);
  if (!IsMemo(handler_->FieldType(n))) return {};
  return handler_->GetMemo(n);
}

void TXbDataSet::WriteMemo(const std::string& field, std::string_view bytes) {
  const int n = FieldNumber(field);
  CheckEditing();
  if (!IsMemo(handler_->FieldType(n)))
    throw EDatabaseError(fmt::sprintf("Field %s is not a memo field", handler_->FieldName(n)));
  handler_->SetMemo(n, bytes);
  modified_ = true;
}

std::string TXbDataSet::RawFieldText(const std::string& field) {
  return std::string(handler_ ? ActiveHandler().FieldRaw(FieldNumber(field)) : "");
}

void TXbDataSet::SetRawFieldText(const std::string& field, std::string_view text) {
  const int n = FieldNumber(field);
  CheckEditing();
  handler_->SetFieldRaw(n,
                        AlignedFieldText(handler_->FieldType(n), handler_->FieldLength(n), text));
  modified_ = true;
}

}  // namespace fidora
