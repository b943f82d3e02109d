#include "tools/dbf/table_access.h"

#include <fmt/printf.h>

#include "engine/dbf/lock_retry.h"
#include "engine/dbf/xb_error.h"
#include "tools/dbf/command.h"
#include "tools/dbf/text_coding.h"

namespace fidora::tool {

std::unique_ptr<TDbfFields> OpenTable(const std::string& table, bool read_write) {
  auto t = std::make_unique<TDbfFields>(table, true, read_write);
  t->Open();
  t->SetLockProtocol(TxLokProtocol::ClipLock);
  return t;
}

std::vector<std::string> SplitBar(std::string_view line) {
  std::string_view sep = kBar;
  if (line.find(kBar) == std::string_view::npos) sep = "\xA6";
  std::vector<std::string> out;
  size_t start = 0;
  while (true) {
    const size_t at = line.find(sep, start);
    if (at == std::string_view::npos) {
      out.emplace_back(line.substr(start));
      return out;
    }
    out.emplace_back(line.substr(start, at - start));
    start = at + sep.size();
  }
}

uint32_t ParseRecno(const std::string& text) {
  uint64_t n = 0;
  if (text.empty() || text.size() > 10) throw UsageError("bad record number " + text);
  for (char c : text) {
    if (c < '0' || c > '9') throw UsageError("bad record number " + text);
    n = n * 10 + static_cast<uint64_t>(c - '0');
  }
  if (n == 0 || n > UINT32_MAX) throw UsageError("bad record number " + text);
  return static_cast<uint32_t>(n);
}

void ReadExisting(TDbfFields& table, uint32_t n) {
  if (!table.ReadRecord(n))
    throw EXbError(fmt::sprintf("Record number %d is not in table %s", n, table.path()));
}

void LockAndRead(TDbfFields& table, uint32_t n) {
  ReadExisting(table, n);
  if (!RetryLock(table.lock_retry(), table.io(), [&] { return table.LockRecord(n); }))
    throw EXbError("Record is locked by another user");
  ReadExisting(table, n);
}

std::string ShownText(TDbfFields& table, int n) {
  std::string text = table.FieldText(n);
  if (TDbfFields::IsNumberType(table.FieldType(n))) text.erase(0, text.find_first_not_of(' '));
  return ShownFromStored(text);
}

}  // namespace fidora::tool
