// The files a pack writes beside a table, and the step that completes a pack stopped between
// switching the table and switching its memo file.
//
// A pack of a table with memo fields switches three files by rename, in this order: the
// finished memo copy to its ready name, the table copy over the table, the ready memo over the
// memo file. So a ready memo without a table copy beside it belongs to the table in place, and
// a table copy still present means the table was not switched.
#pragma once

#include <string>

#include "engine/dbf/file_io.h"

namespace fidora {

struct TPackFiles {
  std::string table_copy;  // "<dir>/<base>.pack.dbf": the packed table while it is written
  std::string memo_copy;   // "<dir>/<base>.pack.dbt": its memo file while it is written
  std::string ready_memo;  // "<dir>/<base>.packed.dbt": the finished memo file before the switch
};

// The names for the table at table_path (the base name in lower case).
TPackFiles PackFilesOf(const std::string& table_path);

// Renames a ready memo that has no table copy beside it over the table's memo file, so that
// the packed table and its memo file are paired again. Nothing happens otherwise. Call it with
// the table's share lock held: a pack holds the table exclusively through its renames. Throws
// EXbError (kIO) "Error on Rename of file %s" when the ready memo is there but cannot be moved.
void FinishPackedMemoSwitch(const std::string& table_path, FileIo& io);

}  // namespace fidora
