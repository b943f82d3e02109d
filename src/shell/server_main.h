// TServerMain: the server's core as the main window owns it: the two listeners (`ServerSocket`
// on the listed port, `SecondServer`) with the poller and the connection watch they share, the
// client list of the listed port, the deferred start and the orderly close. A window (or the
// headless console) shows what it reports through the operator view.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "net/client_list.h"
#include "net/connection_events.h"
#include "net/connection_watch.h"
#include "net/event_poller.h"
#include "net/server_socket.h"

namespace fidora {

class TServerMain {
 public:
  TServerMain(uint16_t port, uint16_t second_port, const TConnectionLimits& limits = {});
  ~TServerMain();
  TServerMain(const TServerMain&) = delete;
  TServerMain& operator=(const TServerMain&) = delete;

  // The creation work: opens ServerSocket, then SecondServer, and starts the connection watch.
  // Throws when a port cannot be had.
  void Create();
  // Posts the deferred start to the event loop: it runs once the loop runs, binds the data
  // (ApplyDataPath) and then calls OnStarted. An error skips the rest and reaches the
  // application's error handler; the server goes on serving.
  void PostDeferredStart();
  // Makes the running server use DataPath (holding ServerLock).
  static void ApplyDataPath();
  // Closes SecondServer, then ServerSocket; every connection ends.
  void Close();
  // Writes "Server Shutdown" to the status log (once). Not called when start-up stopped
  // before the event loop ran.
  void Destroy();

  const TClientList& Clients() const { return clients_; }

  // Called at the end of a deferred start that bound the data (the window shows its caption
  // and icon then).
  std::function<void()> OnStarted;

 private:
  void DeferredStart();

  TClientList clients_;
  TEventPoller poller_;
  TConnectionWatch watch_;
  TConnectionEvents listed_events_;
  TConnectionEvents second_events_;
  TServerSocket ServerSocket;
  TServerSocket SecondServer;
  bool destroyed_ = false;
};

}  // namespace fidora
