// File names that terminals send (DBF table names, index names): relative to the data
// directory, with "\" or "/" between folders. A name that would leave the data directory is
// refused, so that no request opens or creates a file outside it; sub-folders stay allowed.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace fidora {

// The name with "\" read as "/"; nothing when it is absolute or has a ".." component.
std::optional<std::string> NameInsideDataDirectory(std::string_view name);

}  // namespace fidora
