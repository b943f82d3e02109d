// fidora-client: sends one request to a Fidora server and prints the reply.
#include <fmt/format.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>

#include "client/client_options.h"
#include "client/reply_printer.h"
#include "common/reply_reader.h"
#include "common/request.h"
#include "common/tcp.h"

namespace fidora {
namespace {

constexpr int kReplyCame = 0;
constexpr int kNoReply = 1;
constexpr int kUsageOrConnection = 2;
constexpr int kFileQuietMs = 1000;

void Complain(std::string_view message) {
  fmt::print(stderr, "fidora-client: {}\n", message);
}

bool SendAll(int fd, std::string_view bytes, int timeout_ms, std::string& error) {
  while (!bytes.empty()) {
    const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n > 0) {
      bytes.remove_prefix(static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd waiting{fd, POLLOUT, 0};
      if (::poll(&waiting, 1, timeout_ms) > 0) continue;
      error = "the server accepts no more bytes";
      return false;
    }
    error = fmt::format("cannot send the request: {}", std::strerror(errno));
    return false;
  }
  return true;
}

enum class ReadResult { kBytes, kQuiet, kClosed, kFailed };

// Waits up to `timeout_ms` for bytes and reads what is there.
ReadResult ReadSome(int fd, int timeout_ms, std::array<char, 65536>& buffer, size_t& count,
                    std::string& error) {
  pollfd waiting{fd, POLLIN, 0};
  int rc;
  do {
    rc = ::poll(&waiting, 1, timeout_ms);
  } while (rc < 0 && errno == EINTR);
  if (rc == 0) return ReadResult::kQuiet;
  ssize_t n;
  do {
    n = ::recv(fd, buffer.data(), buffer.size(), 0);
  } while (n < 0 && errno == EINTR);
  if (n == 0) return ReadResult::kClosed;
  if (n < 0) {
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      count = 0;
      return ReadResult::kBytes;
    }
    error = std::strerror(errno);
    return ReadResult::kFailed;
  }
  count = static_cast<size_t>(n);
  return ReadResult::kBytes;
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// Copies the bytes that follow a FILE¦GET reply until the server goes quiet or closes.
int CopyFileBytes(int fd, std::string_view already, const ClientOptions& options,
                  std::array<char, 65536>& buffer) {
  std::unique_ptr<std::FILE, FileCloser> saved;
  std::FILE* out = stdout;
  if (!options.save_path.empty()) {
    saved.reset(std::fopen(options.save_path.c_str(), "wb"));
    if (!saved) {
      Complain(fmt::format("cannot write {}: {}", options.save_path, std::strerror(errno)));
      return kUsageOrConnection;
    }
    out = saved.get();
  }
  std::fwrite(already.data(), 1, already.size(), out);
  const int quiet_ms = std::min(kFileQuietMs, options.timeout_ms);
  for (;;) {
    size_t count = 0;
    std::string error;
    const ReadResult result = ReadSome(fd, quiet_ms, buffer, count, error);
    if (result == ReadResult::kFailed) Complain("the connection failed during the file: " + error);
    if (result != ReadResult::kBytes) break;
    std::fwrite(buffer.data(), 1, count, out);
  }
  if (std::fflush(out) != 0) {
    Complain("cannot write the file's bytes");
    return kUsageOrConnection;
  }
  return kReplyCame;
}

int Run(const ClientOptions& options) {
  std::string error;
  const auto request = MakeRequest(options.line, std::cin, error);
  if (!request) {
    Complain(error);
    return kUsageOrConnection;
  }
  const bool file_get = IsFileGet(*request);
  if (!options.save_path.empty() && !file_get) {
    Complain("--save goes with a FILE\xC2\xA6GET request only");
    return kUsageOrConnection;
  }
  const auto endpoint = ResolveTcp(options.host, options.port, error);
  if (!endpoint) {
    Complain(error);
    return kUsageOrConnection;
  }
  const UniqueFd fd = ConnectWithin(*endpoint, options.timeout_ms, error);
  if (!fd.valid() || !SendAll(fd.get(), *request, options.timeout_ms, error)) {
    Complain(error);
    return kUsageOrConnection;
  }

  ReplyReader reader;
  ReplyPrinter printer(stdout);
  std::array<char, 65536> buffer;
  for (;;) {
    size_t count = 0;
    switch (ReadSome(fd.get(), options.timeout_ms, buffer, count, error)) {
      case ReadResult::kBytes:
        break;
      case ReadResult::kQuiet:
        std::fflush(stdout);
        Complain(fmt::format("no complete reply: the server sent nothing for {} s",
                             options.timeout_ms / 1000.0));
        return kNoReply;
      case ReadResult::kClosed:
        std::fflush(stdout);
        Complain("the server closed the connection before a complete reply");
        return kNoReply;
      case ReadResult::kFailed:
        std::fflush(stdout);
        Complain(fmt::format("the connection failed before a complete reply: {}", error));
        return kNoReply;
    }
    const std::string_view received(buffer.data(), count);
    const size_t used = reader.Feed(received, options.raw ? nullptr : &printer);
    if (options.raw) {
      std::fwrite(received.data(), 1, used, stdout);
      std::fflush(stdout);
    }
    if (reader.complete()) {
      std::fflush(stdout);
      if (file_get && reader.info().block && reader.info().ok) {
        return CopyFileBytes(fd.get(), received.substr(used), options, buffer);
      }
      return kReplyCame;
    }
  }
}

}  // namespace
}  // namespace fidora

int main(int argc, char** argv) {
  std::signal(SIGPIPE, SIG_IGN);
  std::string error;
  const auto options = fidora::ParseClientOptions(argc - 1, argv + 1, error);
  if (!options) {
    fidora::Complain(error);
    std::fputs(fidora::kClientUsage, stderr);
    return fidora::kUsageOrConnection;
  }
  if (options->help) {
    std::fputs(fidora::kClientUsage, stdout);
    return 0;
  }
  return fidora::Run(*options);
}
