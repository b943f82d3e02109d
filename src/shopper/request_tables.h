// Tables that a terminal sends inside a block request, and records copied between tables by
// column name (the invoice header and lines of DEBTOR OPER_DETAIL).
//
// A table block in a request:
//   DATA
//   NAME;T;length;decimals¦...   the columns (field-definition lines joined by "¦")
//   value¦value¦...              one line per record, values in column order
//   ¦DATA
#pragma once

#include <string>
#include <vector>

#include "protocol/rx_tx.h"

namespace fidora {

class TXbDataSet;

// Makes the dataset's table (a closed dataset; it is set to exclusive use) from the next table
// block of the request: any earlier table of that name (and its memo file) is removed first,
// then the block is found with FindLine("DATA") (below the cursor, then from the top), the
// table created from its column line and a record appended for every record line. An empty
// value leaves a numeric, logical or date column empty; other values are stored as text,
// converted to the column's type. The dataset is closed again and the cursor stays on the
// block's "¦DATA" line.
// False, with no table left, when the request has no "DATA" line or the block no column line.
// Raises "Field list is invalid" for columns the engine refuses, EDataModule when the request
// ends before the block's "¦DATA" line, and the engine's errors for values that do not convert.
bool LoadTableFromRequest(TRxTx& rx, TXbDataSet& dataset);

// Creates the dataset's table (a closed dataset) from the definitions, in order, replacing an
// existing file without asking; the dataset is open on it afterwards.
void CreateTableFromFields(TXbDataSet& dataset, const std::vector<std::string>& definitions);

// Appends a record to `target` that takes, for every column of `source` in order that `target`
// has too (names compared without regard to case), the value of source's current record;
// posts it.
void CopyRecordByName(TXbDataSet& source, TXbDataSet& target);

}  // namespace fidora
