// TServerSocket: a listening socket (IPv4, on the limits' listen address, the system's largest listen
// backlog) whose connections are served through the poller on the event loop's thread. Every
// accepted connection gets TCP keepalive and raises the events of its TConnectionEvents; one
// that finds every slot taken is closed at once. An exception escaping an event goes to the
// application's error handler.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>

#include "net/connection_events.h"
#include "net/event_poller.h"
#include "net/socket_error.h"
#include "net/tcp_connection.h"

namespace fidora {

class TServerSocket : public TPollClient {
 public:
  // Keepalive on every connection: the first probe after a minute of silence, then every 10 s;
  // a peer that answers none of 6 probes is gone (noticed within two minutes).
  static constexpr int kKeepAliveIdle = 60;
  static constexpr int kKeepAliveInterval = 10;
  static constexpr int kKeepAliveProbes = 6;

  TServerSocket(uint16_t port, TConnectionEvents& events, TEventPoller& poller);
  ~TServerSocket();
  TServerSocket(const TServerSocket&) = delete;
  TServerSocket& operator=(const TServerSocket&) = delete;

  // Binds and listens; std::runtime_error when the port cannot be had.
  void Activate();
  // Stops listening and closes every connection it accepted (their disconnect events run).
  void Deactivate();
  bool Active() const { return listen_fd_ >= 0; }
  uint16_t Port() const { return port_; }

  void OnPollEvents(uint32_t events) override;

 private:
  void Adopt(int fd, const std::string& peer);
  void ResumeAccepting();

  uint16_t port_;
  TConnectionEvents& events_;
  TEventPoller& poller_;
  int listen_fd_ = -1;
  bool accept_paused_ = false;
  std::unordered_map<int, std::shared_ptr<TTcpConnection>> connections_;
};

}  // namespace fidora
