#include "net/terminal_access.h"

#include <arpa/inet.h>
#include <fmt/format.h>

#include <charconv>
#include <stdexcept>

namespace fidora {

namespace {
uint32_t Mask(int prefix) {
  return prefix == 0 ? 0 : ~uint32_t{0} << (32 - prefix);
}
}  // namespace

std::optional<uint32_t> ParseIPv4(std::string_view text) {
  const std::string copy(text);
  in_addr address{};
  if (::inet_pton(AF_INET, copy.c_str(), &address) != 1) return std::nullopt;
  return ntohl(address.s_addr);
}

TTerminalAccess TTerminalAccess::Parse(std::string_view list) {
  TTerminalAccess access;
  size_t start = 0;
  while (start < list.size()) {
    const size_t end = std::min(list.find_first_of(", \t", start), list.size());
    const std::string_view entry = list.substr(start, end - start);
    start = end + 1;
    if (entry.empty()) continue;
    const size_t slash = entry.find('/');
    const std::optional<uint32_t> address = ParseIPv4(entry.substr(0, slash));
    int prefix = 32;
    bool good = address.has_value();
    if (good && slash != std::string_view::npos) {
      const std::string_view bits = entry.substr(slash + 1);
      const auto [rest, error] = std::from_chars(bits.data(), bits.data() + bits.size(), prefix);
      good = error == std::errc() && rest == bits.data() + bits.size() && !bits.empty() &&
             prefix >= 0 && prefix <= 32;
    }
    if (!good)
      throw std::invalid_argument(fmt::format(
          "\"{}\" is not an IPv4 address or network (such as 192.168.1.0/24)", entry));
    access.networks_.push_back({*address & Mask(prefix), prefix});
  }
  return access;
}

bool TTerminalAccess::Allows(std::string_view peer) const {
  if (networks_.empty()) return true;
  const std::optional<uint32_t> address = ParseIPv4(peer);
  if (!address) return false;
  for (const TNetwork& network : networks_)
    if ((*address & Mask(network.prefix)) == network.address) return true;
  return false;
}

std::string TTerminalAccess::Text() const {
  std::string text;
  for (const TNetwork& network : networks_) {
    const in_addr address{htonl(network.address)};
    char dotted[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address, dotted, sizeof dotted);
    text += fmt::format("{}{}/{}", text.empty() ? "" : ", ", dotted, network.prefix);
  }
  return text;
}

}  // namespace fidora
