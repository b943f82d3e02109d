#include "engine/table/index_list.h"

namespace fidora {

std::vector<std::string> SplitIndexList(const std::string& text) {
  std::vector<std::string> names;
  std::string current;
  bool quoted = false;
  auto flush = [&] {
    if (!current.empty()) names.push_back(current);
    current.clear();
  };
  for (char c : text) {
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted &&
               (c == ' ' || c == '\t' || c == ',' || c == ';' || c == '\r' || c == '\n')) {
      flush();
    } else {
      current += c;
    }
  }
  flush();
  return names;
}

}  // namespace fidora
