// The command line of fidora-load.
#pragma once

#include <optional>
#include <string>

namespace fidora {

struct LoadOptions {
  std::string host = "127.0.0.1";
  int port = 0;
  int connections = 0;
  long long requests = 0;
  int timeout_ms = 60000;  // the whole run stops after this, answered or not
  std::string line;        // the request line as given, or "-"
  std::string expect;      // what a successful reply's last line begins with; empty: STAT¦OK¦
  bool has_range = false;  // --range A-B: the numbers that replace {n}
  long long range_first = 0, range_last = 0;
  bool help = false;
};

constexpr int kMaxConnections = 1000;
constexpr long long kMaxRequests = 20'000'000;
constexpr long long kMaxRangeNumber = 999'999'999'999'999'999;

// Parses the arguments (without the program name). Returns no value, and sets `error`, on bad
// usage.
std::optional<LoadOptions> ParseLoadOptions(int argc, char** argv, std::string& error);

extern const char* const kLoadUsage;

}  // namespace fidora
