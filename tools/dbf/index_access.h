// What the index commands share: tables opened through the table handler with their index
// files, and the "--index FILE.ntx... --order TAG" options of the record commands.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/table/table_handler.h"

namespace fidora::tool {

// Opens TABLE through the table handler (Clipper lock protocol); shared unless exclusive.
// Long operations (index, reindex, pack) draw a progress bar on a terminal for a big table.
std::unique_ptr<TTableHandler> OpenHandler(const std::string& table, bool read_write,
                                           bool exclusive = false);

// Index options taken out of a command line: "--index" takes every following argument up
// to the next option (and may be given again); "--order" takes one tag name.
struct IndexOptions {
  std::vector<std::string> files;
  std::string order;
  bool any() const { return !files.empty() || !order.empty(); }
};
IndexOptions ExtractIndexOptions(std::vector<std::string>* args);

// Opens the index files on the handler and selects the order (a tag name; physical order
// without one).
void ApplyIndexOptions(TTableHandler& table, const IndexOptions& options);

}  // namespace fidora::tool
