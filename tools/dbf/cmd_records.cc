// append, set, delete, recall and memo: changing records. Edits take the Clipper record
// lock first, as the server's record edits do, so they never overwrite a record another
// program is changing.
#include <fmt/printf.h>

#include <iostream>
#include <memory>
#include <string>

#include "engine/dbf/dbf_fields.h"
#include "engine/dbf/xb_error.h"
#include "tools/dbf/command.h"
#include "tools/dbf/record_edits.h"
#include "tools/dbf/table_access.h"
#include "tools/dbf/text_coding.h"

namespace fidora::tool {
namespace {

std::unique_ptr<TDbfFields> OpenForEdit(const std::string& table) {
  return OpenTable(table, true);
}

int Append(const std::vector<std::string>& args) {
  return AppendFromInput(ParseArgs(args, {}), OpenForEdit);
}

int Set(const std::vector<std::string>& args) {
  return SetFields(ParseArgs(args, {}), OpenForEdit, LockAndRead);
}

int DeleteOrRecall(const std::vector<std::string>& args, bool remove) {
  return tool::DeleteOrRecall(ParseArgs(args, {}), OpenForEdit, LockAndRead, remove);
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
    std::cout << ShownFromStored(t->GetMemo(field)) << std::flush;
    return 0;
  }
  LockAndRead(*t, n);
  t->SetMemo(field, StoredFromInput(a.Value("--set")));
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
