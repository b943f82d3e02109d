// A table held in memory behind the expression engine's table seam: Clipper-layout records
// (deletion flag, then the fields' bytes) and a current record, for tests that bind
// expressions to fields without files.
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "engine/expr/exp_dates.h"
#include "engine/expr/exp_text.h"
#include "engine/expr/exp_value.h"
#include "engine/expr/table_access.h"

namespace fidora::test {

struct MemoryField {
  std::string name;
  char type;
  int length;
  int decimals;
};

class MemoryTable : public TxTableAccess {
 public:
  explicit MemoryTable(std::vector<MemoryField> fields) : fields_(std::move(fields)) {
    int offset = 1;
    for (const auto& f : fields_) {
      offsets_.push_back(offset);
      offset += f.length;
    }
    recordLength_ = offset;
  }

  // Appends a record from field texts as stored (padded or cut to each field's length).
  void Append(const std::vector<std::string>& values, bool deleted = false) {
    std::string record(static_cast<size_t>(recordLength_), ' ');
    record[0] = deleted ? '*' : ' ';
    for (size_t i = 0; i < values.size() && i < fields_.size(); ++i) {
      std::string v = values[i];
      const auto len = static_cast<size_t>(fields_[i].length);
      if (fields_[i].type == 'N' || fields_[i].type == 'F')
        v.insert(0, len > v.size() ? len - v.size() : 0, ' ');
      v.resize(len, ' ');
      record.replace(static_cast<size_t>(offsets_[i]), len, v);
    }
    records_.push_back(record);
    recNo_ = static_cast<std::int64_t>(records_.size());
  }
  void SetMemo(int field, std::string text) { memos_[{recNo_, field}] = std::move(text); }
  void Go(std::int64_t recNo) { recNo_ = recNo; }
  void SetFlags(bool bof, bool eof) { bof_ = bof, eof_ = eof; }

  std::string FilePath() const override { return "/data/TRACKER.DBF"; }
  int FieldCount() const override { return static_cast<int>(fields_.size()); }
  std::string FieldName(int f) const override { return field(f).name; }
  char FieldType(int f) const override { return field(f).type; }
  int FieldLength(int f) const override { return field(f).length; }
  int FieldDecimals(int f) const override { return field(f).decimals; }
  std::string_view FieldBytes(int f) const override {
    return std::string_view(record()).substr(
        static_cast<size_t>(offsets_[static_cast<size_t>(f - 1)]),
        static_cast<size_t>(field(f).length));
  }
  double FieldNumber(int f) const override {
    const std::string text(TrimBoth(FieldBytes(f)));
    double value = 0;
    if (!text.empty() && !ParseDecimal(text, value)) throw std::runtime_error("bad number");
    return value;
  }
  std::int32_t FieldDayNumber(int f) const override {
    return DayNumberFromText(std::string(FieldBytes(f)));
  }
  bool FieldLogical(int f) const override {
    const char c = FieldBytes(f)[0];
    return std::string_view("TtYyJj").find(c) != std::string_view::npos;
  }
  std::string FieldMemo(int f) const override {
    const auto it = memos_.find({recNo_, f});
    return it == memos_.end() ? std::string() : it->second;
  }
  std::int64_t RecNo() const override { return recNo_; }
  bool IsDeleted() const override { return record()[0] != ' '; }
  bool IsBof() const override { return bof_; }
  bool IsEof() const override { return eof_; }

 private:
  const MemoryField& field(int f) const { return fields_.at(static_cast<size_t>(f - 1)); }
  const std::string& record() const { return records_.at(static_cast<size_t>(recNo_ - 1)); }

  std::vector<MemoryField> fields_;
  std::vector<int> offsets_;
  int recordLength_ = 1;
  std::vector<std::string> records_;
  std::map<std::pair<std::int64_t, int>, std::string> memos_;
  std::int64_t recNo_ = 0;
  bool bof_ = false, eof_ = false;
};

}  // namespace fidora::test
