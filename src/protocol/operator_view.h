// TOperatorView: what the server shows to and asks of its operator. The shell installs the
// implementation (the window, or the headless console on standard error); lower layers call
// Operator(). Until one is installed, a silent view answers every question with No.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "protocol/text_lines.h"

namespace fidora {

class TOperatorView {
 public:
  virtual ~TOperatorView() = default;

  // Whether the main window is visible; requests and replies are shown only then.
  virtual bool IsVisible() const { return false; }
  virtual void ShowRequest(const TLines& /*request*/) {}
  // The reply of the last request; `one_line` replies also update the time shown.
  virtual void ShowReply(const TLines& /*reply*/, bool /*one_line*/) {}
  // A progress text of a long routine; one beginning with "+" replaces the previous one.
  virtual void ShowProgress(std::string_view /*text*/) {}
  // A line of the log pane (start-up, data path, reindex frames).
  virtual void AddLogLine(std::string_view /*text*/) {}
  // Empties the log pane (a reindex starts on a clear pane).
  virtual void ClearLog() {}
  virtual void ShowDataPath(std::string_view /*path*/) {}
  // The peers connected on the listed port, one line each.
  virtual void ShowClients(const std::vector<std::string>& /*clients*/) {}
  // Message box with OK; returns when the operator has closed it.
  virtual void ShowInfo(std::string_view /*message*/, std::string_view /*caption*/) {}
  // Yes/No question; true only for Yes.
  virtual bool AskYesNo(std::string_view /*message*/, std::string_view /*caption*/) {
    return false;
  }
  // Lets pending events run (socket events included).
  virtual void ProcessEvents() {}
};

TOperatorView& Operator();
// Installs `view` (not owned; it must outlive its use); nullptr restores the silent view.
void SetOperator(TOperatorView* view);

}  // namespace fidora
