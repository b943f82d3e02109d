// What a listener does when a connection arrives, sends data, fails or goes: the events the
// socket adapter raises, for `ServerSocket` (port 7522, listed in the client list) and
// `SecondServer` (port 7523, not listed). Both share the slots and the watch. Errors thrown
// here reach the application's error handler through the adapter.
#pragma once

#include <memory>

#include "net/client_list.h"
#include "net/connection_watch.h"
#include "net/framing.h"
#include "net/net_connection.h"

namespace fidora {

enum class TSocketErrorKind { General, Send, Receive, Connect, Disconnect, Accept };

class TConnectionEvents {
 public:
  // `clients` is null for a listener whose connections are not listed.
  TConnectionEvents(TConnectionWatch& watch, TClientList* clients, TDispatchFunction dispatch)
      : watch_(watch), clients_(clients), dispatch_(std::move(dispatch)) {}

  // Gives the connection a slot. False when its peer is not an allowed terminal or every slot
  // is taken: the connection is counted as refused, and the adapter closes it at once without
  // further events.
  bool OnConnect(const std::shared_ptr<TNetConnection>& connection);
  TReceiveResult OnRead(const std::shared_ptr<TNetConnection>& connection);
  // Holds all connections to the memory budget after `connection` took bytes or its replies
  // had their chance to leave (the adapter calls it then: replies about to leave at the end of
  // a round are not held memory).
  void CheckBudget(const std::shared_ptr<TNetConnection>& connection);
  void OnDisconnect(const std::shared_ptr<TNetConnection>& connection);
  // The error filter: resets and aborts by the peer are silenced by setting `code` to 0.
  void OnError(const std::shared_ptr<TNetConnection>& connection, TSocketErrorKind kind, int& code);

  const TConnectionLimits& Limits() const { return watch_.Limits(); }

 private:
  TConnectionWatch& watch_;
  TClientList* clients_;
  TDispatchFunction dispatch_;
};

}  // namespace fidora
