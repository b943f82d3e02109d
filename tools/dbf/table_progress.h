// Progress of the table tool's long commands (index, reindex, pack, check) as a bar on standard
// error. Shown only when standard error is a terminal and the table has more than 100 000
// records: small tables finish before a bar would help, and a pipe wants no redrawn lines.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/index/index_table.h"
#include "engine/table/table_handler.h"
#include "tools/dbf/progress_view.h"

namespace fidora::tool {

// Turns the engine's progress notices (stat1 -1: a phase of stat3 steps begins; stat1 > 0:
// step stat2 of that phase; 0: done) into percentage lines of one table.
class TTableProgress {
 public:
  // `shown` false makes every notice a no-op.
  TTableProgress(std::string table_name, bool shown);
  void Notice(int stat1, int stat2, int stat3);

 private:
  std::string table_name_;
  std::unique_ptr<TProgressView> view_;
  long total_ = 0;
  int percent_ = -1;
};

// Whether a bar is worth showing for a table of `records` records on this standard error.
bool WantsProgressBar(uint32_t records);

// Draws the progress notices of `table`'s long operations when WantsProgressBar says so.
void ShowProgressOf(TDataSetHandler& table);

// The table's index view, counting the records a check walks as progress notices.
class TCheckProgress : public TIndexTable {
 public:
  TCheckProgress(TIndexTable& table, TTableProgress& progress)
      : table_(table), progress_(progress) {}

  std::unique_ptr<TIndexExpression> Compile(const std::string& text) override {
    return table_.Compile(text);
  }
  bool FieldSize(const std::string& name, uint16_t* length, uint16_t* decimals) override {
    return table_.FieldSize(name, length, decimals);
  }
  uint32_t RecordCount() override { return table_.RecordCount(); }
  uint32_t CurrentRecord() override { return table_.CurrentRecord(); }
  bool HasBeforeImage() override { return table_.HasBeforeImage(); }
  bool RecordModified() override { return table_.RecordModified(); }
  void BuildFirst() override;
  void BuildNext() override;
  bool BuildAtEnd() override;
  size_t BuildMemory() override { return table_.BuildMemory(); }
  std::unique_ptr<TScratchFile> OpenScratchFile() override { return table_.OpenScratchFile(); }
  bool ExactSeek() override { return table_.ExactSeek(); }
  void Status(int stat1, int stat2, int stat3) override { table_.Status(stat1, stat2, stat3); }

 private:
  TIndexTable& table_;
  TTableProgress& progress_;
  int walked_ = 0;
};

}  // namespace fidora::tool
