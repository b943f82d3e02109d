// Making a table in a new structure without a moment at which the table, or its memo file, is
// missing or half written under its own name. The new table is built beside the old one under
// base + ".new.dbf" (".new.dbt"), the previous files are kept as base + ".old.dbf"
// (".old.dbt", copies made before the switch), and the new files take the table's names by
// rename. A crash at any moment leaves the old or the new table in place; leftovers of a
// crashed run are removed by the next one.
//
// The memo file of the new table starts as a byte copy of the old one and every record keeps
// its memo reference, so the texts come over unchanged and the old and new memo files read the
// same for either table file; the pack of the general reindex that follows a rebuild compacts
// the memo file.
#pragma once

#include <string>
#include <vector>

namespace fidora {

class FileIo;
class TDM;

// Creates the table `table` (a file name in dm's data directory) from field definitions
// ("NAME;T;length;decimals"). tWork is left closed.
void CreateTable(TDM& dm, FileIo& io, const std::string& table,
                 const std::vector<std::string>& definitions);

// Rebuilds the existing table in the structure of `definitions`: every live record is carried
// over (deleted records are dropped), each field that the old table has as its raw stored text
// (left-aligned for C, D and L, right-aligned otherwise, cut to the new length), new fields
// blank or 0. The old table is held exclusively from the copy to the switch, so that no other
// program writes to it meanwhile. Engine errors are raised; tWork and tGeneric are left closed
// and shared.
void RebuildTable(TDM& dm, FileIo& io, const std::string& table,
                  const std::vector<std::string>& definitions);

}  // namespace fidora
