// The filter: its compiled expression and the set of record numbers it admits.
#include <fmt/format.h>

#include <chrono>

#include "engine/dbf/xb_error.h"
#include "engine/table/table_handler.h"

namespace fidora {

void TTableHandler::SetFilterRequested(bool on) {
  filter_requested_ = on;
  filter_on_ = on && filter_ != nullptr;
}

void TTableHandler::SetFilter(const std::string& text, bool case_insensitive, bool partial) {
  filter_set_.Clear();
  filter_on_ = false;
  if (text.empty()) {
    filter_.reset();
    filter_text_.clear();
    return;
  }
  const bool recompile = !filter_ || text != filter_text_ || case_insensitive != filter_ci_ ||
                         partial != filter_partial_;
  if (recompile) {
    auto handler = std::make_unique<TxExpHandler>();
    handler->SetCompareSettings(case_insensitive, partial);
    handler->Create(link_.get(), table_name(), text);
    filter_.reset();
    const TxExpValue probe = handler->Evaluate();
    if (probe.type != TxExpType::Boolean)
      throw EXbError(XbErrorKind::kExpression, "Filter expression must return boolean result");
    filter_ = std::move(handler);
    filter_text_ = text;
    filter_ci_ = case_insensitive;
    filter_partial_ = partial;
  }
  BuildFilterSet();
  filter_on_ = filter_requested_ && filter_ != nullptr;
}

void TTableHandler::RefreshFilter() {
  if (!filter_) return;
  filter_set_.Clear();
  filter_on_ = false;
  BuildFilterSet();
  filter_on_ = filter_requested_;
}

// One physical pass over the visible records, evaluating the filter on each.
void TTableHandler::BuildFilterSet() {
  const uint32_t was = position_valid_ ? recno() : 0;
  const bool ahead = read_ahead_.On();
  TNtxTag* master = master_;
  master_ = nullptr;
  SetReadAhead(true);
  try {
    TFilterSet fresh;
    for (bool ok = ReadRecord(kRecFirst); ok; ok = ReadRecord(kRecNext)) {
      const TxExpValue v = filter_->Evaluate();
      if (v.type == TxExpType::Boolean && v.logical) fresh.Include(recno());
    }
    filter_set_ = std::move(fresh);
  } catch (...) {
    master_ = master;
    SetReadAhead(ahead);
    filter_set_.Clear();
    throw;
  }
  master_ = master;
  SetReadAhead(ahead);
  if (was > 0)
    ReadRecord(static_cast<int64_t>(was));
  else
    ReadRecord(kRecFirst);
}

}  // namespace fidora
