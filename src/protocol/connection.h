// The connection a reply goes to, as the protocol layer sees it. The connection layer
// implements it; tests implement it with a recorder. Bytes leave in the order handed over.
#pragma once

#include <cstddef>
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
};

// The whole of a byte string, as a source.
class TMemorySource : public TByteSource {
 public:
  explicit TMemorySource(std::string bytes) : bytes_(std::move(bytes)) {}
  size_t Read(char* dest, size_t n) override;

 private:
  std::string bytes_;
  size_t position_ = 0;
};

// An open file, read sequentially from its start; the source owns the descriptor.
class TFileSource : public TByteSource {
 public:
  // Opens `path` for reading; nullptr when it cannot be opened.
  static std::unique_ptr<TFileSource> Open(const std::string& path);
  struct OpenKey {
    explicit OpenKey() = default;
  };
  TFileSource(OpenKey, int fd) : fd_(fd) {}
  ~TFileSource() override;
  TFileSource(const TFileSource&) = delete;
  TFileSource& operator=(const TFileSource&) = delete;
  size_t Read(char* dest, size_t n) override;

 private:
  int fd_;
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
};

}  // namespace fidora
