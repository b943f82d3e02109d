// TWindowOperator: the operator view of a server with a window. Requests, replies and progress
// go to the main window while it is visible; while it is hidden, progress goes to the splash
// window as long as that exists, else nowhere. Log lines (and clearing them), the data
// directory and the client list always reach the main window. Messages and questions use the
// program's message box.
#pragma once

#include "protocol/operator_view.h"

namespace fidora {

class TfMain;
class TSplashForm;

class TWindowOperator : public TOperatorView {
 public:
  explicit TWindowOperator(TfMain& main) : main_(main) {}

  // The splash window while it exists; nullptr once it is gone.
  void SetSplash(TSplashForm* splash) { splash_ = splash; }

  bool IsVisible() const override;
  void ShowRequest(const TLines& request) override;
  void ShowReply(const TLines& reply, bool one_line) override;
  void ShowProgress(std::string_view text) override;
  void AddLogLine(std::string_view text) override;
  void ClearLog() override;
  void ShowDataPath(std::string_view path) override;
  void ShowClients(const std::vector<std::string>& clients) override;
  void ShowInfo(std::string_view message, std::string_view caption) override;
  bool AskYesNo(std::string_view message, std::string_view caption) override;
  void ProcessEvents() override;

 private:
  TfMain& main_;
  TSplashForm* splash_ = nullptr;
};

}  // namespace fidora
