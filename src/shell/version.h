// The server's version text, from the project version compiled in: 21.7.26 gives "21.07.26",
// with the build number "21.07.26 0060".
#pragma once

#include <string>

namespace fidora {

std::string VersionString(bool with_build);

}  // namespace fidora
