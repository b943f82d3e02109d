// info and create: a table's structure.
#include <fmt/format.h>
#include <fmt/printf.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "engine/dbf/dbf_build.h"
#include "engine/dbf/dbf_date.h"
#include "engine/dbf/file_names.h"
#include "engine/dbf/xb_error.h"
#include "tools/dbf/command.h"
#include "tools/dbf/table_access.h"

namespace fidora::tool {
namespace {

int Info(const std::vector<std::string>& args) {
  const ParsedArgs a = ParseArgs(args, {});
  if (a.positional.size() != 1) throw UsageError("info needs TABLE");
  auto t = OpenTable(a.positional[0], false);
  std::cout << fmt::format("version: 0x{:02X}\n", t->version());
  std::cout << "last update: " << TxDBFDate::Instance().DayToDisplay(t->last_update()) << "\n";
  std::cout << "records: " << t->record_count() << "\n";
  std::cout << "header length: " << t->header_length() << "\n";
  std::cout << "record length: " << t->record_length() << "\n";
  for (int i = 1; i <= t->FieldCount(); ++i)
    std::cout << fmt::format("{};{};{};{}\n", t->FieldName(i), t->FieldType(i), t->FieldLength(i),
                             t->FieldDecimals(i));
  return 0;
}

uint32_t ParseCount(const std::string& text, const std::string& def) {
  if (text.empty()) return 0;
  uint32_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9' || v > 1000000) throw UsageError("bad field definition " + def);
    v = v * 10 + static_cast<uint32_t>(c - '0');
  }
  return v;
}

int Create(const std::vector<std::string>& args) {
  const ParsedArgs a = ParseArgs(args, {{"--replace", false}});
  if (a.positional.size() < 2) throw UsageError("create needs TABLE and at least one DEF");
  TDbfBuild build(a.positional[0]);
  if (!a.Has("--replace") && ::access(ResolveFileName(build.path()).c_str(), F_OK) == 0)
    throw EXbError(
        fmt::sprintf("Table %s exists already (use --replace)", ResolveFileName(build.path())));
  for (size_t i = 1; i < a.positional.size(); ++i) {
    const std::string& def = a.positional[i];
    const std::vector<std::string> parts = [&] {
      std::vector<std::string> p;
      size_t start = 0;
      for (size_t at; (at = def.find(';', start)) != std::string::npos; start = at + 1)
        p.push_back(def.substr(start, at - start));
      p.push_back(def.substr(start));
      return p;
    }();
    if (parts.size() < 2 || parts.size() > 4 || parts[1].size() != 1)
      throw UsageError("bad field definition " + def + " (NAME;T;L;D)");
    build.AddField(parts[0], parts[1][0], parts.size() > 2 ? ParseCount(parts[2], def) : 0,
                   parts.size() > 3 ? ParseCount(parts[3], def) : 0);
  }
  build.Build();
  std::cout << build.path() << "\n";
  return 0;
}

}  // namespace

void RegisterTableCommands(CommandRegistry& registry) {
  registry.Add({"info", "info TABLE",
                "version byte, last update, record count, header and record length, then "
                "one line NAME;T;L;D per field",
                Info});
  registry.Add({"create", "create TABLE DEF... [--replace]",
                "create a Clipper-type table; DEF is NAME;T;L;D (a .dbt memo file comes with "
                "M fields); an existing table is only replaced with --replace",
                Create});
}

}  // namespace fidora::tool
