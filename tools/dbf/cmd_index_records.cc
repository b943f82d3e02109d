// "--index FILE.ntx..." and "--order TAG" on dump, append, set, delete and recall: the
// given indexes are kept current while writing, and dump walks the chosen order.
#include <fmt/printf.h>

#include <memory>

#include "engine/dbf/xb_error.h"
#include "tools/dbf/command.h"
#include "tools/dbf/dump.h"
#include "tools/dbf/index_access.h"
#include "tools/dbf/record_edits.h"
#include "tools/dbf/table_access.h"

namespace fidora::tool {
namespace {

void LockAndReadHandler(TTableHandler& t, uint32_t n) {
  t.AllowReadAhead(false);  // the record is read again under its lock, from the file
  if (!t.ReadRecord(static_cast<int64_t>(n)) || t.recno() != n)
    throw EXbError(fmt::sprintf("Record number %d is not in table %s", n, t.path()));
  LockAndRead(t, n);
}

// Opens the table through the handler with the given indexes, so that writes keep them current.
auto OpenIndexed(const IndexOptions& options) {
  return [&options](const std::string& table) {
    auto t = OpenHandler(table, true);
    ApplyIndexOptions(*t, options);
    return t;
  };
}

int Append(const ParsedArgs& a, const IndexOptions& options) {
  return AppendFromInput(a, OpenIndexed(options));
}

int Set(const ParsedArgs& a, const IndexOptions& options) {
  return SetFields(a, OpenIndexed(options), LockAndReadHandler);
}

int DeleteOrRecall(const ParsedArgs& a, const IndexOptions& options, bool remove) {
  return tool::DeleteOrRecall(a, OpenIndexed(options), LockAndReadHandler, remove);
}

// Replaces a command's handler: with index options the indexed version runs, without them
// the original one, unchanged.
void Wrap(CommandRegistry& registry, const std::string& name,
          std::function<int(const ParsedArgs&, const IndexOptions&)> indexed) {
  ToolCommand* command = registry.FindMutable(name);
  if (!command) return;
  CommandHandler original = command->run;
  command->usage += " [--index FILE.ntx...] [--order TAG]";
  command->run = [original, indexed](const std::vector<std::string>& args) {
    std::vector<std::string> rest = args;
    const IndexOptions options = ExtractIndexOptions(&rest);
    if (!options.any()) return original(args);
    return indexed(ParseArgs(rest, {}), options);
  };
}

}  // namespace

void RegisterIndexRecordOptions(CommandRegistry& registry) {
  Wrap(registry, "append", Append);
  Wrap(registry, "set", Set);
  Wrap(registry, "delete",
       [](const ParsedArgs& a, const IndexOptions& o) { return DeleteOrRecall(a, o, true); });
  Wrap(registry, "recall",
       [](const ParsedArgs& a, const IndexOptions& o) { return DeleteOrRecall(a, o, false); });

  // dump walks the order through a handler of its own on the same table; each record it
  // reaches is read into dump's table by number.
  DumpExtension order;
  order.options = {{"--order", true}, {"--index", true}};
  order.usage = "[--index FILE.ntx...] [--order TAG]";
  order.prepare = [](DumpPlan& plan) {
    IndexOptions options;
    if (plan.args->Has("--index")) {
      std::string list = plan.args->Value("--index");
      for (size_t start = 0; start <= list.size();) {
        const size_t comma = list.find(',', start);
        const std::string f = list.substr(start, comma - start);
        if (!f.empty()) options.files.push_back(f);
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
    }
    options.order = plan.args->Value("--order");
    if (!options.any()) return;
    std::shared_ptr<TTableHandler> handler = OpenHandler(plan.table->path(), false);
    handler->set_use_deleted(true);  // dump decides about deleted records itself
    ApplyIndexOptions(*handler, options);
    plan.step = [handler](TDbfFields& table, bool first) {
      if (!handler->ReadRecord(first ? kRecFirst : kRecNext)) return false;
      return table.ReadRecord(handler->recno());
    };
  };
  AddDumpExtension(registry, order);
  // dump parses its options itself: hand it the files as one comma-separated value.
  if (ToolCommand* dump = registry.FindMutable("dump")) {
    CommandHandler original = dump->run;
    dump->run = [original](const std::vector<std::string>& args) {
      std::vector<std::string> rest = args;
      const IndexOptions options = ExtractIndexOptions(&rest);
      std::string files;
      for (const std::string& f : options.files) files += (files.empty() ? "" : ",") + f;
      if (!files.empty()) rest.insert(rest.end(), {"--index", files});
      if (!options.order.empty()) rest.insert(rest.end(), {"--order", options.order});
      return original(rest);
    };
  }
}

}  // namespace fidora::tool
