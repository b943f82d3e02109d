#include "net/connection_events.h"

#include <cerrno>

#include "protocol/application_errors.h"

namespace fidora {

bool TConnectionEvents::OnConnect(const std::shared_ptr<TNetConnection>& connection) {
  if (!watch_.Limits().terminals.Allows(connection->ConnPeerAddress())) {
    watch_.NotAllowed(connection->ConnPeerAddress());
    return false;
  }
  TSocketFifo* slot = watch_.Slots().TryAllocateSlot(connection->ConnHandle());
  if (!slot) {
    watch_.Refused(connection->ConnPeerAddress());
    return false;
  }
  slot->Connection = connection;
  if (clients_)
    RunGuarded("ServerSocketClientConnect", [&] { clients_->Add(connection->ConnPeerAddress()); });
  return true;
}

TReceiveResult TConnectionEvents::OnRead(const std::shared_ptr<TNetConnection>& connection) {
  return ReceiveEvent(watch_.Slots(), connection, dispatch_, watch_.Limits());
}

void TConnectionEvents::CheckBudget(const std::shared_ptr<TNetConnection>& connection) {
  if (const TSocketFifo* slot = watch_.Slots().FindSlot(connection->ConnHandle()))
    watch_.EnforceBudget(*slot);
}

void TConnectionEvents::OnDisconnect(const std::shared_ptr<TNetConnection>& connection) {
  if (clients_) clients_->Remove(connection->ConnPeerAddress());
  watch_.Slots().ReleaseSlot(connection->ConnHandle());
}

void TConnectionEvents::OnError(const std::shared_ptr<TNetConnection>& /*connection*/,
                                TSocketErrorKind /*kind*/, int& code) {
  if (code == ECONNABORTED || code == ECONNRESET) code = 0;
}

}  // namespace fidora
