#include "shopper/request_tables.h"

#include "engine/dbf/file_io.h"
#include "engine/dbf/file_names.h"
#include "engine/table/xb_create_dataset.h"
#include "engine/table/xb_dataset.h"
#include "protocol/awk_parser.h"
#include "protocol/field_helpers.h"
#include "tables/module_errors.h"

namespace fidora {

namespace {

constexpr std::string_view kBlockEnd =
    "\xA6"
    "DATA";

// The table is made anew for every request, so a leftover of an interrupted run (even a
// damaged one) is simply removed; a file that cannot be removed makes the creation fail.
void RemoveTable(const TXbDataSet& dataset) {
  FileIo& io = dataset.Io();
  const std::string table = ResolveFileName(dataset.TablePath(), io);
  io.Unlink(table);
  io.Unlink(ResolveFileName(ChangeFileExtension(table, ".dbt"), io));
}

// Numeric, logical and date columns stay empty for an empty value: empty text is no number.
bool KeepsEmptyValue(const TXbField& field) {
  switch (field.DataType()) {
    case TxFieldType::SmallInt:
    case TxFieldType::Integer:
    case TxFieldType::LargeInt:
    case TxFieldType::Float:
    case TxFieldType::Boolean:
    case TxFieldType::Date:
      return true;
    default:
      return false;
  }
}

void AppendValues(TXbDataSet& dataset, const std::string& line) {
  const TAwkParser values(kFieldSeparator, line);
  dataset.Append();
  for (int i = 0; i < dataset.FieldCount(); ++i) {
    TXbField& field = dataset.Fields(i);
    const std::string value = values.Field(i + 1);
    if (value.empty() && KeepsEmptyValue(field)) continue;
    field.SetAsString(value);
  }
  dataset.Post();
}

}  // namespace

bool LoadTableFromRequest(TRxTx& rx, TXbDataSet& dataset) {
  dataset.Close();
  dataset.SetExclusive(true);
  RemoveTable(dataset);
  if (FindLine(rx, "DATA") < 0) return false;
  std::string line = NextLine(rx);
  if (line.empty() || line.starts_with(kBlockEnd)) return false;

  const TAwkParser columns(kFieldSeparator, line);
  std::vector<std::string> definitions;
  for (int i = 1; i <= columns.FieldCount(); ++i) definitions.push_back(columns.Field(i));
  CreateTableFromFields(dataset, definitions);
  for (line = NextLine(rx); !line.starts_with(kBlockEnd); line = NextLine(rx)) {
    // NextLine gives empty text only past the last line: the block has no end.
    if (line.empty())
      throw EDataModule(
          "The request ends without its \"\xA6"
          "DATA\" line");
    AppendValues(dataset, line);
  }
  dataset.Close();
  return true;
}

void CreateTableFromFields(TXbDataSet& dataset, const std::vector<std::string>& definitions) {
  TCreateXbDataSet create;
  create.DBFTable = &dataset;
  create.DBFType = TxDBFTypes::Clipper;
  create.AutoOverwrite = true;
  create.CreateFields = definitions;
  create.Execute();
}

void CopyRecordByName(TXbDataSet& source, TXbDataSet& target) {
  target.Append();
  for (int i = 0; i < source.FieldCount(); ++i) {
    const TXbField& from = source.Fields(i);
    if (TXbField* to = target.FindField(from.FieldName())) to->SetValue(from.Value());
  }
  target.Post();
}

}  // namespace fidora
