#include "shell/config_file.h"

#include <fmt/format.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "protocol/field_helpers.h"
#include "protocol/status_log.h"

namespace fidora {

namespace {

bool Exists(const std::string& path) {
  return ::access(path.c_str(), F_OK) == 0;
}

std::string ReadWholeFile(const std::string& path, bool& found) {
  std::ifstream in(path, std::ios::binary);
  found = static_cast<bool>(in);
  std::ostringstream bytes;
  if (found) bytes << in.rdbuf();
  return bytes.str();
}

// One line of the file with its position and line end kept, so it can be written back as is.
struct TIniLine {
  std::string text;  // without the line end
  std::string end;   // "\r\n", "\n" or "" for a last line without one
};

std::vector<TIniLine> SplitLines(const std::string& bytes) {
  std::vector<TIniLine> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    const size_t lf = bytes.find('\n', start);
    if (lf == std::string::npos) {
      lines.push_back({bytes.substr(start), ""});
      break;
    }
    const bool cr = lf > start && bytes[lf - 1] == '\r';
    lines.push_back({bytes.substr(start, lf - start - (cr ? 1 : 0)), cr ? "\r\n" : "\n"});
    start = lf + 1;
  }
  return lines;
}

// The section name of a "[name]" line, or nullopt for any other line.
std::optional<std::string> SectionOf(const std::string& line) {
  const std::string trimmed = Trim(line);
  if (trimmed.size() < 2 || trimmed.front() != '[') return std::nullopt;
  const size_t close = trimmed.find(']');
  if (close == std::string::npos) return std::nullopt;
  return UpperCase(Trim(trimmed.substr(1, close - 1)));
}

bool IsKeyLine(const std::string& line, const std::string& upper_key) {
  const size_t equals = line.find('=');
  if (equals == std::string::npos) return false;
  const std::string name = Trim(line.substr(0, equals));
  return !name.empty() && name[0] != ';' && UpperCase(name) == upper_key;
}

std::string Unquote(std::string value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

}  // namespace

std::string ConfigFilePath(const std::optional<std::string>& option) {
  if (option) return *option;
  if (const char* env = std::getenv("FIDORA_CONFIG"); env && *env) return env;
  if (Exists("/etc/vorlund.cfg")) return "/etc/vorlund.cfg";
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
    return std::string(xdg) + "/vorlund.cfg";
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "") + "/.config/vorlund.cfg";
}

// The first entry of the section named `key` wins, as ReadSection lists them.
std::string TConfigFile::ReadString(const std::string& section, const std::string& key,
                                    const std::string& fallback) const {
  const std::string upper_key = UpperCase(key);
  for (const auto& [name, value] : ReadSection(section))
    if (UpperCase(name) == upper_key) return value;
  return fallback;
}

std::vector<std::pair<std::string, std::string>> TConfigFile::ReadSection(
    const std::string& section) const {
  std::vector<std::pair<std::string, std::string>> entries;
  bool found = false;
  const std::string bytes = ReadWholeFile(path_, found);
  const std::string upper_section = UpperCase(section);
  bool inside = false;
  for (const TIniLine& line : SplitLines(bytes)) {
    if (auto name = SectionOf(line.text)) {
      inside = *name == upper_section;
      continue;
    }
    const size_t equals = line.text.find('=');
    if (!inside || equals == std::string::npos) continue;
    const std::string name = Trim(line.text.substr(0, equals));
    if (name.empty() || name[0] == ';') continue;
    entries.emplace_back(name, Unquote(Trim(line.text.substr(equals + 1))));
  }
  return entries;
}

void TConfigFile::WriteString(const std::string& section, const std::string& key,
                              const std::string& value) {
  bool found = false;
  std::vector<TIniLine> lines = SplitLines(ReadWholeFile(path_, found));
  const std::string newline =
      !lines.empty() && lines.front().end == "\r\n" ? "\r\n" : (lines.empty() ? "\r\n" : "\n");
  const std::string upper_section = UpperCase(section);
  const std::string upper_key = UpperCase(key);
  const std::string entry = key + "=" + value;

  bool inside = false;
  std::optional<size_t> section_end;  // index after the last line of the section
  bool written = false;
  for (size_t i = 0; i < lines.size() && !written; ++i) {
    if (auto name = SectionOf(lines[i].text)) {
      inside = *name == upper_section;
      if (inside) section_end = i + 1;
      continue;
    }
    if (!inside) continue;
    if (IsKeyLine(lines[i].text, upper_key)) {
      lines[i].text = entry;
      written = true;
    } else if (!Trim(lines[i].text).empty()) {
      section_end = i + 1;
    }
  }
  if (!written) {
    const bool at_end = !section_end || *section_end == lines.size();
    if (at_end && !lines.empty() && lines.back().end.empty()) lines.back().end = newline;
    if (section_end) {
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*section_end), {entry, newline});
    } else {
      lines.push_back({"[" + section + "]", newline});
      lines.push_back({entry, newline});
    }
  }

  std::string bytes;
  for (const TIniLine& line : lines) bytes += line.text + line.end;
  std::ofstream out(path_, std::ios::binary | std::ios::trunc);
  out << bytes;
  out.close();
  if (!out)
    throw EInOutError(fmt::format("Cannot write to \"{}\". {}", path_, std::strerror(errno)));
}

}  // namespace fidora
