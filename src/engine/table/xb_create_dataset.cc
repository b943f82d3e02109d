#include "engine/table/xb_create_dataset.h"

#include <set>

#include "engine/dbf/ansi_case.h"
#include "engine/dbf/dbf_build.h"
#include "engine/dbf/disk_file.h"
#include "engine/table/dataset_error.h"
#include "engine/table/engine_questions.h"
#include "engine/table/field_definition.h"
#include "engine/table/xb_dataset.h"

namespace fidora {

namespace {

std::vector<TFieldDefinition> CheckedDefinitions(const std::vector<std::string>& lines) {
  if (lines.empty()) throw EDatabaseError("Field list is invalid");
  std::vector<TFieldDefinition> defs;
  std::set<std::string> names;
  for (const std::string& line : lines) {
    const auto def = ParseFieldDefinition(line);
    if (!def || !names.insert(AnsiUpperCase(def->name)).second)
      throw EDatabaseError("Field list is invalid");
    defs.push_back(*def);
  }
  return defs;
}

}  // namespace

bool TCreateXbDataSet::Execute() {
  if (!DBFTable) throw EDatabaseError("A table is not assigned to this object");
  if (DBFTable->Active()) throw EDatabaseError("Cannot perform this operation on an open table");
  if (DBFType != TxDBFTypes::Clipper && DBFType != TxDBFTypes::DBaseIII)
    throw EDatabaseError("Only Clipper and dBase III tables can be created");
  const std::string path = DBFTable->TablePath();
  FileIo& io = DBFTable->Io();
  if (!AutoOverwrite && TDiskFile(path, true, false, io).exists() &&
      !EngineQuestions().ConfirmOkCancel("Table exists.  Do you want to overwrite?", "Confirm"))
    return false;
  const std::vector<TFieldDefinition> defs = CheckedDefinitions(CreateFields);
  TDbfBuild build(path, io);
  for (const TFieldDefinition& d : defs) build.AddField(d.name, d.type, d.length, d.decimals);
  build.Build();
  DBFTable->Open();
  return true;
}

}  // namespace fidora
