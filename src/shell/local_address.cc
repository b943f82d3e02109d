#include "shell/local_address.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include "protocol/server_commands.h"

namespace fidora {

std::string LocalHostIP() {
  const std::string name = ComputerName();
  if (name.empty()) return {};
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || !found) return {};
  char text[INET_ADDRSTRLEN] = {};
  const auto* address = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
  const bool ok = ::inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) != nullptr;
  ::freeaddrinfo(found);
  return ok ? text : std::string();
}

}  // namespace fidora
