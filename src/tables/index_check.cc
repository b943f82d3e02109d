#include "tables/index_check.h"

#include <fmt/format.h>

#include <algorithm>
#include <map>
#include <thread>
#include <unordered_set>

#include "engine/dbf/disk_file.h"
#include "engine/dbf/file_names.h"
#include "engine/table/table_handler.h"
#include "tables/data_module.h"
#include "tables/general_reindex.h"
#include "tables/maintenance_events.h"

namespace fidora {

namespace {

struct TOpenIndex {
  std::string file;
  TNtxFile* ntx;
};

// The records to look for: per record number, the open index files (by position) that must
// hold its entry.
using TWanted = std::map<uint32_t, std::vector<size_t>>;

// The index lock of one file, held for the guard's life.
class TIndexFileLock {
 public:
  explicit TIndexFileLock(TNtxFile& ntx) : ntx_(ntx) { ntx_.LockIndex(); }
  ~TIndexFileLock() { ntx_.UnlockIndex(); }
  TIndexFileLock(const TIndexFileLock&) = delete;
  TIndexFileLock& operator=(const TIndexFileLock&) = delete;

 private:
  TNtxFile& ntx_;
};

// The smallest key of the order greater than every entry stored under `stored` (a text key
// without its trailing blanks): the key padded with blanks, its last byte one above a blank.
// Empty when there is none of that form (a key filling the whole width).
std::string KeyAfter(const TNtxTag& tag, const std::string& stored) {
  if (tag.KeyType() != NtxKeyType::kText || tag.Descending() || stored.size() >= tag.KeySize())
    return {};
  std::string after = stored;
  after.resize(tag.KeySize() - 1u, ' ');
  after += static_cast<char>(' ' + 1);
  return after;
}

// Which of `recnos` the order holds under `key` (the stored key of their records). Equal keys
// stand in the order they were written, so the entries of recent records lie at the end of
// the key's run: the run is read from its end backwards, until every record was found. The
// file's index lock is held meanwhile, so the run cannot change under the walk.
std::vector<uint32_t> Unheld(TNtxFile& ntx, const std::string& key,
                             const std::vector<uint32_t>& recnos) {
  std::unordered_set<uint32_t> unheld(recnos.begin(), recnos.end());
  TNtxTag& tag = ntx.Tag();
  const std::string stored = TrimKey(key);
  const std::string after = KeyAfter(tag, stored);
  const TxReadMode step = after.empty() ? TxReadMode::kNext : TxReadMode::kPrevious;
  try {
    TIndexFileLock lock(ntx);
    uint32_t r = 0;
    if (after.empty()) {
      r = tag.SeekKey(key);
    } else {
      // Past every entry, the walk starts from the last one.
      tag.SeekKey(after);
      r = tag.ReadKey(tag.AtEnd() ? TxReadMode::kLast : step);
    }
    for (; r != 0 && TrimKey(tag.CurrentKey()) == stored; r = tag.ReadKey(step))
      if (unheld.erase(r) && unheld.empty()) break;
  } catch (const std::exception&) {
    // A damaged page: what was not seen yet counts as missing.
  }
  std::vector<uint32_t> result(unheld.begin(), unheld.end());
  std::sort(result.begin(), result.end());
  return result;
}

std::vector<TOpenIndex> OpenIndexFiles(TTableHandler& table, const std::string& directory,
                                       const TGeneralIndexTable& layout,
                                       std::vector<TIndexProblem>& problems) {
  std::vector<TOpenIndex> open;
  for (const TGeneralIndex& index : layout.indexes) {
    try {
      table.OpenIndex(directory + index.file);
      TNtxFile* ntx = table.IndexFileOfTag(FileBaseName(index.file));
      if (!ntx) throw std::runtime_error("no order in it");
      open.push_back({index.file, ntx});
    } catch (const std::exception& e) {
      problems.push_back({index.file, fmt::format("{} of {} does not open: {}", index.file,
                                                  layout.table, e.what())});
    }
  }
  return open;
}

// The wanted entries that the index files lack: each record is read once, its keys grouped per
// file and key, and each key's run of entries read once.
TWanted LookFor(TTableHandler& table, const std::vector<TOpenIndex>& open, const TWanted& wanted) {
  std::vector<std::map<std::string, std::vector<uint32_t>>> by_key(open.size());
  TWanted missing;
  for (const auto& [recno, files] : wanted) {
    // The record alone is read: no index file needs to be locked for it.
    if (!table.TDbfFile::ReadRecord(recno)) continue;  // gone meanwhile
    for (size_t i : files) {
      TNtxTag& tag = open[i].ntx->Tag();
      try {
        if (tag.HasFor() && !tag.ForAccepts()) continue;
        by_key[i][tag.CurrentRecordKey()].push_back(recno);
      } catch (const std::exception&) {
        missing[recno].push_back(i);
      }
    }
  }
  for (size_t i = 0; i < open.size(); ++i)
    for (const auto& [key, recnos] : by_key[i])
      for (uint32_t recno : Unheld(*open[i].ntx, key, recnos)) missing[recno].push_back(i);
  return missing;
}

}  // namespace

std::vector<TIndexProblem> FindIndexProblems(const std::string& directory,
                                             const TGeneralIndexTable& layout,
                                             const TIndexCheckSettings& settings) {
  std::vector<TIndexProblem> problems;
  TTableHandler table(directory + layout.table, true, false);
  if (!table.exists()) return problems;
  try {
    table.Open();
  } catch (const std::exception&) {
    return problems;
  }
  table.SetLockProtocol(TxLokProtocol::ClipLock);
  const std::vector<TOpenIndex> open = OpenIndexFiles(table, directory, layout, problems);

  const uint32_t count = table.record_count();
  const uint32_t first = count > settings.last_records ? count - settings.last_records + 1 : 1;
  TWanted wanted;
  std::vector<size_t> every_file(open.size());
  for (size_t i = 0; i < open.size(); ++i) every_file[i] = i;
  for (uint32_t recno = first; recno <= count && !open.empty(); ++recno) wanted[recno] = every_file;
  TWanted missing = LookFor(table, open, wanted);
  if (!missing.empty()) {
    if (settings.pause)
      settings.pause(settings.second_look_after);
    else
      std::this_thread::sleep_for(settings.second_look_after);
    missing = LookFor(table, open, missing);
  }
  // One line per index file, naming the first record it lacks.
  std::map<size_t, uint32_t> first_missing;
  for (const auto& [recno, files] : missing)
    for (size_t i : files) first_missing.emplace(i, recno);
  for (const auto& [i, recno] : first_missing)
    problems.push_back(
        {open[i].file, fmt::format("{} of {} lacks record {}", open[i].file, layout.table, recno)});
  return problems;
}

bool CheckServiceIndexes(TDM& dm, TMaintenanceEvents& events, const TIndexCheckSettings& settings) {
  std::vector<TIndexProblem> problems;
  for (const TGeneralIndexTable& table : GeneralIndexTables()) {
    std::vector<TIndexProblem> found = FindIndexProblems(dm.tWork.Directory(), table, settings);
    problems.insert(problems.end(), found.begin(), found.end());
  }
  if (problems.empty()) return false;
  for (const TIndexProblem& problem : problems) events.Log("Index check : " + problem.text);
  const std::string error = ReindexGeneralData(dm, events);
  if (!error.empty()) events.Message(error, "Reindex Failed");
  return true;
}

}  // namespace fidora
