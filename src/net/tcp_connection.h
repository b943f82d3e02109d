// TTcpConnection: one accepted connection on a raw non-blocking socket, watched by the
// poller. It raises its listener's connection events: data (one read of at most max_read
// bytes per readiness, so every connection gets its turn), error and disconnect.
//
// Replies are queued and leave with one gathered send after each dispatch loop (a reply and
// a file after it, or the replies of pipelined requests, go together), sent by the poller at
// the end of the round together with those of the other connections served in it; what the
// network does not take at once waits for the socket to become writable. While more than
// max_unsent waits, the connection's requests wait too and nothing more is read from it.
//
// When the peer ends its input (half-close), the requests received before are still answered;
// the connection closes once their replies have left. Resets and other errors close it at
// once.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "net/connection_events.h"
#include "net/event_poller.h"
#include "net/send_queue.h"

namespace fidora {

class TTcpConnection : public TNetConnection,
                       public TPollClient,
                       public TBatchSender,
                       public std::enable_shared_from_this<TTcpConnection> {
 public:
  using TClosed = std::function<void(TTcpConnection&)>;

  // Takes ownership of the connected, non-blocking socket `fd`. `closed` runs once the
  // connection has closed (after its disconnect event), so the listener can forget it.
  TTcpConnection(int fd, std::string peer, TEventPoller& poller, TConnectionEvents& events,
                 TClosed closed);
  ~TTcpConnection() override;
  TTcpConnection(const TTcpConnection&) = delete;
  TTcpConnection& operator=(const TTcpConnection&) = delete;

  // Starts watching the socket; false when it cannot be watched.
  bool Start();
  // Closes now: the disconnect event runs, then the socket is closed.
  void CloseNow();

  int ConnHandle() const override { return fd_; }
  std::string ConnPeerAddress() const override { return peer_; }
  int ReadBytes(char* buffer, int n) override;
  void WriteText(std::string_view text) override;
  bool WriteStream(std::unique_ptr<TByteSource> source) override;
  void Flush() override;
  void FlushLater() override;
  void CloseConnection() override;
  int64_t UnsentBytes() const override { return out_.Unsent(); }
  int64_t BufferedBytes() const override { return out_.Buffered(); }
  uint64_t BytesSent() const override { return bytes_sent_; }

  void OnPollEvents(uint32_t events) override;

  int SendHandle() const override { return fd_; }
  int GatherSend(iovec* pieces, int room) override;
  void Sent(int64_t result, size_t offered) override;
  void AfterSend() override;

 private:
  void ReadReady();
  void WriteReady();
  // What follows a send that went well: the memory budget check, the requests that waited for
  // it, the close after a half-close, or watching for the rest.
  void ContinueAfterSend();
  // Sends what is queued; false when the connection failed (it is then being closed).
  bool SendQueued();
  void UpdateInterest();
  void Fail(int code, const char* api);

  int fd_;
  std::string peer_;
  TEventPoller& poller_;
  TConnectionEvents& events_;
  TClosed closed_callback_;
  TSendQueue out_;
  uint64_t bytes_sent_ = 0;
  uint32_t interest_ = 0;
  int reading_ = 0;         // receive events running for this connection (nested ones too)
  bool peer_done_ = false;  // the peer ended its input
  bool throttled_ = false;  // requests wait for the peer to take its replies
  bool close_pending_ = false;
  bool send_pending_ = false;  // the poller sends at the end of the round
  int send_error_ = 0;         // of that send
  bool sent_all_ = false;      // it took everything it was offered
  bool closed_ = false;
  bool finish_ = false;  // close once everything queued has left
  int read_error_ = 0;
};

}  // namespace fidora
