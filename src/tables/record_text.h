// Table records as reply lines, shared by the SHOPPER and DBF commands.
//
// The field header names the selected columns as NAME;T;width;decimals, joined by "¦"
// (ACCOUNTNUM;C;16;0¦DOLLAVAIL;N;10;2). A record line holds the same columns' values joined
// by "¦", unescaped: null values (empty character and date columns) are empty, dates are
// dd/mm/yyyy, numbers are in their general decimal form (12.5, 10, -3), logical values are
// "True" or "False", memos give their text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fidora {

class TXbDataSet;

struct TFieldHeader {
  std::string line;          // the header line; empty when no column is selected
  std::vector<int> columns;  // the selected columns (0-based field numbers), in header order
};

// Selects columns in table order: every column when `field_list` ("¦"-separated names) is
// blank, otherwise each column once for every entry that equals its name exactly (case
// counts). Opens the dataset for the time of the call when it is closed.
TFieldHeader BuildFieldHeader(TXbDataSet& dataset, std::string_view field_list);

// The current record's values of `columns`, joined by "¦".
std::string FormatRecordLine(TXbDataSet& dataset, const std::vector<int>& columns);

}  // namespace fidora
