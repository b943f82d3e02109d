// The crash reporter: errors that escape an event are written, with a stack trace, as one file
// per error in its report folder (DataPath + "Debug/" once the data directory is known), and
// as one line on standard error. The server goes on.
#pragma once

#include <string>
#include <string_view>

namespace fidora {

class TCrashReporter {
 public:
  // Reports go to `folder` (created when missing) from now on.
  void SetFolder(const std::string& folder);
  const std::string& Folder() const { return folder_; }

  // Writes the report; returns its path, empty when it could not be written.
  std::string Report(std::string_view where, std::string_view message);

 private:
  std::string folder_;
  unsigned sequence_ = 0;
};

}  // namespace fidora
