// "--index FILE.ntx..." and "--order TAG" on dump, append, set, delete and recall: the
// given indexes are kept current while writing, and dump walks the chosen order.
#include <fmt/printf.h>

#include <iostream>
#include <memory>

#include "engine/dbf/xb_error.h"
#include "tools/dbf/command.h"
#include "tools/dbf/dump.h"
#include "tools/dbf/index_access.h"
#include "tools/dbf/table_access.h"

namespace fidora::tool {
namespace {

void LockAndReadHandler(TTableHandler& t, uint32_t n) {
  t.AllowReadAhead(false);  // the record is read again under its lock, from the file
  if (!t.ReadRecord(static_cast<int64_t>(n)) || t.recno() != n)
    throw EXbError(fmt::sprintf("Record number %d is not in table %s", n, t.path()));
  LockAndRead(t, n);
}

int Append(const ParsedArgs& a, const IndexOptions& options) {
  if (a.positional.size() != 1) throw UsageError("append needs TABLE");
  auto t = OpenHandler(a.positional[0], true);
  ApplyIndexOptions(*t, options);
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::vector<std::string> values = SplitBar(line);
    if (static_cast<int>(values.size()) > t->FieldCount())
      throw EXbError(fmt::sprintf("%d values for %d fields in line: %s", values.size(),
                                  t->FieldCount(), line));
    t->BlankRecord();
    for (size_t i = 0; i < values.size(); ++i) t->SetFieldText(static_cast<int>(i + 1), values[i]);
    std::cout << t->AppendRecord() << "\n" << std::flush;
  }
  return 0;
}

int Set(const ParsedArgs& a, const IndexOptions& options) {
  if (a.positional.size() < 3) throw UsageError("set needs TABLE RECNO NAME=VALUE...");
  auto t = OpenHandler(a.positional[0], true);
  ApplyIndexOptions(*t, options);
  const uint32_t n = ParseRecno(a.positional[1]);
  std::vector<std::pair<int, std::string>> changes;
  for (size_t i = 2; i < a.positional.size(); ++i) {
    const std::string& s = a.positional[i];
    const size_t eq = s.find('=');
    if (eq == std::string::npos || eq == 0) throw UsageError("expected NAME=VALUE, got " + s);
    changes.emplace_back(t->FieldNo(s.substr(0, eq)), s.substr(eq + 1));
  }
  LockAndReadHandler(*t, n);
  for (const auto& [field, value] : changes) t->SetFieldText(field, value);
  t->WriteRecord(n);
  t->Unlock();
  return 0;
}

int DeleteOrRecall(const ParsedArgs& a, const IndexOptions& options, bool remove) {
  if (a.positional.size() != 2) throw UsageError("needs TABLE RECNO");
  auto t = OpenHandler(a.positional[0], true);
  ApplyIndexOptions(*t, options);
  const uint32_t n = ParseRecno(a.positional[1]);
  LockAndReadHandler(*t, n);
  if (remove)
    t->Delete();
  else
    t->Recall();
  t->Unlock();
  return 0;
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
