#include "load/load_options.h"

#include <fmt/format.h>

#include <string_view>

#include "common/args.h"

namespace fidora {

const char* const kLoadUsage =
    "Usage: fidora-load --port N --connections C --requests R [--host H] [--timeout S]\n"
    "                   [--range A-B] [--expect TEXT] 'LINE'\n"
    "\n"
    "Measures a Fidora server: C connections (at most 1000) each send LINE, wait for the\n"
    "complete reply (PROGRESS lines are not the reply) and send it again at once, until R\n"
    "requests (at most 20000000) have been answered in total (never more connections are\n"
    "opened than there are requests). Then it prints one line:\n"
    "  requests/s: X  p50_us: Y  p99_us: Z  errors: E\n"
    "X counts complete replies per second of the run; Y and Z are the median and 99th\n"
    "percentile of the time from sending a request to its complete reply, in microseconds;\n"
    "E is the number of requests that did not get a reply ending in \"STAT¦OK¦\": failure\n"
    "replies, requests lost with a broken connection, and requests unanswered or unsent\n"
    "when the run stopped.\n"
    "\n"
    "  --host H     server host name or address (default 127.0.0.1)\n"
    "  --timeout S  stop the run after S seconds whatever is left (default 60)\n"
    "  --range A-B  every {n} in the request becomes a number stepping through A..B, one step\n"
    "               per request sent (then A again): 'SHOPPER\xC2\xA6SEQ\xC2\xA6{n}' --range "
    "1001-100999\n"
    "  --expect TEXT  a reply is successful when its last line begins with TEXT instead of\n"
    "               \"STAT¦OK¦\"; this measures other servers too (--expect +PONG for the\n"
    "               PING of Redis)\n"
    "\n"
    "LINE is sent as a text request, converted from UTF-8 to Windows-1252 like fidora-client\n"
    "does; with -, the lines of standard input are sent as one block request. A request whose\n"
    "reply is followed by more bytes (FILE¦GET) cannot be measured.\n"
    "\n"
    "Exit status: 0 every request got a successful reply; 1 some did not; 2 bad usage, or no\n"
    "connection could be made.\n";

namespace {

bool ParseRange(std::string_view text, LoadOptions& options) {
  const size_t dash = text.find('-');
  if (dash == std::string_view::npos) return false;
  const auto first = ParseWholeNumber(text.substr(0, dash), 0, kMaxRangeNumber);
  const auto last = ParseWholeNumber(text.substr(dash + 1), 0, kMaxRangeNumber);
  if (!first || !last || *first > *last) return false;
  options.has_range = true;
  options.range_first = *first;
  options.range_last = *last;
  return true;
}

}  // namespace

std::optional<LoadOptions> ParseLoadOptions(int argc, char** argv, std::string& error) {
  LoadOptions options;
  const bool read = ReadLineCommand(argc, argv, error, options.help, options.line, [&](int& i) {
    std::string_view value;
    auto take_value = [&](std::string_view name) {
      return TakeOptionValue(argc, argv, i, name, value, error);
    };
    auto whole = [&](std::string_view name, long long minimum, long long maximum) {
      return WholeOptionValue(name, value, minimum, maximum, error);
    };
    if (take_value("--host")) {
      options.host = value;
    } else if (take_value("--port")) {
      options.port = static_cast<int>(whole("--port", 1, 65535));
    } else if (take_value("--connections")) {
      options.connections = static_cast<int>(whole("--connections", 1, kMaxConnections));
    } else if (take_value("--requests")) {
      options.requests = whole("--requests", 1, kMaxRequests);
    } else if (take_value("--expect")) {
      options.expect = value;
    } else if (take_value("--timeout")) {
      const auto ms = ParseSecondsAsMs(value, 3600);
      if (!ms)
        error = fmt::format("--timeout needs seconds above 0, at most 3600, not '{}'", value);
      options.timeout_ms = ms.value_or(0);
    } else if (take_value("--range")) {
      if (!ParseRange(value, options))
        error = fmt::format("--range needs A-B with 0 <= A <= B, not '{}'", value);
    } else {
      return false;
    }
    return true;
  });
  if (!read) return std::nullopt;
  if (options.help) return options;
  if (options.port == 0)
    error = "--port is needed";
  else if (options.connections == 0)
    error = "--connections is needed";
  else if (options.requests == 0)
    error = "--requests is needed";
  else if (options.host.empty())
    error = "--host needs a value";
  if (!error.empty()) return std::nullopt;
  return options;
}

}  // namespace fidora
