#include "protocol/server_commands.h"

#include <fmt/format.h>
#include <unistd.h>

#include <climits>
#include <ctime>
#include <vector>

#include "protocol/field_helpers.h"
#include "protocol/help_texts.h"
#include "protocol/server_settings.h"

namespace fidora {

namespace {
std::tm LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}
}  // namespace

void Net_Now(TRxTx& rx) {
  // The clock is read once per line: just at midnight the date may be of the next day.
  const std::tm time = LocalNow();
  AddReply(rx, fmt::format("TIME\xA6{:02}:{:02}:{:02}", time.tm_hour, time.tm_min, time.tm_sec));
  const std::tm date = LocalNow();
  AddReply(rx, fmt::format("DATE\xA6{:02}/{:02}/{:04}", date.tm_mday, date.tm_mon + 1,
                           date.tm_year + 1900));
  ReplyOK(rx);
}

std::string ComputerName() {
  std::vector<char> name(HOST_NAME_MAX + 2, '\0');
  if (::gethostname(name.data(), name.size() - 1) != 0) return {};
  return std::string(name.data());  // ends at the first NUL
}

void Net_Name(TRxTx& rx) {
  AddReply(rx, "NAME\xA6" + ComputerName());
  ReplyOK(rx);
}

std::string ClientVersionProblem(std::string_view client_version) {
  if (client_version.empty()) return "STAT\xA6Tillona version number not known";
  // A plain byte comparison: right as long as every part has two digits.
  if (client_version < std::string_view(kMinimumClientVersion))
    return std::string("STAT\xA6Tillona version needs to be at least ") + kMinimumClientVersion;
  return {};
}

void Net_Vers(TRxTx& rx) {
  AddReply(rx, "VERS\xA6" + ServerSettings().Version);
  std::string line = CurrentLine(rx);
  NextField(line);
  const std::string problem = ClientVersionProblem(NextFieldU(line));
  if (problem.empty())
    ReplyOK(rx);
  else
    AddReply(rx, problem);
}

void Net_Help(TRxTx& rx) {
  AddHelpText(rx, TopLevelHelpText());
}

}  // namespace fidora
