// append, set, delete, recall and memo: changing records. Edits take the Clipper record
// lock first, as the server's record edits do, so they never overwrite a record another
// program is changing.
#include <fmt/printf.h>

#include <iostream>
#include <string>

#include "engine/dbf/dbf_fields.h"
#include "engine/dbf/xb_error.h"
#include "tools/dbf/command.h"
#include "tools/dbf/table_access.h"

namespace fidora::tool {
namespace {

int Append(const std::vector<std::string>& args) {
  const ParsedArgs a = ParseArgs(args, {});
  if (a.positional.size() != 1) throw UsageError("append needs TABLE");
  auto t = OpenTable(a.positional[0], true);
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

int Set(const std::vector<std::string>& args) {
  const ParsedArgs a = ParseArgs(args, {});
  if (a.positional.size() < 3) throw UsageError("set needs TABLE RECNO NAME=VALUE...");
  auto t = OpenTable(a.positional[0], true);
  const uint32_t n = ParseRecno(a.positional[1]);
  // Check every assignment before the record is touched.
  std::vector<std::pair<int, std::string>> changes;
  for (size_t i = 2; i < a.positional.size(); ++i) {
    const std::string& s = a.positional[i];
    const size_t eq = s.find('=');
    if (eq == std::string::npos || eq == 0) throw UsageError("expected NAME=VALUE, got " + s);
    changes.emplace_back(t->FieldNo(s.substr(0, eq)), s.substr(eq + 1));
  }
  LockAndRead(*t, n);
  for (const auto& [field, value] : changes) t->SetFieldText(field, value);
  t->WriteRecord(n);
  t->Unlock();
  return 0;
}

int DeleteOrRecall(const std::vector<std::string>& args, bool remove) {
  const ParsedArgs a = ParseArgs(args, {});
  if (a.positional.size() != 2) throw UsageError("needs TABLE RECNO");
  auto t = OpenTable(a.positional[0], true);
  const uint32_t n = ParseRecno(a.positional[1]);
  LockAndRead(*t, n);
  if (remove)
    t->Delete();
  else
    t->Recall();
  t->Unlock();
  return 0;
}

int Memo(const std::vector<std::string>& args) {
  const ParsedArgs a = ParseArgs(args, {{"--set", true}});
  if (a.positional.size() != 3) throw UsageError("memo needs TABLE RECNO FIELD");
  const bool set = a.Has("--set");
  auto t = OpenTable(a.positional[0], set);
  const uint32_t n = ParseRecno(a.positional[1]);
  const int field = t->FieldNo(a.positional[2]);
  if (!TDbfFields::IsMemoType(t->FieldType(field)))
    throw EXbError(fmt::sprintf("Field %s is the incorrect type", t->FieldName(field)));
  if (!set) {
    ReadExisting(*t, n);
    std::cout << t->GetMemo(field) << std::flush;
    return 0;
  }
  LockAndRead(*t, n);
  t->SetMemo(field, a.Value("--set"));
  t->WriteRecord(n);
  t->Unlock();
  return 0;
}

}  // namespace

void RegisterRecordCommands(CommandRegistry& registry) {
  registry.Add({"append", "append TABLE",
                "one record per line of standard input, values \"¦\"-separated in field "
                "order; prints the new record numbers",
                Append});
  registry.Add({"set", "set TABLE RECNO NAME=VALUE...",
                "change fields of a record (under its record lock)", Set});
  registry.Add({"delete", "delete TABLE RECNO", "mark a record deleted",
                [](const std::vector<std::string>& a) { return DeleteOrRecall(a, true); }});
  registry.Add({"recall", "recall TABLE RECNO", "make a deleted record live again",
                [](const std::vector<std::string>& a) { return DeleteOrRecall(a, false); }});
  registry.Add({"memo", "memo TABLE RECNO FIELD [--set TEXT]",
                "print a memo text, or replace it with TEXT", Memo});
}

}  // namespace fidora::tool
