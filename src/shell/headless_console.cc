#include "shell/headless_console.h"

#include <fmt/format.h>

#include <QCoreApplication>
#include <cstdio>

#include "protocol/server_settings.h"
#include "protocol/status_log.h"
#include "shell/journal_line.h"
#include "shell/message_box_text.h"

namespace fidora {

namespace {
constexpr int kProcessEventsMs = 100;
}  // namespace

std::string OneLine(std::string_view text) {
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    line += (text[i] == '\n' || text[i] == '\r') ? ' ' : text[i];
  }
  return line;
}

void THeadlessConsole::ShowProgress(std::string_view text) {
  StderrLine(TLinePriority::Info, OneLine(text));
}

void THeadlessConsole::AddLogLine(std::string_view text) {
  StderrLine(TLinePriority::Info, OneLine(text));
}

void THeadlessConsole::ShowInfo(std::string_view message, std::string_view caption) {
  const std::string line = fmt::format("{}: {}", caption, OneLine(MessageBoxText(message)));
  StderrLine(TLinePriority::Warning, line);
  // The status log reports its own failures here: those reach standard error only.
  if (in_message_ || ServerSettings().DataPath.empty()) return;
  in_message_ = true;
  try {
    StatusLog(line);
  } catch (const std::exception& e) {
    StderrLine(TLinePriority::Error, e.what());
  }
  in_message_ = false;
}

bool THeadlessConsole::AskYesNo(std::string_view message, std::string_view caption) {
  StderrLine(TLinePriority::Notice,
             fmt::format("{}: {} -> No", caption, OneLine(MessageBoxText(message))));
  return false;
}

void THeadlessConsole::ProcessEvents() {
  // Until nothing is pending: a request on a new connection takes several rounds (accept,
  // read, dispatch) before it is answered. Bounded, so that a busy server cannot hold the
  // caller for long.
  QCoreApplication::processEvents(QEventLoop::AllEvents, kProcessEventsMs);
}

}  // namespace fidora
