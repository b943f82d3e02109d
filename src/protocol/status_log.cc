#include "protocol/status_log.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "protocol/operator_view.h"
#include "protocol/server_settings.h"

namespace fidora {

std::string StatusLogPath() {
  return ServerSettings().DataPath + "Debug/STATUS.TXT";
}

std::string StatusLine(std::string_view message, const std::tm& when) {
  return fmt::format("{:02}/{:02}/{:02}, {:02}:{:02} FS Server - {}", when.tm_mday, when.tm_mon + 1,
                     (when.tm_year + 1900) % 100, when.tm_hour, when.tm_min, message);
}

void StatusLog(std::string_view message) {
  const std::string path = StatusLogPath();
  const std::string folder = path.substr(0, path.rfind('/'));
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    Operator().ShowInfo("Could not save to status.txt - folder not found", "Error");
    return;
  }
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const std::string line = StatusLine(message, local) + "\r\n";

  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0)
    throw EInOutError(fmt::format("Cannot open file \"{}\". {}", path, std::strerror(errno)));
  const ssize_t written = ::write(fd, line.data(), line.size());
  const int saved = errno;
  ::close(fd);
  if (written != static_cast<ssize_t>(line.size()))
    throw EInOutError(fmt::format("Cannot write to \"{}\". {}", path,
                                  written < 0 ? std::strerror(saved) : "Disk full"));
}

}  // namespace fidora
