// The connection a reply goes to, as the protocol layer sees it. The connection layer
// implements it; tests implement it with a recorder. Bytes leave in the order handed over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace fidora {

// A source of bytes sent after everything handed over before it (a reply block, a file).
class TByteSource {
 public:
  virtual ~TByteSource() = default;
  // Copies up to n bytes into dest; 0 means the source is exhausted.
  virtual size_t Read(char* dest, size_t n) = 0;
  // Bytes still to come, as far as known.
  virtual int64_t Remaining() const = 0;
};

// The whole of a byte string, as a source.
class TMemorySource : public TByteSource {
 public:
  explicit TMemorySource(std::string bytes) : bytes_(std::move(bytes)) {}
  size_t Read(char* dest, size_t n) override;
  int64_t Remaining() const override { return static_cast<int64_t>(bytes_.size() - position_); }
  // The bytes not read yet, taken out of the source (which is then exhausted).
  std::string Release();

 private:
  std::string bytes_;
  size_t position_ = 0;
};

// An open file, read sequentially from its start; the source owns the descriptor.
class TFileSource : public TByteSource {
 public:
  // Opens `path` for reading, shared with other readers (flock LOCK_SH for as long as it is
  // open); nullptr when it cannot be opened, is not a regular file or is held exclusively.
  static std::unique_ptr<TFileSource> Open(const std::string& path);
  struct OpenKey {
    explicit OpenKey() = default;
  };
  TFileSource(OpenKey, int fd, int64_t size) : fd_(fd), remaining_(size) {}
  ~TFileSource() override;
  TFileSource(const TFileSource&) = delete;
  TFileSource& operator=(const TFileSource&) = delete;
  size_t Read(char* dest, size_t n) override;
  int64_t Remaining() const override { return remaining_ > 0 ? remaining_ : 0; }

 private:
  int fd_;
  int64_t remaining_;
};

class TConnection {
 public:
  virtual ~TConnection() = default;
  virtual int ConnHandle() const = 0;
  // Dotted IPv4 address of the remote end, empty when unknown.
  virtual std::string ConnPeerAddress() const = 0;
  virtual void WriteText(std::string_view text) = 0;
  // Takes ownership of the source and sends all of it after what was handed over before.
  // Returns false when the stream was refused.
  virtual bool WriteStream(std::unique_ptr<TByteSource> source) = 0;
  // Bytes handed over may wait to leave together with the next ones (a reply and the file
  // after it); Flush sends what is waiting now. The connection layer flushes after every
  // request it dispatched; whoever writes outside a request (progress lines) flushes itself.
  virtual void Flush() {}
};

}  // namespace fidora
