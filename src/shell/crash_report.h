// The crash reporter: errors that escape an event are written, with a stack trace, as one file
// per error in its report folder (DataPath + "Debug/" once the data directory is known), and
// as one line on standard error. The server goes on. At most kFilesPerMinute files are written
// in any minute (a peer opening hundreds of surplus connections must not fill the disk); the
// rest reach standard error only.
#pragma once

#include <chrono>
#include <deque>
#include <string>
#include <string_view>

namespace fidora {

class TCrashReporter {
 public:
  static constexpr int kFilesPerMinute = 20;

  // Reports go to `folder` (created when missing) from now on.
  void SetFolder(const std::string& folder);
  const std::string& Folder() const { return folder_; }

  // Writes the report; returns its path, empty when it could not be written.
  std::string Report(std::string_view where, std::string_view message);

 private:
  std::string folder_;
  unsigned sequence_ = 0;
  std::deque<std::chrono::steady_clock::time_point> recent_files_;
};

}  // namespace fidora
