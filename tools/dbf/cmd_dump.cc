// dump: the records of a table as lines of display texts joined by "¦", or as CSV.
#include <iostream>
#include <string>
#include <vector>

#include "engine/dbf/dbf_fields.h"
#include "engine/dbf/xb_error.h"
#include "tools/dbf/command.h"
#include "tools/dbf/dump.h"
#include "tools/dbf/table_access.h"
#include "tools/dbf/text_coding.h"

namespace fidora::tool {
namespace {

std::vector<DumpExtension>& Extensions() {
  static std::vector<DumpExtension> extensions;
  return extensions;
}

// dump's own options; extensions add theirs.
std::vector<OptionSpec> DumpOptions() {
  std::vector<OptionSpec> specs = {{"--recno", false}, {"--deleted", false}, {"--csv", false}};
  for (const DumpExtension& e : Extensions())
    specs.insert(specs.end(), e.options.begin(), e.options.end());
  return specs;
}

bool PhysicalStep(TDbfFields& t, bool first) {
  return t.ReadRecord(first ? kRecFirst : kRecNext);
}

// Field n's text; one damaged value must not hide the rest of the table, so it is shown as
// stored, with a warning naming the table and record.
std::string FieldShown(TDbfFields& t, int n) {
  try {
    return ShownText(t, n);
  } catch (const EXbError& e) {
    std::cerr << "fidora-dbf: " << t.path() << ": record " << t.recno() << ": " << e.what() << "\n";
    std::string_view raw = t.FieldRaw(n);
    while (!raw.empty() && raw.back() == ' ') raw.remove_suffix(1);
    return ShownFromStored(raw);
  }
}

// One value of a CSV row: quoted, with its quotes doubled, when it holds a comma, a quote or
// a line break.
std::string CsvValue(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) (quoted += c) += (c == '"' ? "\"" : "");
  return quoted + "\"";
}

// A record as dump prints it: the values joined by "¦", or as a CSV row.
class RecordPrinter {
 public:
  RecordPrinter(const ParsedArgs& a, std::ostream& out)
      : csv_(a.Has("--csv")), recno_(a.Has("--recno")), deleted_(a.Has("--deleted")), out_(out) {}

  // The CSV header row of field names (nothing for the "¦" form).
  void Header(TDbfFields& t) {
    if (!csv_) return;
    std::vector<std::string> names;
    if (deleted_) names.emplace_back("DELETED");
    if (recno_) names.emplace_back("RECNO");
    for (int i = 1; i <= t.FieldCount(); ++i) names.push_back(t.FieldName(i));
    Row(names);
  }

  void Record(TDbfFields& t) {
    std::vector<std::string> values;
    if (deleted_ && csv_) values.emplace_back(t.IsDeleted() ? "*" : "");
    if (deleted_ && !csv_ && t.IsDeleted()) values.emplace_back("*");
    if (recno_) values.push_back(std::to_string(t.recno()));
    for (int i = 1; i <= t.FieldCount(); ++i) values.push_back(FieldShown(t, i));
    Row(values);
  }

 private:
  void Row(const std::vector<std::string>& values) {
    std::string line;
    for (size_t i = 0; i < values.size(); ++i) {
      if (i > 0) line += csv_ ? std::string_view(",") : kBar;
      line += csv_ ? CsvValue(values[i]) : values[i];
    }
    line += csv_ ? "\r\n" : "\n";
    out_ << line;
  }

  const bool csv_;
  const bool recno_;
  const bool deleted_;
  std::ostream& out_;
};

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
  RecordPrinter printer(a, std::cout);
  printer.Header(*t);
  for (bool more = step(*t, true); more; more = step(*t, false)) {
    if (t->IsDeleted() && !show_deleted) continue;
    bool pass = true;
    for (const auto& filter : plan.filters) pass = pass && filter(*t);
    if (pass) printer.Record(*t);
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
  registry.Add({"dump", "dump TABLE [--recno] [--deleted] [--csv]",
                "one line per live record, display texts joined by \"¦\"; --recno puts the "
                "record number first, --deleted adds deleted records prefixed \"*¦\"; a value "
                "that cannot be converted is shown as stored, with a warning; --csv writes a "
                "spreadsheet's CSV instead (RFC 4180: a header row of field names, values "
                "quoted where needed, CRLF line ends, UTF-8; with --deleted a DELETED column "
                "holds \"*\" for deleted records, with --recno a RECNO column)",
                Dump});
}

}  // namespace fidora::tool
