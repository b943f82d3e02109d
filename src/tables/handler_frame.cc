#include "tables/handler_frame.h"

#include <exception>
#include <optional>

#include "engine/table/xb_dataset.h"
#include "net/table_locks.h"

namespace fidora {

namespace {

// Closing never fails in a way the reply could tell; what matters is that no table stays open
// and no filter stays on for the next request.
void CloseTables(const std::vector<TXbDataSet*>& tables) noexcept {
  for (TXbDataSet* table : tables) {
    try {
      table->Close();
    } catch (const std::exception&) {
    }
    table->SetFiltered(false);
  }
}

}  // namespace

std::string HandlerErrorLine(std::string_view owner, std::string_view name,
                             std::string_view message) {
  std::string line = "STAT\xA6";
  line.append(owner).append(".").append(name).append(" - ").append(message);
  return line;
}

std::string TableNames(std::initializer_list<const TXbDataSet*> tables) {
  std::string names;
  for (const TXbDataSet* table : tables) {
    if (!names.empty()) names += '\xA6';
    names += table->TableName();
  }
  return names;
}

bool RunInFrame(TRxTx& rx, const THandlerFrame& frame, const std::function<void()>& work) {
  std::optional<TTableLockGuard> locks;
  if (!frame.locks.empty()) locks.emplace(frame.locks);
  try {
    work();
  } catch (const std::exception& error) {
    CloseTables(frame.tables);
    if (!frame.reply_errors) throw;
    AddReply(rx, HandlerErrorLine(frame.owner, frame.name, error.what()));
    return false;
  }
  CloseTables(frame.tables);
  return true;
}

}  // namespace fidora
