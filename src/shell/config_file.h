// The configuration file "vorlund.cfg" (INI format), shared with the point-of-sale programs.
// Sections and keys are matched without regard to case; values are trimmed and lose one pair of
// surrounding quotes. Writing a key changes that one line (or adds it to its section, or adds
// the section at the end) and keeps every other byte of the file.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace fidora {

// Where the configuration file is: `option` (--config) when given, else $FIDORA_CONFIG, else
// /etc/vorlund.cfg when it exists, else $XDG_CONFIG_HOME/vorlund.cfg (~/.config/vorlund.cfg).
std::string ConfigFilePath(const std::optional<std::string>& option);

class TConfigFile {
 public:
  explicit TConfigFile(std::string path) : path_(std::move(path)) {}

  const std::string& Path() const { return path_; }
  // The value, or `fallback` when the file, the section or the key is missing.
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& fallback = {}) const;
  // Every NAME=value entry of the section, in file order (empty when it is missing).
  std::vector<std::pair<std::string, std::string>> ReadSection(const std::string& section) const;
  // Throws EInOutError when the file cannot be written.
  void WriteString(const std::string& section, const std::string& key, const std::string& value);

 private:
  std::string path_;
};

}  // namespace fidora
