// The edits behind append, set, delete and recall, written once for both ways the tool opens
// a table: plainly (TDbfFields) and with indexes kept current (TTableHandler). The handler's
// writes hide the plain ones rather than override them, so the edits are templates over
// `open`, which takes the TABLE argument and returns the opened table (a unique_ptr), and
// `lock`, which takes the table and a record number and locks and reads that record.
#pragma once

#include <fmt/printf.h>

#include <cstdint>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "engine/dbf/xb_error.h"
#include "tools/dbf/command.h"
#include "tools/dbf/table_access.h"
#include "tools/dbf/text_coding.h"

namespace fidora::tool {

// "append TABLE": one record per line of standard input, values "¦"-separated in field
// order; prints each new record number as soon as it is written.
template <class Open>
int AppendFromInput(const ParsedArgs& a, Open open) {
  if (a.positional.size() != 1) throw UsageError("append needs TABLE");
  auto t = open(a.positional[0]);
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::vector<std::string> values = SplitBar(line);
    if (static_cast<int>(values.size()) > t->FieldCount())
      throw EXbError(fmt::sprintf("%d values for %d fields in line: %s", values.size(),
                                  t->FieldCount(), line));
    t->BlankRecord();
    for (size_t i = 0; i < values.size(); ++i)
      t->SetFieldText(static_cast<int>(i + 1), StoredFromInput(values[i]));
    std::cout << t->AppendRecord() << "\n" << std::flush;
  }
  return 0;
}

// "set TABLE RECNO NAME=VALUE...": the fields changed under the record lock.
template <class Open, class Lock>
int SetFields(const ParsedArgs& a, Open open, Lock lock) {
  if (a.positional.size() < 3) throw UsageError("set needs TABLE RECNO NAME=VALUE...");
  auto t = open(a.positional[0]);
  const uint32_t n = ParseRecno(a.positional[1]);
  // Check every assignment before the record is touched.
  std::vector<std::pair<int, std::string>> changes;
  for (size_t i = 2; i < a.positional.size(); ++i) {
    const std::string& s = a.positional[i];
    const size_t eq = s.find('=');
    if (eq == std::string::npos || eq == 0) throw UsageError("expected NAME=VALUE, got " + s);
    changes.emplace_back(t->FieldNo(s.substr(0, eq)), StoredFromInput(s.substr(eq + 1)));
  }
  lock(*t, n);
  for (const auto& [field, value] : changes) t->SetFieldText(field, value);
  t->WriteRecord(n);
  t->Unlock();
  return 0;
}

// "delete TABLE RECNO" (remove) and "recall TABLE RECNO", under the record lock.
template <class Open, class Lock>
int DeleteOrRecall(const ParsedArgs& a, Open open, Lock lock, bool remove) {
  if (a.positional.size() != 2) throw UsageError("needs TABLE RECNO");
  auto t = open(a.positional[0]);
  const uint32_t n = ParseRecno(a.positional[1]);
  lock(*t, n);
  if (remove)
    t->Delete();
  else
    t->Recall();
  t->Unlock();
  return 0;
}

}  // namespace fidora::tool
