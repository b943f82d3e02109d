// TCreateXbDataSet: creates the table of a dataset from a list of field definitions
// ("NAME;T;length;decimals", one per line) and opens the dataset on it.
#pragma once

#include <string>
#include <vector>

namespace fidora {

class TXbDataSet;

enum class TxDBFTypes { Clipper, DBaseIII, DBaseIV, FoxPro2 };

class TCreateXbDataSet {
 public:
  TXbDataSet* DBFTable = nullptr;
  std::vector<std::string> CreateFields;
  TxDBFTypes DBFType = TxDBFTypes::Clipper;
  bool AutoOverwrite = false;

  // Creates DBFTable's table (directory + TableName), replacing an existing file when
  // AutoOverwrite is set or the operator answers OK to "Table exists.  Do you want to
  // overwrite?"; false when the operator cancels. Raises "A table is not assigned to this
  // object", "Cannot perform this operation on an open table", "Field list is invalid".
  bool Execute();
};

}  // namespace fidora
