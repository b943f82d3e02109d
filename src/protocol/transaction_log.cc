#include "protocol/transaction_log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "protocol/application_errors.h"

namespace fidora {

namespace {
bool log_enabled = false;
constexpr char kLogName[] = "tx.log";

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

template <typename Lines>
void LogLines(const Lines& lines, std::string_view label) {
  if (!log_enabled) return;
  std::string record(label);
  record += "\r\n";
  for (size_t i = 0; i < lines.size(); ++i) {
    record += std::string_view(lines[i]);
    record += "\r\n";
  }
  record += "\r\n";

  const int fd = ::open(kLogName, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) {
    HandleApplicationError("LogTransaction", std::string("Cannot open file \"") + kLogName +
                                                 "\". " + std::strerror(errno));
    return;
  }
  // Others may read while we write, but no other writer interleaves with this record.
  ::flock(fd, LOCK_EX);
  const bool written = WriteAll(fd, record);
  const int saved = errno;
  ::close(fd);
  if (!written)
    HandleApplicationError("LogTransaction", std::string("Cannot write to \"") + kLogName + "\". " +
                                                 std::strerror(saved));
}

}  // namespace

bool TransactionLogEnabled() {
  return log_enabled;
}
void SetTransactionLogEnabled(bool enabled) {
  log_enabled = enabled;
}

void LogTransaction(const TLines& lines, std::string_view label) {
  LogLines(lines, label);
}

void LogTransaction(const TRequestLines& lines, std::string_view label) {
  LogLines(lines, label);
}

}  // namespace fidora
