// The operator view without a window: start-up talk, progress and messages go to standard
// error, one line each; a message also goes to the status log; questions are answered No,
// which keeps the server running and the data untouched.
#pragma once

#include "protocol/operator_view.h"

namespace fidora {

class THeadlessConsole : public TOperatorView {
 public:
  void ShowProgress(std::string_view text) override;
  void AddLogLine(std::string_view text) override;
  void ShowInfo(std::string_view message, std::string_view caption) override;
  bool AskYesNo(std::string_view message, std::string_view caption) override;
  void ProcessEvents() override;

 private:
  bool in_message_ = false;
};

// A message as one line: CR LF and LF become " ".
std::string OneLine(std::string_view text);

}  // namespace fidora
