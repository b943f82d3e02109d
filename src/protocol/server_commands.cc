#include "protocol/server_commands.h"

#include <unistd.h>

#include <climits>
#include <ctime>
#include <vector>

#include "protocol/field_helpers.h"
#include "protocol/help_texts.h"
#include "protocol/server_settings.h"

namespace fidora {

namespace {
// The local time now. Terminals ask for it many times a second, so the conversion of one second
// is kept for the next reading in the same second (the UI thread is the only reader).
const std::tm& LocalNow() {
  static std::time_t converted = -1;
  static std::tm local{};
  const std::time_t now = std::time(nullptr);
  if (now != converted) {
    localtime_r(&now, &local);
    converted = now;
  }
  return local;
}

// Writes `value` as `width` decimal digits, with leading zeros.
char* PutDigits(char* at, int value, int width) {
  for (int i = width - 1; i >= 0; --i) {
    at[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return at + width;
}
}  // namespace

void Net_Now(TRxTx& rx) {
  // The clock is read once per line: just at midnight the date may be of the next day.
  const std::tm& time = LocalNow();
  char line[] = "TIME\xA6hh:nn:ss";
  char* at = line + 5;
  at = PutDigits(at, time.tm_hour, 2) + 1;
  at = PutDigits(at, time.tm_min, 2) + 1;
  PutDigits(at, time.tm_sec, 2);
  AddReply(rx, line);
  const std::tm& date = LocalNow();
  char date_line[] =
      "DATE\xA6"
      "dd/mm/yyyy";
  at = date_line + 5;
  at = PutDigits(at, date.tm_mday, 2) + 1;
  at = PutDigits(at, date.tm_mon + 1, 2) + 1;
  PutDigits(at, (date.tm_year + 1900) % 10000, 4);
  AddReply(rx, date_line);
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
