#include "engine/dbf/pack_files.h"

#include <fmt/printf.h>

#include "engine/dbf/ansi_case.h"
#include "engine/dbf/file_names.h"
#include "engine/dbf/xb_error.h"

namespace fidora {

TPackFiles PackFilesOf(const std::string& table_path) {
  const std::string dir = table_path.substr(0, table_path.rfind('/') + 1);
  const std::string base = dir + AnsiLowerCase(FileBaseName(table_path));
  return {base + ".pack.dbf", base + ".pack.dbt", base + ".packed.dbt"};
}

void FinishPackedMemoSwitch(const std::string& table_path, FileIo& io) {
  const TPackFiles files = PackFilesOf(table_path);
  if (!io.Exists(files.ready_memo) || io.Exists(files.table_copy)) return;
  const std::string memo = ResolveFileName(ChangeFileExtension(table_path, ".dbt"), io);
  // Another opener may have finished it meanwhile: only a ready memo still there is a failure.
  if (io.Rename(files.ready_memo, memo) != 0 && io.Exists(files.ready_memo))
    throw EXbError(XbErrorKind::kIO, fmt::sprintf("Error on Rename of file %s", files.ready_memo));
  const size_t slash = table_path.rfind('/');
  io.SyncDirectory(slash == std::string::npos ? "." : table_path.substr(0, slash + 1));
}

}  // namespace fidora
