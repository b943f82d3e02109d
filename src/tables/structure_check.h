// The table structure check of the data directory: TRACKER.DBF, VOUCHERS.DBF and
// TRACKCHLOG.DBF must carry the fields this server needs. A missing table is created, a table
// that falls short is rebuilt in the merged structure (table_rebuild.h), and when any table was
// created or rebuilt the general reindex follows. Runs at every ApplyDataPath, inside
// ServerLock.
#pragma once

#include <string>
#include <vector>

namespace fidora {

class FileIo;
class TDM;
class TMaintenanceEvents;

struct TRequiredStructure {
  const char* table;
  std::vector<std::string> fields;  // "NAME;T;length;decimals"
};

// The three tables with their required field definitions, in checking order.
const std::vector<TRequiredStructure>& RequiredStructures();

struct TMergedStructure {
  std::vector<std::string> definitions;
  // A stored definition was replaced by a required one.
  bool changed = false;
  // "stored definition -> required definition" for replacements that may cut stored values
  // (another type, a shorter length or fewer decimals).
  std::vector<std::string> narrowed;
};

// Merges the required definitions into a table's definitions: a field the table lacks is
// added at the end; a field it has with another definition (compared without regard to case)
// takes the required one in its place.
TMergedStructure MergeDefinitions(std::vector<std::string> current,
                                  const std::vector<std::string>& required);

// Checks one table of dm's data directory; true when it was created or rebuilt. Shows
// "Check Table : " and, for a rebuild, "Updating Table : " with the table name, and records
// narrowing replacements in the status log. Engine errors are raised.
bool CheckTable(TDM& dm, FileIo& io, const TRequiredStructure& required,
                TMaintenanceEvents& events);

// Checks the three tables in order and, when any was created or rebuilt, runs the general
// reindex (its error text goes to the events). Returns whether any table changed.
bool CheckAllTables(TDM& dm, FileIo& io, TMaintenanceEvents& events);

}  // namespace fidora
