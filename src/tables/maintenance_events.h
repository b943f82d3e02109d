// TMaintenanceEvents: what the maintenance routines (structure check, general reindex, deletion
// of old records, safe pack, index check) tell the one who runs them, and how they let the
// rest of the program run meanwhile. The server passes TOperatorEvents (progress to a terminal
// and the operator, messages in the message box, socket events served); the table tool passes
// its own, which prints to the terminal. The routines never reach for the window or the shell.
#pragma once

#include <string>
#include <string_view>

namespace fidora {

class TRxTx;

class TMaintenanceEvents {
 public:
  virtual ~TMaintenanceEvents() = default;
  // A progress line (never empty). One beginning with "+" updates the line before it: a
  // percentage, "+" TAB "TRACKER.DBF - 40%" or "+" TAB "26%".
  virtual void Progress(std::string_view text) = 0;
  // A message the operator must see (a message box with OK); returns once it was seen.
  virtual void Message(std::string_view text, std::string_view caption) = 0;
  // A line for the permanent record (the status log).
  virtual void Log(std::string_view text) = 0;
  // Lets waiting events run (other terminals are served meanwhile).
  virtual void LetEventsRun() {}
};

// The server's events: progress with SendProgress (to the request's terminal as "PROGRESS"
// lines when there is one, and to the operator), messages with the operator's ShowInfo, the
// status log, and the operator view's event processing. `rx` may be null; it is not owned and
// must outlive the object.
class TOperatorEvents : public TMaintenanceEvents {
 public:
  explicit TOperatorEvents(const TRxTx* rx = nullptr) : rx_(rx) {}
  void Progress(std::string_view text) override;
  void Message(std::string_view text, std::string_view caption) override;
  // A status log that cannot be written is reported to the operator instead.
  void Log(std::string_view text) override;
  void LetEventsRun() override;

 private:
  const TRxTx* rx_;
};

}  // namespace fidora
