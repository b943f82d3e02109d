// What an index needs from its table: key and FOR expressions bound to the table's record
// buffer, the current record, the before-image of a written record, a physical pass for
// building, and the table's settings. The table handler implements it; tests use a small model.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/dbf/scratch_file.h"
#include "engine/index/ntx_key.h"

namespace fidora {

// The memory an index build's sort holds by default before it writes sorted runs: 256 MB.
inline constexpr size_t kDefaultBuildMemory = size_t{256} << 20;

// A compiled key or FOR expression bound to one table.
class TIndexExpression {
 public:
  virtual ~TIndexExpression() = default;
  // Value on the current record buffer, or on the before-image of the record being written.
  virtual IndexKeyValue Evaluate(bool before_image) = 0;
  // The text value on the current record buffer, put together straight from the record's
  // fields, when the expression is of a form that allows it (see TxFieldKey); the text is the
  // one Evaluate(false) gives. False when Evaluate must be used.
  virtual bool EvaluateText(std::string& text) {
    (void)text;
    return false;
  }
};

class TIndexTable {
 public:
  virtual ~TIndexTable() = default;
  // Compiles an expression against the table's fields (errors raise EXbExpression).
  virtual std::unique_ptr<TIndexExpression> Compile(const std::string& text) = 0;
  // Length and decimals of a field, false when the table has no such field.
  virtual bool FieldSize(const std::string& name, uint16_t* length, uint16_t* decimals) = 0;

  virtual uint32_t RecordCount() = 0;
  // Record number the record buffer holds, 0 when there is no current record.
  virtual uint32_t CurrentRecord() = 0;
  // During a record write: whether a before-image exists and whether the record changed.
  virtual bool HasBeforeImage() = 0;
  virtual bool RecordModified() = 0;

  // Physical pass over every record (deleted ones included) for a build.
  virtual void BuildFirst() = 0;
  virtual void BuildNext() = 0;
  virtual bool BuildAtEnd() = 0;
  // The memory a build's sort may hold before it writes sorted runs to scratch files, and a
  // new scratch file for a run (beside the table).
  virtual size_t BuildMemory() { return kDefaultBuildMemory; }
  virtual std::unique_ptr<TScratchFile> OpenScratchFile() = 0;

  virtual bool ExactSeek() = 0;
  // Progress notice (stat1, stat2, stat3).
  virtual void Status(int stat1, int stat2, int stat3) = 0;
};

}  // namespace fidora
