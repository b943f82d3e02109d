#include "shell/window_operator.h"

#include <QCoreApplication>

#include "shell/main_window.h"
#include "shell/message_box.h"
#include "shell/splash_form.h"

namespace fidora {

bool TWindowOperator::IsVisible() const {
  return main_.isVisible();
}

void TWindowOperator::ShowRequest(const TLines& request) {
  main_.ShowRequest(request);
}

void TWindowOperator::ShowReply(const TLines& reply, bool one_line) {
  main_.ShowReply(reply, one_line);
}

void TWindowOperator::ShowProgress(std::string_view text) {
  if (main_.isVisible())
    main_.ShowProgressLine(text);
  else if (splash_)
    splash_->SplashProgress(text);
}

void TWindowOperator::AddLogLine(std::string_view text) {
  main_.AddLogLine(text);
}

void TWindowOperator::ClearLog() {
  main_.ClearLog();
}

void TWindowOperator::ShowDataPath(std::string_view path) {
  main_.ShowDataPath(path);
}

void TWindowOperator::ShowClients(const std::vector<std::string>& clients) {
  main_.ShowClients(clients);
}

void TWindowOperator::ShowInfo(std::string_view message, std::string_view caption) {
  ShowInfoBox(message, caption);
}

bool TWindowOperator::AskYesNo(std::string_view message, std::string_view caption) {
  return AskYesNoBox(message, caption);
}

void TWindowOperator::ProcessEvents() {
  QCoreApplication::processEvents();
}

}  // namespace fidora
