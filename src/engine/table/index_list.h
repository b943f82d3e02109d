// The index list text of a dataset: names separated by blanks, "," or ";"; double quotes
// keep separators inside a name and are dropped.
#pragma once

#include <string>
#include <vector>

namespace fidora {

std::vector<std::string> SplitIndexList(const std::string& text);

}  // namespace fidora
