// Money columns of the service's tables: read into four-decimal money, written back as the
// nearest floating-point value, which the engine stores with the column's decimals.
#pragma once

#include <string>

#include "protocol/money.h"

namespace fidora {

class TXbDataSet;

// The column's value on the current record, rounded to four decimals.
TMoney ColumnMoney(TXbDataSet& table, const std::string& column);
// Stores the amount in the column (edit or insert state).
void SetColumnMoney(TXbDataSet& table, const std::string& column, TMoney value);

}  // namespace fidora
