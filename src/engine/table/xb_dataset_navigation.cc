// Moving through the dataset: navigation, record numbers, filters, Find and Locate.
#include <fmt/format.h>

#include "engine/table/dataset_error.h"
#include "engine/table/oem_ansi.h"
#include "engine/table/xb_dataset.h"

namespace fidora {

void TXbDataSet::First() {
  CheckBrowseMode();
  handler_->ReadRecord(kRecFirst);
  ArrivedAtFirst();
}

void TXbDataSet::ArrivedAtFirst() {
  has_record_ = OnRecord();
  bof_ = true;
  eof_ = !has_record_;
}

void TXbDataSet::Last() {
  CheckBrowseMode();
  handler_->ReadRecord(kRecLast);
  has_record_ = OnRecord();
  eof_ = true;
  bof_ = !has_record_;
}

// The handler stands on a record (a walk that found none stops at an end).
bool TXbDataSet::OnRecord() const {
  return !handler_->Eof() && !handler_->Bof();
}

// A step past either end keeps the record the dataset was on as its current record.
void TXbDataSet::Next() {
  CheckBrowseMode();
  if (!has_record_) {
    eof_ = true;
    return;
  }
  const uint32_t was = handler_->recno();
  handler_->ReadRecord(kRecNext);
  if (!OnRecord()) {
    PositionAt(was);
    eof_ = true;
    return;
  }
  eof_ = bof_ = false;
}

void TXbDataSet::Prior() {
  CheckBrowseMode();
  if (!has_record_) {
    bof_ = true;
    return;
  }
  const uint32_t was = handler_->recno();
  handler_->ReadRecord(kRecPrevious);
  if (handler_->Eof() || handler_->Bof()) {
    PositionAt(was);
    bof_ = true;
    return;
  }
  eof_ = bof_ = false;
}

// Record n as it is, without moving the flags of a caller that went past an end.
void TXbDataSet::PositionAt(uint32_t n) {
  handler_->ReadRecord(n);
  has_record_ = !handler_->Eof() && handler_->recno() == n;
}

uint32_t TXbDataSet::RecNo() const {
  if (!handler_ || !has_record_) return 0;
  return handler_->recno();
}

void TXbDataSet::SetRecNo(uint32_t n) {
  CheckBrowseMode();
  if (n == 0) throw EDatabaseError(fmt::format("Record number {} is not valid", n));
  PositionAt(n);
  eof_ = bof_ = !has_record_;
}

uint32_t TXbDataSet::RecordCount() {
  CheckActive();
  return handler_->CountRecords(exact_count_);
}

// ---- filter --------------------------------------------------------------------------------

void TXbDataSet::SetFilter(const std::string& text) {
  filter_ = text;
  if (!handler_ || !filtered_) return;
  CheckBrowseMode();
  handler_->SetFilterRequested(true);
  handler_->SetFilter(filter_, filter_options_.case_insensitive,
                      !filter_options_.no_partial_compare);
  First();
}

void TXbDataSet::SetFilterOptions(TxFilterOptions options) {
  filter_options_ = options;
  if (handler_ && filtered_) SetFilter(filter_);
}

void TXbDataSet::SetFiltered(bool on) {
  if (!handler_ || on == filtered_) {
    filtered_ = on;
    return;
  }
  CheckBrowseMode();
  filtered_ = on;
  handler_->SetFilterRequested(on);
  if (on)
    handler_->SetFilter(filter_, filter_options_.case_insensitive,
                        !filter_options_.no_partial_compare);
  First();
}

// ---- seeking -------------------------------------------------------------------------------

bool TXbDataSet::Find(const std::string& key, bool exact, bool near) {
  CheckBrowseMode();
  if (!handler_->MasterTag()) throw EDatabaseError("No index is assigned for Find operation");
  if (handler_->record_count() == 0 || !has_record_) return false;
  handler_->set_exact(exact);
  handler_->set_near(near);
  const bool found = handler_->Find(translate_ascii_ ? AnsiToOem(key) : key);
  if (found || (near && !handler_->Eof())) {
    has_record_ = true;
    eof_ = bof_ = false;
    return found;
  }
  Last();
  return false;
}

bool TXbDataSet::Locate(const std::string& fields, const std::vector<TFieldValue>& values,
                        TxLocateOptions options) {
  CheckBrowseMode();
  const uint32_t was = RecNo();
  std::vector<std::string> texts;
  texts.reserve(values.size());
  for (const TFieldValue& v : values) texts.push_back(v.AsText());
  const bool found =
      handler_->Locate(fields, texts, 0, options.partial_key, options.case_insensitive);
  if (found && !handler_->Eof()) {
    has_record_ = true;
    eof_ = bof_ = false;
    return true;
  }
  if (was > 0)
    PositionAt(was);
  else
    has_record_ = false;
  return false;
}

}  // namespace fidora
