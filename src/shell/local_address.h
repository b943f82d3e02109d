// LocalHostIP: the first IPv4 address the machine's own host name resolves to, dotted;
// empty when the name cannot be found or resolved.
#pragma once

#include <string>

namespace fidora {

std::string LocalHostIP();

}  // namespace fidora
