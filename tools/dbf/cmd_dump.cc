// dump: the records of a table as lines of display texts joined by "¦".
#include <iostream>

#include "engine/dbf/dbf_fields.h"
#include "engine/dbf/xb_error.h"
#include "tools/dbf/command.h"
#include "tools/dbf/dump.h"
#include "tools/dbf/table_access.h"

namespace fidora::tool {
namespace {

std::vector<DumpExtension>& Extensions() {
  static std::vector<DumpExtension> extensions;
  return extensions;
}

// dump's own options; extensions add theirs.
std::vector<OptionSpec> DumpOptions() {
  std::vector<OptionSpec> specs = {{"--recno", false}, {"--deleted", false}};
  for (const DumpExtension& e : Extensions())
    specs.insert(specs.end(), e.options.begin(), e.options.end());
  return specs;
}

bool PhysicalStep(TDbfFields& t, bool first) {
  return t.ReadRecord(first ? kRecFirst : kRecNext);
}

void PrintRecord(TDbfFields& t, bool with_recno, std::ostream& out) {
  std::string line;
  if (t.IsDeleted()) (line += "*") += kBar;
  if (with_recno) (line += std::to_string(t.recno())) += kBar;
  for (int i = 1; i <= t.FieldCount(); ++i) {
    if (i > 1) line += kBar;
    try {
      line += ShownText(t, i);
    } catch (const EXbError& e) {
      // One damaged value must not hide the rest of the table: show its stored bytes.
      std::cerr << "fidora-dbf: record " << t.recno() << ": " << e.what() << "\n";
      std::string_view raw = t.FieldRaw(i);
      while (!raw.empty() && raw.back() == ' ') raw.remove_suffix(1);
      line += raw;
    }
  }
  line += '\n';
  out << line;
}

int Dump(const std::vector<std::string>& args) {
  const ParsedArgs a = ParseArgs(args, DumpOptions());
  if (a.positional.size() != 1) throw UsageError("dump needs TABLE");
  auto t = OpenTable(a.positional[0], false);
  DumpPlan plan;
  plan.table = t.get();
  plan.args = &a;
  for (const DumpExtension& e : Extensions())
    if (e.prepare) e.prepare(plan);
  const auto step = plan.step ? plan.step : PhysicalStep;
  const bool show_deleted = a.Has("--deleted");
  for (bool more = step(*t, true); more; more = step(*t, false)) {
    if (t->IsDeleted() && !show_deleted) continue;
    bool pass = true;
    for (const auto& filter : plan.filters) pass = pass && filter(*t);
    if (pass) PrintRecord(*t, a.Has("--recno"), std::cout);
  }
  std::cout.flush();
  return 0;
}

}  // namespace

void AddDumpExtension(CommandRegistry& registry, DumpExtension extension) {
  if (ToolCommand* dump = registry.FindMutable("dump"); dump && !extension.usage.empty())
    dump->usage += " " + extension.usage;
  Extensions().push_back(std::move(extension));
}

void RegisterDumpCommand(CommandRegistry& registry) {
  registry.Add({"dump", "dump TABLE [--recno] [--deleted]",
                "one line per live record, display texts joined by \"¦\"; --recno puts the "
                "record number first, --deleted adds deleted records prefixed \"*¦\"; a value "
                "that cannot be converted is shown as stored, with a warning",
                Dump});
}

}  // namespace fidora::tool
