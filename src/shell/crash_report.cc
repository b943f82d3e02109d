#include "shell/crash_report.h"

#include <execinfo.h>
#include <fmt/format.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>

#include "protocol/server_settings.h"
#include "shell/data_path.h"
#include "shell/journal_line.h"

namespace fidora {

namespace {
std::string StackTrace() {
  void* frames[64];
  const int count = ::backtrace(frames, 64);
  std::unique_ptr<char*, decltype(&std::free)> symbols(::backtrace_symbols(frames, count),
                                                       &std::free);
  std::string text;
  for (int i = 0; i < count; ++i)
    text += fmt::format("  #{:<2} {}\n", i, symbols ? symbols.get()[i] : "?");
  return text;
}
}  // namespace

void TCrashReporter::SetFolder(const std::string& folder) {
  folder_ = folder;
  EnsureDir(folder_);
}

std::string TCrashReporter::Report(std::string_view where, std::string_view message) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::string path;
  const auto moment = std::chrono::steady_clock::now();
  while (!recent_files_.empty() && moment - recent_files_.front() > std::chrono::minutes(1))
    recent_files_.pop_front();
  if (!folder_.empty() && recent_files_.size() < kFilesPerMinute) {
    recent_files_.push_back(moment);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    path = fmt::format("{}crash-{}-{}-{}.txt", folder_, stamp, ::getpid(), ++sequence_);
    std::ofstream out(path, std::ios::binary);
    char when[32];
    std::strftime(when, sizeof when, "%d/%m/%Y %H:%M:%S", &local);
    out << "Fidora V" << ServerSettings().Version << " error report\n"
        << "Time:    " << when << "\n"
        << "Event:   " << where << "\n"
        << "Message: " << message << "\n"
        << "Stack:\n"
        << StackTrace();
    out.close();
    if (!out) path.clear();
  }
  StderrLine(TLinePriority::Error, fmt::format("Error in {}: {}{}", where, message,
                                               path.empty() ? "" : " (report " + path + ")"));
  return path;
}

}  // namespace fidora
