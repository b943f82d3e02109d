#include "tools/dbf/index_access.h"

#include <filesystem>

#include "tools/dbf/command.h"
#include "tools/dbf/table_progress.h"

namespace fidora::tool {

std::unique_ptr<TTableHandler> OpenHandler(const std::string& table, bool read_write,
                                           bool exclusive) {
  auto t = std::make_unique<TDataSetHandler>(table, !exclusive, read_write);
  t->Open();
  t->SetLockProtocol(TxLokProtocol::ClipLock);
  ShowProgressOf(*t);
  return t;
}

IndexOptions ExtractIndexOptions(std::vector<std::string>* args) {
  IndexOptions options;
  std::vector<std::string> rest;
  for (size_t i = 0; i < args->size(); ++i) {
    const std::string& a = (*args)[i];
    if (a == "--index") {
      size_t j = i + 1;
      for (; j < args->size() && (*args)[j].rfind("--", 0) != 0; ++j)
        options.files.push_back((*args)[j]);
      if (j == i + 1) throw UsageError("option --index needs a file");
      i = j - 1;
    } else if (a == "--order") {
      if (i + 1 >= args->size()) throw UsageError("option --order needs a tag");
      options.order = (*args)[++i];
    } else {
      rest.push_back(a);
    }
  }
  *args = rest;
  return options;
}

void ApplyIndexOptions(TTableHandler& table, const IndexOptions& options) {
  std::string list;
  for (const std::string& f : options.files) {
    // Names are taken as given on the shell: relative to the current directory.
    const std::string full = std::filesystem::absolute(f).string();
    list += (list.empty() ? "\"" : ";\"") + full + "\"";
  }
  table.OpenIndexes(list, options.order);
}

}  // namespace fidora::tool
