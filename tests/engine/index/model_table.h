// A table held in memory for index tests: each record has one key value and one FOR flag.
// The expression "KEY" gives the key, "FOR" the flag; writes go through the index file the
// way the table handler drives it (before-image, then RecordWritten).
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/dbf/xb_error.h"
#include "engine/index/index_table.h"
#include "engine/index/ntx_file.h"

namespace fidora::test {

struct ModelRecord {
  IndexKeyValue key;
  bool accept = true;
};

class ModelTable : public TIndexTable {
 public:
  explicit ModelTable(IndexKeyValue blank, uint16_t field_length = 10, uint16_t decimals = 0)
      : blank_(std::move(blank)), field_length_(field_length), decimals_(decimals) {}

  std::vector<ModelRecord> records;
  uint32_t current = 0;
  bool exact = false;
  std::vector<std::string> status;

  std::unique_ptr<TIndexExpression> Compile(const std::string& text) override {
    if (text != "KEY" && text != "FOR") throw EXbExpression("unknown expression " + text);
    return std::make_unique<Expr>(*this, text == "FOR");
  }
  bool FieldSize(const std::string& name, uint16_t* length, uint16_t* decimals) override {
    if (name != "KEY") return false;
    *length = field_length_;
    *decimals = decimals_;
    return true;
  }
  uint32_t RecordCount() override { return static_cast<uint32_t>(records.size()); }
  uint32_t CurrentRecord() override { return current; }
  bool HasBeforeImage() override { return before_.has_value(); }
  bool RecordModified() override { return true; }
  void BuildFirst() override { current = records.empty() ? 0 : 1; }
  void BuildNext() override { ++current; }
  bool BuildAtEnd() override { return current == 0 || current > records.size(); }
  bool ExactSeek() override { return exact; }
  std::unique_ptr<TScratchFile> OpenScratchFile() override {
    return std::make_unique<TScratchFile>(
        SystemFileIo(), std::filesystem::temp_directory_path().string() + "/", "fidora-model-sort");
  }
  void Status(int a, int b, int c) override {
    if (a != 1 && a != 2)
      status.push_back(std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c));
  }

  // Appends a record and tells the index files, as a table append does.
  uint32_t Append(const ModelRecord& r, const std::vector<TNtxFile*>& files) {
    records.push_back(r);
    current = static_cast<uint32_t>(records.size());
    before_ = ModelRecord{blank_, true};
    for (TNtxFile* f : files) f->RecordWritten(current, true);
    before_.reset();
    return current;
  }
  void Edit(uint32_t recno, const ModelRecord& r, const std::vector<TNtxFile*>& files) {
    before_ = records[recno - 1];
    records[recno - 1] = r;
    current = recno;
    for (TNtxFile* f : files) f->RecordWritten(recno, false);
    before_.reset();
  }

 private:
  class Expr : public TIndexExpression {
   public:
    Expr(ModelTable& t, bool is_for) : t_(t), is_for_(is_for) {}
    IndexKeyValue Evaluate(bool before_image) override {
      const ModelRecord* r = nullptr;
      ModelRecord blank{t_.blank_, true};
      if (before_image && t_.before_)
        r = &*t_.before_;
      else if (t_.current >= 1 && t_.current <= t_.records.size())
        r = &t_.records[t_.current - 1];
      else
        r = &blank;
      return is_for_ ? IndexKeyValue::Logical(r->accept) : r->key;
    }

   private:
    ModelTable& t_;
    bool is_for_;
  };

  IndexKeyValue blank_;
  uint16_t field_length_, decimals_;
  std::optional<ModelRecord> before_;
};

inline ModelRecord Rec(const std::string& key, bool accept = true) {
  return {IndexKeyValue::Text(key), accept};
}

}  // namespace fidora::test
