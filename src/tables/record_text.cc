#include "tables/record_text.h"

#include <fmt/format.h>

#include "engine/table/xb_dataset.h"
#include "protocol/awk_parser.h"
#include "protocol/field_helpers.h"

namespace fidora {

namespace {

std::vector<std::string> SplitFieldList(std::string_view field_list) {
  std::vector<std::string> names;
  if (IsBlank(field_list)) return names;
  const TAwkParser parser(kFieldSeparator, field_list);
  for (int i = 1; i <= parser.FieldCount(); ++i) names.push_back(parser.Field(i));
  return names;
}

TFieldHeader SelectColumns(TXbDataSet& dataset, std::string_view field_list) {
  const std::vector<std::string> wanted = SplitFieldList(field_list);
  TDataSetHandler& table = dataset.ActiveHandler();
  TFieldHeader header;
  for (int i = 0; i < dataset.FieldCount(); ++i) {
    const int n = i + 1;
    const std::string name = table.FieldName(n);
    size_t times = wanted.empty() ? 1 : 0;
    for (const std::string& entry : wanted) times += entry == name ? 1 : 0;
    for (size_t k = 0; k < times; ++k) {
      if (!header.columns.empty()) header.line += kFieldSeparator;
      header.line += fmt::format("{};{};{};{}", name, table.FieldType(n), table.FieldLength(n),
                                 table.FieldDecimals(n));
      header.columns.push_back(i);
    }
  }
  return header;
}

}  // namespace

TFieldHeader BuildFieldHeader(TXbDataSet& dataset, std::string_view field_list) {
  if (dataset.Active()) return SelectColumns(dataset, field_list);
  dataset.Open();
  try {
    TFieldHeader header = SelectColumns(dataset, field_list);
    dataset.Close();
    return header;
  } catch (...) {
    dataset.Close();
    throw;
  }
}

std::string FormatRecordLine(TXbDataSet& dataset, const std::vector<int>& columns) {
  std::string line;
  bool first = true;
  for (int column : columns) {
    if (!first) line += kFieldSeparator;
    first = false;
    line += dataset.Fields(column).Value().AsText();
  }
  return line;
}

}  // namespace fidora
