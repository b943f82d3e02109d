#include "tables/structure_check.h"

#include <fmt/format.h>

#include <algorithm>

#include "engine/dbf/ansi_case.h"
#include "engine/dbf/disk_file.h"
#include "engine/table/field_definition.h"
#include "engine/table/xb_dataset.h"
#include "tables/data_module.h"
#include "tables/general_reindex.h"
#include "tables/maintenance_events.h"
#include "tables/table_rebuild.h"

namespace fidora {

namespace {

constexpr size_t kFieldNameLength = 10;

std::string DefinitionName(const std::string& definition) {
  return definition.substr(0, std::min(definition.find(';'), kFieldNameLength));
}

bool Narrows(const std::string& stored, const std::string& required) {
  const auto from = ParseFieldDefinition(stored);
  const auto to = ParseFieldDefinition(required);
  if (!from || !to) return true;
  return AnsiUpperCase(std::string(1, from->type)) != AnsiUpperCase(std::string(1, to->type)) ||
         to->length < from->length || to->decimals < from->decimals;
}

// The definitions of an existing table, read through tGeneric: for C fields the full length
// and no decimals.
std::vector<std::string> ReadDefinitions(TXbDataSet& generic, const std::string& table) {
  generic.SetTableName(table);
  generic.Open();
  std::vector<std::string> definitions;
  TDataSetHandler& handler = generic.ActiveHandler();
  for (int n = 1; n <= handler.FieldCount(); ++n) {
    const char type = handler.FieldType(n);
    definitions.push_back(fmt::format("{};{};{};{}", handler.FieldName(n), type,
                                      handler.FieldLength(n),
                                      type == 'C' ? 0 : handler.FieldDecimals(n)));
  }
  generic.Close();
  return definitions;
}

// Whether the existing table lacks a field of the definitions.
bool LacksAField(TXbDataSet& generic, const std::string& table,
                 const std::vector<std::string>& definitions) {
  generic.SetTableName(table);
  generic.Open();
  bool lacks = false;
  for (const std::string& definition : definitions)
    lacks = lacks || generic.FindField(DefinitionName(definition)) == nullptr;
  generic.Close();
  return lacks;
}

}  // namespace

const std::vector<TRequiredStructure>& RequiredStructures() {
  static const std::vector<TRequiredStructure> tables = {
      {"TRACKER.DBF",
       {"EXP_DATE;D;8;0", "DELIVERY;C;35;0", "OFFRITEM;N;4;0", "EMAIL;C;45;0", "OFFER;C;2;0"}},
      {"VOUCHERS.DBF", {"SELLDATE;D;8;0", "NUMBER;C;16;0", "AMOUNT;N;8;2"}},
      {"TRACKCHLOG.DBF", {"DATE;D;8;0", "OLD_NUMBER;C;16;0", "NEW_NUMBER;C;16;0", "CLERK;C;20;0"}},
  };
  return tables;
}

TMergedStructure MergeDefinitions(std::vector<std::string> current,
                                  const std::vector<std::string>& required) {
  TMergedStructure merged;
  merged.definitions = std::move(current);
  std::vector<std::string> names;
  for (const std::string& definition : merged.definitions)
    names.push_back(DefinitionName(definition));
  for (const std::string& definition : required) {
    const std::string name = DefinitionName(definition);
    auto same_name = [&](const std::string& n) { return AnsiSameText(n, name); };
    if (std::none_of(names.begin(), names.end(), same_name)) {
      merged.definitions.push_back(definition);
      names.push_back(name);
      continue;
    }
    auto same = [&](const std::string& d) { return AnsiSameText(d, definition); };
    if (std::any_of(merged.definitions.begin(), merged.definitions.end(), same)) continue;
    const std::string prefix = AnsiUpperCase(name + ";");
    for (std::string& stored : merged.definitions) {
      if (AnsiUpperCase(stored.substr(0, prefix.size())) != prefix) continue;
      if (Narrows(stored, definition)) merged.narrowed.push_back(stored + " -> " + definition);
      stored = definition;
    }
    merged.changed = true;
  }
  return merged;
}

bool CheckTable(TDM& dm, FileIo& io, const TRequiredStructure& required,
                TMaintenanceEvents& events) {
  const std::string table = required.table;
  dm.tWork.SetTableName(table);
  events.Progress("Check Table : " + table);
  const bool exists = TDiskFile(dm.tGeneric.Directory() + table, true, false).exists();
  if (!exists) {
    CreateTable(dm, io, table, MergeDefinitions({}, required.fields).definitions);
    return true;
  }
  const TMergedStructure merged =
      MergeDefinitions(ReadDefinitions(dm.tGeneric, table), required.fields);
  if (!merged.changed && !LacksAField(dm.tGeneric, table, merged.definitions)) return false;
  events.Progress("Updating Table : " + table);
  for (const std::string& narrowed : merged.narrowed)
    events.Log("Check Table : " + table + " - " + narrowed + ", stored values may be cut");
  RebuildTable(dm, io, table, merged.definitions);
  return true;
}

bool CheckAllTables(TDM& dm, FileIo& io, TMaintenanceEvents& events) {
  bool changed = false;
  for (const TRequiredStructure& required : RequiredStructures())
    changed = CheckTable(dm, io, required, events) || changed;
  if (!changed) return false;
  const std::string error = ReindexGeneralData(dm, events);
  if (!error.empty()) events.Message(error, "Reindex Failed");
  return true;
}

}  // namespace fidora
