// The quick index check at every ApplyDataPath. A till or the server that lost its power may
// have left an index file short of its last records; the service would then not find them.
// The last records of CLUB.DBF, TRACKLOG.DBF and TRACKER.DBF are sought, by their current key
// and record number, in each of the table's index files. An entry still missing at a second
// look a moment later (a till may be between writing a record and its keys), or an index file
// that does not open, is written to the status log, and the general reindex runs. The cost is
// a few thousand B-tree descents, whatever the size of the tables.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace fidora {

class TDM;
class TMaintenanceEvents;
struct TGeneralIndexTable;

struct TIndexCheckSettings {
  uint32_t last_records = 1000;
  std::chrono::milliseconds second_look_after{200};
  // Waits before the second look; a sleep unless a test gives another.
  std::function<void(std::chrono::milliseconds)> pause;
};

// What is wrong with one index file, as the status log says it.
struct TIndexProblem {
  std::string index_file;
  std::string text;
};

// The problems of one table's index files in `directory` (ending in "/"). A table that does
// not exist or does not open is not checked here (its users report it); the table is opened
// shared and read-only.
std::vector<TIndexProblem> FindIndexProblems(const std::string& directory,
                                             const TGeneralIndexTable& table,
                                             const TIndexCheckSettings& settings);

// Checks the three tables of dm's data directory; on any problem writes one status-log line
// per index file and runs the general reindex. Returns whether it reindexed.
bool CheckServiceIndexes(TDM& dm, TMaintenanceEvents& events,
                         const TIndexCheckSettings& settings = {});

}  // namespace fidora
