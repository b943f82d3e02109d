// The maintenance commands of the operator's menu, from the shell: delete-old (the deletion
// run of old purchase-log records with its pack, then the general reindex) and
// reindex-general. They run the server's own routines on a data directory.
#include <sys/stat.h>

#include <iostream>
#include <stdexcept>

#include "engine/dbf/dbf_date.h"
#include "protocol/server_settings.h"
#include "tables/data_module.h"
#include "tables/general_reindex.h"
#include "tables/old_records.h"
#include "tools/dbf/command.h"
#include "tools/dbf/progress_view.h"

namespace fidora::tool {
namespace {

// The generic table module bound to a data directory, as the server binds it.
class TModuleOn {
 public:
  explicit TModuleOn(std::string directory) {
    struct stat info {};
    if (::stat(directory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
      throw std::runtime_error("no data directory " + directory);
    if (directory.back() != '/') directory += '/';
    ServerSettings().DataPath = directory;
    dm.SetDataPath();
  }
  TDM dm{SystemFileIo()};
};

// A routine's error text becomes the tool's error (exit status 1, naming the directory).
int Finish(const std::string& error) {
  if (!error.empty()) throw std::runtime_error(error);
  return 0;
}

int DeleteOld(const std::vector<std::string>& args) {
  const ParsedArgs a = ParseArgs(args, {});
  if (a.positional.size() != 2) throw UsageError("delete-old needs DATADIR dd/mm/yyyy");
  int64_t cutoff = 0;
  if (!TxDBFDate::Instance().ParseShortDate(a.positional[1], &cutoff))
    throw UsageError("not a date: " + a.positional[1]);
  TModuleOn module(a.positional[0]);
  TProgressView view;
  DeleteOldRecords(module.dm.tGeneric.DatabaseName(), cutoff, view);
  return Finish(ReindexAfterDeletion(module.dm, view));
}

int ReindexGeneral(const std::vector<std::string>& args) {
  const ParsedArgs a = ParseArgs(args, {});
  if (a.positional.size() != 1) throw UsageError("reindex-general needs DATADIR");
  TModuleOn module(a.positional[0]);
  TProgressView view;
  return Finish(ReindexGeneralData(module.dm, view));
}

}  // namespace

void RegisterMaintenanceCommands(CommandRegistry& registry) {
  registry.Add({"delete-old", "delete-old DATADIR dd/mm/yyyy",
                "delete the purchase-log records (TRACKLOG.DBF) dated before the day, pack the "
                "log and run the general reindex, as the server's \"Delete old records\" does; "
                "the log must not be open elsewhere",
                DeleteOld});
  registry.Add({"reindex-general", "reindex-general DATADIR",
                "pack CLUB.DBF, TRACKLOG.DBF and TRACKER.DBF (keeping one record each) and build "
                "their nine index files anew, as the server's REINDEX does",
                ReindexGeneral});
}

}  // namespace fidora::tool
