#include "net/client_list.h"

#include <algorithm>

#include "protocol/operator_view.h"

namespace fidora {

void TClientList::Add(const std::string& peer) {
  lines_.push_back(peer);
  Operator().ShowClients(lines_);
}

void TClientList::Remove(const std::string& peer) {
  const auto at = std::find(lines_.begin(), lines_.end(), peer);
  if (at == lines_.end()) return;
  lines_.erase(at);
  Operator().ShowClients(lines_);
}

}  // namespace fidora
