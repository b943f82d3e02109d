// Extension points of the dump command, for command groups that add options to it (a
// record filter, an index order). A group calls AddDumpExtension from its Register
// function; dump then accepts the extension's options and lets it shape the walk.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/dbf/dbf_fields.h"
#include "tools/dbf/command.h"

namespace fidora::tool {

// How one dump walks the table, set up by the extensions before the first record.
struct DumpPlan {
  TDbfFields* table = nullptr;
  const ParsedArgs* args = nullptr;
  // A record is shown only when every filter passes it (deleted records are handled by
  // dump itself).
  std::vector<std::function<bool(TDbfFields&)>> filters;
  // Reads the first (first = true) or the next record of the order into the table's record
  // buffer; false at the end. Empty: physical order.
  std::function<bool(TDbfFields&, bool first)> step;
};

struct DumpExtension {
  std::vector<OptionSpec> options;
  // Added to dump's usage line, e.g. "[--filter EXPR]".
  std::string usage;
  // Called once the table is open; may add filters or set the step.
  std::function<void(DumpPlan&)> prepare;
};

// Call after RegisterDumpCommand (main.cc registers dump first).
void AddDumpExtension(CommandRegistry& registry, DumpExtension extension);

}  // namespace fidora::tool
