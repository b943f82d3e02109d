// The peers connected on the listed port (7522), one line each, in connection order; several
// connections from one terminal give several equal lines. The operator view is told of changes.
#pragma once

#include <string>
#include <vector>

namespace fidora {

class TClientList {
 public:
  void Add(const std::string& peer);
  // Removes the first line equal to `peer`; nothing when there is none.
  void Remove(const std::string& peer);
  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  std::vector<std::string> lines_;
};

}  // namespace fidora
