#include "protocol/terminal_names.h"

namespace fidora {

std::optional<std::string> NameInsideDataDirectory(std::string_view name) {
  std::string path(name);
  for (char& c : path)
    if (c == '\\') c = '/';
  if (!path.empty() && path.front() == '/') return std::nullopt;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    if (std::string_view(path).substr(start, end - start) == "..") return std::nullopt;
    start = end + 1;
  }
  return path;
}

}  // namespace fidora
