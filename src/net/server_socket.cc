#include "net/server_socket.h"

#include <fmt/format.h>

#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <deque>

#include "protocol/application_errors.h"

namespace fidora {

namespace {
constexpr qint64 kReadBufferSize = 64 * 1024;   // Qt reads no further ahead than this
constexpr qint64 kWriteHighWater = 256 * 1024;  // queued bytes fed to Qt ahead of the network
constexpr size_t kStreamPiece = 4096;

struct TMappedError {
  int code;
  const char* api;
  TSocketErrorKind kind;
};

TMappedError MapQtError(int qt_error) {
  switch (static_cast<QAbstractSocket::SocketError>(qt_error)) {
    case QAbstractSocket::RemoteHostClosedError:
      return {ECONNRESET, "recv", TSocketErrorKind::Receive};
    case QAbstractSocket::SocketTimeoutError:
      return {ETIMEDOUT, "recv", TSocketErrorKind::Receive};
    case QAbstractSocket::ConnectionRefusedError:
      return {ECONNREFUSED, "connect", TSocketErrorKind::Connect};
    case QAbstractSocket::NetworkError:
      return {ENETDOWN, "send", TSocketErrorKind::Send};
    case QAbstractSocket::SocketResourceError:
      return {ENOBUFS, "recv", TSocketErrorKind::General};
    default:
      return {EIO, "recv", TSocketErrorKind::General};
  }
}

std::string DottedAddress(const QHostAddress& address) {
  bool ok = false;
  const quint32 ip = address.toIPv4Address(&ok);
  if (!ok) return {};
  return fmt::format("{}.{}.{}.{}", ip >> 24, (ip >> 16) & 255, (ip >> 8) & 255, ip & 255);
}
}  // namespace

ESocketError::ESocketError(int code, const std::string& api)
    : std::runtime_error(fmt::format("Windows socket error: {} ({}), on API '{}'",
                                     std::strerror(code), code, api)) {}

// One accepted connection. Outgoing bytes keep the order in which they were handed over: text
// goes straight to the socket unless streams are still queued, in which case it queues behind
// them. Streams are fed to the socket in pieces as the network takes them.
class TQtConnection : public TNetConnection {
 public:
  explicit TQtConnection(QTcpSocket* socket)
      : socket_(socket),
        handle_(static_cast<int>(socket->socketDescriptor())),
        peer_(DottedAddress(socket->peerAddress())) {}

  int ConnHandle() const override { return handle_; }
  std::string ConnPeerAddress() const override { return peer_; }

  int BytesAvailable() const override {
    if (!socket_) return 0;
    return static_cast<int>(std::min<qint64>(socket_->bytesAvailable(), INT32_MAX));
  }
  int ReadBytes(char* buffer, int n) override {
    if (!socket_) return 0;
    const qint64 got = socket_->read(buffer, n);
    return got > 0 ? static_cast<int>(got) : 0;
  }
  void WriteText(std::string_view text) override {
    if (!socket_) return;
    if (pending_.empty()) {
      socket_->write(text.data(), static_cast<qint64>(text.size()));
    } else {
      Queue({std::string(text), nullptr, static_cast<int64_t>(text.size())});
    }
  }
  bool WriteStream(std::unique_ptr<TByteSource> source) override {
    if (!socket_) return false;
    const int64_t size = source->Remaining();
    Queue({{}, std::move(source), size});
    Pump();
    return true;
  }
  int64_t UnsentBytes() const override {
    if (!socket_) return 0;
    return socket_->bytesToWrite() + queued_;
  }
  void CloseConnection() override {
    if (!socket_ || closing_) return;
    closing_ = true;
    QPointer guard(socket_);
    QTimer::singleShot(0, socket_, [guard] {
      if (guard) guard->abort();
    });
  }

  // Feeds queued texts and streams to the socket while it has room.
  void Pump() {
    char piece[kStreamPiece];
    while (socket_ && !pending_.empty() && socket_->bytesToWrite() < kWriteHighWater) {
      TPending& front = pending_.front();
      const size_t got = front.source ? front.source->Read(piece, sizeof piece) : 0;
      if (!front.source) {
        socket_->write(front.text.data(), static_cast<qint64>(front.text.size()));
      } else if (got > 0) {
        socket_->write(piece, static_cast<qint64>(got));
        const int64_t done = std::min<int64_t>(static_cast<int64_t>(got), front.accounted);
        front.accounted -= done;
        queued_ -= done;
        continue;
      }
      queued_ -= front.accounted;
      pending_.pop_front();
    }
  }

  // The socket is going away: nothing more is read or written.
  void Detach() {
    socket_ = nullptr;
    pending_.clear();
    queued_ = 0;
  }
  bool disconnect_reported = false;
  bool read_scheduled = false;
  // Requests wait until the peer has taken enough of its replies; bytes stay with Qt meanwhile.
  bool throttled = false;

 private:
  struct TPending {
    std::string text;
    std::unique_ptr<TByteSource> source;
    int64_t accounted;  // of queued_, still to be written for this item
  };
  void Queue(TPending item) {
    queued_ += item.accounted;
    pending_.push_back(std::move(item));
  }

  QTcpSocket* socket_;
  int64_t queued_ = 0;  // bytes waiting in pending_
  int handle_;
  std::string peer_;
  std::deque<TPending> pending_;
  bool closing_ = false;
};

TServerSocket::TServerSocket(uint16_t port, TConnectionEvents& events)
    : port_(port), events_(events) {}

TServerSocket::~TServerSocket() {
  Deactivate();
}

bool TServerSocket::Active() const {
  return server_ && server_->isListening();
}

void TServerSocket::Activate() {
  if (Active()) return;
  server_ = std::make_unique<QTcpServer>();
  server_->setListenBacklogSize(kBacklog);
  QObject::connect(server_.get(), &QTcpServer::newConnection,
                   [this] { RunGuarded("ServerSocketAccept", [this] { AcceptPending(); }); });
  if (!server_->listen(QHostAddress::AnyIPv4, port_)) {
    const std::string reason = server_->errorString().toStdString();
    server_.reset();
    throw std::runtime_error(fmt::format("Cannot listen on port {}: {}", port_, reason));
  }
}

void TServerSocket::Deactivate() {
  if (!server_) return;
  server_->close();
  // Closing a socket reports its disconnect, which removes it from the map.
  while (!connections_.empty()) {
    auto it = connections_.begin();
    QTcpSocket* socket = it->first;
    std::shared_ptr<TQtConnection> connection = it->second;
    socket->abort();
    if (connections_.count(socket)) DisconnectEvent(connection);
  }
  server_.reset();
}

void TServerSocket::AcceptPending() {
  while (server_ && server_->hasPendingConnections()) Adopt(server_->nextPendingConnection());
}

void TServerSocket::Adopt(QTcpSocket* socket) {
  socket->setReadBufferSize(kReadBufferSize);
  auto connection = std::make_shared<TQtConnection>(socket);
  connections_[socket] = connection;
  std::weak_ptr<TQtConnection> weak = connection;
  QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, weak] {
    if (auto c = weak.lock()) ReadEvent(c);
  });
  QObject::connect(socket, &QTcpSocket::bytesWritten, socket, [this, weak] {
    if (auto c = weak.lock()) WriteEvent(c);
  });
  QObject::connect(socket, &QAbstractSocket::errorOccurred, socket,
                   [this, weak](QAbstractSocket::SocketError error) {
                     if (auto c = weak.lock()) ErrorEvent(c, static_cast<int>(error));
                   });
  QObject::connect(socket, &QTcpSocket::disconnected, socket, [this, weak] {
    if (auto c = weak.lock()) DisconnectEvent(c);
  });
  RunGuarded("ServerSocketClientConnect", [&] { events_.OnConnect(connection); });
}

void TServerSocket::ReadEvent(const std::shared_ptr<TQtConnection>& connection) {
  connection->read_scheduled = false;
  // A closed connection's handle may already belong to a new connection: it must not act on
  // that one's slot.
  if (connection->disconnect_reported || connection->throttled) return;
  bool served = true;
  RunGuarded("ServerSocketClientRead", [&] { served = events_.OnRead(connection); });
  if (!served) {
    connection->throttled = true;
    return;
  }
  // One event takes a bounded number of bytes; the rest gets its own event later, after the
  // other connections had their turn.
  if (connection->BytesAvailable() > 0) ScheduleRead(connection);
}

void TServerSocket::ScheduleRead(const std::shared_ptr<TQtConnection>& connection) {
  if (connection->read_scheduled || !server_) return;
  connection->read_scheduled = true;
  std::weak_ptr<TQtConnection> weak = connection;
  QTimer::singleShot(0, server_.get(), [this, weak] {
    if (auto c = weak.lock()) ReadEvent(c);
  });
}

void TServerSocket::WriteEvent(const std::shared_ptr<TQtConnection>& connection) {
  if (connection->disconnect_reported) return;
  RunGuarded("ServerSocketClientWrite", [&] { connection->Pump(); });
  if (connection->throttled && connection->UnsentBytes() <= events_.limits.max_unsent) {
    connection->throttled = false;
    ScheduleRead(connection);
  }
}

void TServerSocket::ErrorEvent(const std::shared_ptr<TQtConnection>& connection, int qt_error) {
  if (connection->disconnect_reported) return;
  const TMappedError mapped = MapQtError(qt_error);
  int code = mapped.code;
  RunGuarded("ServerSocketClientError", [&] {
    events_.OnError(connection, mapped.kind, code);
    connection->CloseConnection();
    if (code != 0) throw ESocketError(code, mapped.api);
  });
}

void TServerSocket::DisconnectEvent(const std::shared_ptr<TQtConnection>& connection) {
  if (connection->disconnect_reported) return;
  connection->disconnect_reported = true;
  RunGuarded("ServerSocketClientDisconnect", [&] { events_.OnDisconnect(connection); });
  for (auto it = connections_.begin(); it != connections_.end(); ++it) {
    if (it->second == connection) {
      QTcpSocket* socket = it->first;
      connection->Detach();
      connections_.erase(it);
      socket->disconnect();
      socket->deleteLater();
      break;
    }
  }
}

}  // namespace fidora
