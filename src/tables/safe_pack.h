// The safe pack: the guarded exclusive pack that the general reindex applies to each table
// before it rebuilds the table's index files. It never raises: a table that is open here or
// that another program holds open is reported to the operator and left as it is.
#pragma once

namespace fidora {

class TXbDataSet;
class TMaintenanceEvents;

// Packs the dataset's table (deleted records removed, memo texts compacted, by the engine's
// rename-based pack). With keep_one_record, a table left empty gets one blank record. The
// dataset must be closed; it is left closed and shared. False, after a message to the
// operator ("Safe Pack Failed"), when the dataset was open or the table could not be packed.
bool SafePack(TXbDataSet& dataset, bool keep_one_record, TMaintenanceEvents& events);

}  // namespace fidora
