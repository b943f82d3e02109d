#include "shell/journal_line.h"

#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace fidora {

bool IsJournalStream(int fd, const char* journal_stream) {
  if (!journal_stream || !*journal_stream) return false;
  unsigned long long device = 0, inode = 0;
  if (std::sscanf(journal_stream, "%llu:%llu", &device, &inode) != 2) return false;
  struct stat info {};
  return ::fstat(fd, &info) == 0 && info.st_dev == device && info.st_ino == inode;
}

void StderrLine(TLinePriority priority, std::string_view text) {
  static const bool journal = IsJournalStream(STDERR_FILENO, std::getenv("JOURNAL_STREAM"));
  const std::string prefix = journal ? fmt::format("<{}>", static_cast<int>(priority)) : "";
  std::string lines;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find('\n', start);
    lines += prefix;
    lines += text.substr(start, end == std::string_view::npos ? end : end - start);
    lines += '\n';
    if (end == std::string_view::npos || end + 1 == text.size()) break;
    start = end + 1;
  }
  std::fwrite(lines.data(), 1, lines.size(), stderr);
}

}  // namespace fidora
