// What a listener does when a connection arrives, sends data, fails or goes: the events the
// socket adapter raises, for `ServerSocket` (port 7522, listed in the client list) and
// `SecondServer` (port 7523, not listed). Errors thrown here reach the application's error
// handler through the adapter.
#pragma once

#include <memory>

#include "net/client_list.h"
#include "net/framing.h"
#include "net/net_connection.h"
#include "net/socket_list.h"

namespace fidora {

enum class TSocketErrorKind { General, Send, Receive, Connect, Disconnect, Accept };

class TConnectionEvents {
 public:
  // `clients` is null for a listener whose connections are not listed.
  TConnectionEvents(TSocketList& slot_list, TClientList* clients, TDispatchFunction dispatch)
      : slots_(slot_list), clients_(clients), dispatch_(std::move(dispatch)) {}

  void OnConnect(const std::shared_ptr<TNetConnection>& connection);
  // False when requests wait for the connection's unsent replies to go (see ReceiveEvent).
  bool OnRead(const std::shared_ptr<TNetConnection>& connection);
  void OnDisconnect(const std::shared_ptr<TNetConnection>& connection);
  // The error filter: resets and aborts by the peer are silenced by setting `code` to 0.
  void OnError(const std::shared_ptr<TNetConnection>& connection, TSocketErrorKind kind, int& code);

  TReceiveLimits limits;

 private:
  TSocketList& slots_;
  TClientList* clients_;
  TDispatchFunction dispatch_;
};

}  // namespace fidora
