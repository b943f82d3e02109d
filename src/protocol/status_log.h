// StatusLog: the server's permanent diary, DataPath + "Debug/STATUS.TXT", one CR LF line per
// event ("dd/mm/yy, hh:nn FS Server - " + message). Never truncated by the server.
#pragma once

#include <ctime>
#include <stdexcept>
#include <string>
#include <string_view>

namespace fidora {

class EInOutError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Appends one line. When the Debug folder is missing, tells the operator
// "Could not save to status.txt - folder not found" and writes nothing. A file that cannot be
// opened or written raises EInOutError.
void StatusLog(std::string_view message);

// The line StatusLog writes for `message` at `when`, without its CR LF.
std::string StatusLine(std::string_view message, const std::tm& when);

std::string StatusLogPath();

}  // namespace fidora
