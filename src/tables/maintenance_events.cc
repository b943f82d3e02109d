#include "tables/maintenance_events.h"

#include "protocol/operator_view.h"
#include "protocol/rx_tx.h"
#include "protocol/status_log.h"

namespace fidora {

void TOperatorEvents::Progress(std::string_view text) {
  SendProgress(rx_, text);
}

void TOperatorEvents::Message(std::string_view text, std::string_view caption) {
  Operator().ShowInfo(text, caption);
}

void TOperatorEvents::Log(std::string_view text) {
  try {
    StatusLog(text);
  } catch (const EInOutError& e) {
    Operator().AddLogLine(e.what());
  }
}

void TOperatorEvents::LetEventsRun() {
  Operator().ProcessEvents();
}

}  // namespace fidora
