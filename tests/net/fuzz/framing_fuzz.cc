// libFuzzer entry for the framing: a byte stream cut into requests. The input is the stream; its
// first four bytes also choose where the stream is cut into receive events. The requests
// dispatched must not depend on the cutting and must be those of the stream read whole (the
// framing rules applied in one pass); the buffers must end holding exactly the unfinished
// rest. A third run with a tiny unread limit exercises disconnecting.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fake_connection.h"
#include "net/framing.h"
#include "protocol/application_errors.h"
#include "protocol/awk_parser.h"
#include "reference_framing.h"

namespace fidora::test {
namespace {

using TRequests = std::vector<std::vector<std::string>>;

struct TRun {
  TRequests requests;
  int64_t unread = 0;
  bool closed = false;
};

TRun Feed(std::string_view stream, const std::vector<size_t>& cuts,
          const TConnectionLimits& limits) {
  static TSocketList list;  // made once: 200 slots are costly to make for every input
  auto connection = std::make_shared<FakeConnection>(7, "10.1.2.3");
  list.AllocateSlot(connection->ConnHandle());
  TRun run;
  const TDispatchFunction dispatch = [&](TRxTx& rx) {
    run.requests.emplace_back(rx.Request().begin(), rx.Request().end());
    if (!rx.Request().empty() && rx.Request().View(0) == "THROW") throw std::runtime_error("x");
  };
  size_t at = 0;
  for (size_t i = 0; i <= cuts.size(); ++i) {
    const size_t end = i < cuts.size() ? cuts[i] : stream.size();
    connection->incoming.append(stream.substr(at, end - at));
    at = end;
    while (!connection->incoming.empty() && !connection->closed)
      ReceiveEvent(list, connection, dispatch, limits);
  }
  run.unread = list.Slot(1).Unread();
  run.closed = connection->closed;
  list.ReleaseSlot(connection->ConnHandle());
  return run;
}

void FuzzFraming(std::string_view stream) {
  // Errors escaping a handler are expected here ("THROW"); they need not be printed.
  static const bool silenced = [] {
    SetApplicationErrorHandler([](std::string_view, std::string_view) {});
    return true;
  }();
  (void)silenced;
  uint32_t seed = 0;
  for (size_t i = 0; i < 4 && i < stream.size(); ++i) seed = seed * 256 + uint8_t(stream[i]);
  std::vector<size_t> cuts;
  for (size_t at = 0;;) {
    seed = seed * 1103515245u + 12345u;
    at += 1 + (seed >> 16) % 64;
    if (at >= stream.size()) break;
    cuts.push_back(at);
  }
  TConnectionLimits limits;
  limits.max_read = 4096;
  size_t rest = 0;
  const TRequests expected = CutWhole(stream, rest);
  const TRun whole = Feed(stream, {}, limits);
  const TRun pieces = Feed(stream, cuts, limits);
  if (whole.requests != expected || pieces.requests != expected) std::abort();
  if (whole.unread != static_cast<int64_t>(rest) || pieces.unread != whole.unread) std::abort();

  limits.max_unread = 64;
  const TRun capped = Feed(stream, cuts, limits);
  if (capped.closed && capped.unread != 0) std::abort();
}

}  // namespace
}  // namespace fidora::test

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fidora::test::FuzzFraming(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
