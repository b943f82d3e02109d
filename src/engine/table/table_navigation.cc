// Navigation in master order with deleted and filtered records hidden, seeks and locate.
#include <fmt/format.h>

#include <algorithm>

#include "engine/dbf/xb_error.h"
#include "engine/table/table_handler.h"

namespace fidora {

namespace {
TxReadMode ModeOf(int64_t code) {
  switch (code) {
    case kRecFirst:
      return TxReadMode::kFirst;
    case kRecLast:
      return TxReadMode::kLast;
    case kRecPrevious:
      return TxReadMode::kPrevious;
    case kRecSame:
      return TxReadMode::kCurrent;
    default:
      return TxReadMode::kNext;
  }
}
// After the first step, top and "again" continue forwards, bottom backwards.
int64_t FollowingStep(int64_t code) {
  if (code == kRecFirst || code == kRecSame) return kRecNext;
  if (code == kRecLast) return kRecPrevious;
  return code;
}
}  // namespace

// An entry whose record no longer carries its key (the index was not kept up to date, or
// another program changed it without its index) would hand out another record than the one
// asked for: the order reports itself damaged instead.
void TTableHandler::VerifyMasterEntry() {
  if (master_ && master_->CurrentRecno() == recno()) master_->VerifyCurrentRecord();
}

bool TTableHandler::RecordVisible() {
  return !filter_on_ || filter_set_.Test(recno());
}

bool TTableHandler::Visible() {
  if (!use_deleted_ && TDbfFile::IsDeleted()) return false;
  return RecordVisible();
}

uint32_t TTableHandler::StepTag(int64_t code) {
  uint32_t r = master_->ReadKey(ModeOf(code));
  while (filter_on_ && r != 0 && !filter_set_.Test(r))
    r = master_->ReadKey(ModeOf(FollowingStep(code)));
  at_end_ = master_->AtEnd();
  at_begin_ = master_->AtBeginning();
  if (r == 0 && !at_end_ && !at_begin_) at_end_ = true;
  return r;
}

uint32_t TTableHandler::StepFilterSet(int64_t code) {
  const uint32_t highest = filter_set_.Highest();
  const bool upwards = code == kRecFirst || code == kRecNext;
  int64_t from = code == kRecFirst  ? 1
                 : code == kRecLast ? highest
                 : code == kRecNext ? int64_t{recno()} + 1
                                    : int64_t{recno()} - 1;
  if (code == kRecSame) from = recno();
  if (highest == 0) {
    at_end_ = at_begin_ = true;
    return 0;
  }
  for (int64_t n = from; n >= 1 && n <= highest; n += upwards ? 1 : -1)
    if (filter_set_.Test(static_cast<uint32_t>(n))) return static_cast<uint32_t>(n);
  (upwards || code == kRecSame ? at_end_ : at_begin_) = true;
  return 0;
}

bool TTableHandler::ReadRecord(int64_t n) {
  if (n == 0) {
    BlankRecord();
    at_end_ = true;
    position_valid_ = false;
    return false;
  }
  IndexLock lock(*this);
  if (state_ != State::kNormal) {
    const bool ok = TDbfFile::ReadRecord(n);
    at_end_ = !ok && !TDbfFile::read_before_first();
    at_begin_ = TDbfFile::read_before_first();
    return ok;
  }
  at_end_ = at_begin_ = false;
  int64_t code = n;
  for (;;) {
    uint32_t target = 0;
    bool read = false;
    if (code > 0) {
      // A record asked for by number is read from the file: it is read that way before an
      // edit, and a buffered copy may predate another program's change to it.
      if (shared()) read_ahead_.Drop();
      target = static_cast<uint32_t>(code);
    } else if (master_) {
      target = StepTag(code);
    } else if (filter_on_) {
      target = StepFilterSet(code);
    } else {
      if (!TDbfFile::ReadRecord(code)) {
        at_begin_ = TDbfFile::read_before_first();
        at_end_ = !at_begin_ || TDbfFile::read_past_last();
        break;
      }
      target = recno();
      read = true;
    }
    if (at_end_ || at_begin_) break;
    if (target > record_count()) RefreshHeader();
    if (target < 1 || target > record_count()) {
      BlankRecord();
      at_end_ = true;
      break;
    }
    if (!read) TDbfFile::ReadRecord(target);
    if (code <= 0 && master_) VerifyMasterEntry();
    if (code > 0 || Visible()) break;
    code = FollowingStep(code);
  }
  position_valid_ = !at_end_ && !at_begin_;
  if (master_ && position_valid_ && master_->CurrentRecno() != recno())
    master_->SyncRecord(recno());
  return position_valid_;
}

void TTableHandler::Skip(int64_t n) {
  if (n == 0) {
    ReadRecord(kRecSame);
    return;
  }
  if (!filter_requested_ && use_deleted_ && state_ == State::kNormal) {
    IndexLock lock(*this);
    at_end_ = at_begin_ = false;
    if (master_) {
      uint32_t r = master_->CurrentRecno();
      for (int64_t i = 0; i < std::abs(n) && r != 0; ++i)
        r = master_->ReadKey(n > 0 ? TxReadMode::kNext : TxReadMode::kPrevious);
      if (r == 0) {
        // Past an end: the record at that end is read and the flag stays set.
        const bool forwards = n > 0;
        ReadRecord(forwards ? kRecLast : kRecFirst);
        (forwards ? at_end_ : at_begin_) = true;
        position_valid_ = false;
        return;
      }
      TDbfFile::ReadRecord(r);
      VerifyMasterEntry();
      position_valid_ = true;
      return;
    }
    RefreshHeader();
    const int64_t target = int64_t{recno()} + n;
    if (target > int64_t{record_count()}) {
      if (record_count() > 0) TDbfFile::ReadRecord(record_count());
      at_end_ = true;
    } else if (target < 1) {
      if (record_count() > 0) TDbfFile::ReadRecord(1);
      at_begin_ = true;
    } else {
      TDbfFile::ReadRecord(target);
    }
    position_valid_ = !at_end_ && !at_begin_;
    return;
  }
  for (int64_t i = 0; i < std::abs(n); ++i) {
    ReadRecord(n > 0 ? kRecNext : kRecPrevious);
    if (at_end_ || at_begin_) break;
  }
}

bool TTableHandler::Find(const std::string& key_text) {
  found_ = false;
  if (record_count() == 0) RefreshHeader();
  if (record_count() == 0) return false;
  IndexLock lock(*this);
  auto bottom = [this] {
    ReadRecord(kRecLast);
    at_end_ = true;
    position_valid_ = false;
  };
  if (!master_) {
    bottom();
    return false;
  }
  const std::string key = key_text.substr(0, 256);
  const uint32_t r = master_->SeekKey(key);
  if (r == 0) {
    if (master_->AtEnd() || !near_) {
      bottom();
      return false;
    }
    TDbfFile::ReadRecord(master_->CurrentRecno());
    VerifyMasterEntry();
    at_end_ = at_begin_ = false;
    if (!Visible()) ReadRecord(kRecNext);
    if (at_end_) bottom();
    return false;
  }
  TDbfFile::ReadRecord(r);
  VerifyMasterEntry();
  at_end_ = at_begin_ = false;
  position_valid_ = true;
  while (!Visible() && !at_end_) ReadRecord(kRecNext);
  if (at_end_) {
    bottom();
    return false;
  }
  // The record reached must carry the key: compare over the searched key's length.
  const std::string searched =
      FormatSeekKey(key, master_->KeyType(), master_->KeySize(), master_->KeyDecimals());
  const std::string record_key = TrimKey(master_->CurrentRecordKey());
  const int c = CompareKeys(searched, record_key, 1);
  found_ = c == 0 || (c == 1 && record_key.size() > searched.size() && !exact_ &&
                      record_key.compare(0, searched.size(), searched) == 0);
  if (!found_ && !near_) bottom();
  return found_;
}

uint32_t TTableHandler::SeekInTag(const std::string& tag_name, const std::string& key) {
  TNtxFile* file = IndexFileOfTag(tag_name);
  if (!file)
    throw EXbError(XbErrorKind::kNotFound, fmt::format("Cannot find index tag {}", tag_name));
  IndexLock lock(*this);
  TNtxTag& tag = file->Tag();
  const std::string searched = key.substr(0, 256);
  const uint32_t found = tag.LookupKey(searched);
  // As for a seek: the record must carry the key its entry has (VerifyMasterEntry).
  if (found != 0) WithRecordInBuffer(found, [&] { tag.VerifyRecordKey(searched); });
  return found;
}

uint32_t TTableHandler::CountRecords(bool exact) {
  if (!exact) return record_count();
  const uint32_t was = recno();
  const bool was_valid = position_valid_;
  uint32_t count = 0;
  for (bool ok = ReadRecord(kRecFirst); ok; ok = ReadRecord(kRecNext)) ++count;
  if (was > 0 && was_valid) ReadRecord(was);
  return count;
}

}  // namespace fidora
