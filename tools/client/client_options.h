// The command line of fidora-client.
#pragma once

#include <optional>
#include <string>

namespace fidora {

struct ClientOptions {
  std::string host = "127.0.0.1";
  int port = 7522;
  int timeout_ms = 30000;
  bool raw = false;
  std::string save_path;  // where the bytes after a FILE¦GET reply go; empty: standard output
  std::string line;       // the request line as given, or "-"
  bool help = false;
};

// Parses the arguments (without the program name). Returns no value, and sets `error`, on bad
// usage.
std::optional<ClientOptions> ParseClientOptions(int argc, char** argv, std::string& error);

extern const char* const kClientUsage;

}  // namespace fidora
