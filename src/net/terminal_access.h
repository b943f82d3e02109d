// TTerminalAccess: which machines may connect. A list of IPv4 addresses and networks in CIDR
// form ("192.168.1.0/24", "10.0.0.7"); an empty list lets every machine in. The terminals'
// protocol has no authentication, so this list (or a firewall) is what keeps other machines
// from reading and changing shopper data.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fidora {

// An IPv4 address in dotted form as a number in host order; nullopt when it is not one.
std::optional<uint32_t> ParseIPv4(std::string_view text);

class TTerminalAccess {
 public:
  // Parses entries separated by commas and/or blanks. Throws std::invalid_argument naming the
  // first entry that is not an address or network.
  static TTerminalAccess Parse(std::string_view list);

  // False when every machine may connect.
  bool Restricted() const { return !networks_.empty(); }
  // Whether a peer (dotted IPv4 text, as the listener reports it) may connect; a peer whose
  // address cannot be read is refused when the access is restricted.
  bool Allows(std::string_view peer) const;
  // The list in its canonical form ("192.168.1.0/24, 10.0.0.7/32").
  std::string Text() const;

 private:
  struct TNetwork {
    uint32_t address;  // host order, bits outside the prefix cleared
    int prefix;
  };
  std::vector<TNetwork> networks_;
};

}  // namespace fidora
