// Binding a data module's datasets to the data directory.
#pragma once

#include <string>
#include <vector>

namespace fidora {

class TXbDataSet;

// The settings every dataset of the two data modules is made with: database name "POSPATH",
// shared, Clipper locks, OEM translation, deleted records hidden, no auto flush.
void ApplyModuleSettings(TXbDataSet& dataset);

// For each dataset in order: one found open is reported ("Table unexpectedly found open : "
// + its table name, caption "SetDataPath in DATA") and closed; then its database name
// becomes data_path. Table names, index lists and orders stay.
void BindToDataPath(const std::vector<TXbDataSet*>& datasets, const std::string& data_path);

}  // namespace fidora
