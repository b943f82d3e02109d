// TServerSocket: a listening socket on the Qt event loop (IPv4, all local addresses, backlog
// 5). Every accepted connection raises the events of its TConnectionEvents on the event loop's
// thread; an exception escaping an event goes to the application's error handler. This file and
// its .cc are the only Qt code of the connection layer.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "net/connection_events.h"

class QTcpServer;
class QTcpSocket;

namespace fidora {

class TQtConnection;

// "Windows socket error: %s (%d), on API '%s'", the system's own text for socket failures.
class ESocketError : public std::runtime_error {
 public:
  ESocketError(int code, const std::string& api);
};

class TServerSocket {
 public:
  static constexpr int kBacklog = 5;

  TServerSocket(uint16_t port, TConnectionEvents& events);
  ~TServerSocket();
  TServerSocket(const TServerSocket&) = delete;
  TServerSocket& operator=(const TServerSocket&) = delete;

  // Binds and listens; ESocketError when the port cannot be had.
  void Activate();
  // Stops listening and closes every connection it accepted (their disconnect events run).
  void Deactivate();
  bool Active() const;
  uint16_t Port() const { return port_; }
  int ConnectionCount() const { return static_cast<int>(connections_.size()); }

 private:
  void AcceptPending();
  void Adopt(QTcpSocket* socket);
  void ReadEvent(const std::shared_ptr<TQtConnection>& connection);
  void ScheduleRead(const std::shared_ptr<TQtConnection>& connection);
  void WriteEvent(const std::shared_ptr<TQtConnection>& connection);
  void ErrorEvent(const std::shared_ptr<TQtConnection>& connection, int qt_error);
  void DisconnectEvent(const std::shared_ptr<TQtConnection>& connection);

  uint16_t port_;
  TConnectionEvents& events_;
  std::unique_ptr<QTcpServer> server_;
  std::map<QTcpSocket*, std::shared_ptr<TQtConnection>> connections_;
};

}  // namespace fidora
