#include "net/connection_events.h"

#include <cerrno>

namespace fidora {

void TConnectionEvents::OnConnect(const std::shared_ptr<TNetConnection>& connection) {
  if (clients_) clients_->Add(connection->ConnPeerAddress());
  slots_.AllocateSlot(connection->ConnHandle());
}

bool TConnectionEvents::OnRead(const std::shared_ptr<TNetConnection>& connection) {
  return ReceiveEvent(slots_, connection, dispatch_, limits);
}

void TConnectionEvents::OnDisconnect(const std::shared_ptr<TNetConnection>& connection) {
  if (clients_) clients_->Remove(connection->ConnPeerAddress());
  slots_.ReleaseSlot(connection->ConnHandle());
}

void TConnectionEvents::OnError(const std::shared_ptr<TNetConnection>& /*connection*/,
                                TSocketErrorKind /*kind*/, int& code) {
  if (code == ECONNABORTED || code == ECONNRESET) code = 0;
}

}  // namespace fidora
