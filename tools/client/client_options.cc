#include "client/client_options.h"

#include <fmt/format.h>

#include <string_view>

#include "common/args.h"

namespace fidora {

const char* const kClientUsage =
    "Usage: fidora-client [--host H] [--port N] [--timeout S] [--raw] [--save FILE] 'LINE'\n"
    "       fidora-client [options] -     (reads the lines of a block request from standard "
    "input)\n"
    "\n"
    "Sends one request to a Fidora server and prints its reply.\n"
    "\n"
    "  --host H     server host name or address (default 127.0.0.1)\n"
    "  --port N     server port (default 7522; the second port is 7523)\n"
    "  --timeout S  give up when the server has sent nothing for S seconds (default 30;\n"
    "               fractions allowed); every byte that arrives starts the wait again\n"
    "  --raw        write the bytes exactly as received (block header, CR LF, Windows-1252)\n"
    "  --save FILE  with FILE¦GET: write the file's bytes to FILE instead of standard output\n"
    "\n"
    "LINE is sent as one text request. With -, every line of standard input becomes a line\n"
    "of one block request (\"B¦\" + length + \"¦C\"). Fields are separated by the broken bar;\n"
    "type it as \"¦\" (U+00A6): text given in UTF-8 is sent as Windows-1252, and text that is\n"
    "not UTF-8 is sent unchanged.\n"
    "\n"
    "Output: PROGRESS lines as they arrive, then the reply's lines (a block reply without its\n"
    "header), each converted from Windows-1252 to UTF-8 and ended by a newline; control\n"
    "characters in them are shown as \\xNN (ESC as \\x1B), so a reply cannot drive the\n"
    "terminal. After a successful FILE¦GET reply the file's bytes follow unchanged; they\n"
    "are read until the server has been quiet for a second (or for S, when shorter) or\n"
    "closes the connection.\n"
    "\n"
    "Exit status: 0 a complete reply came; 1 no complete reply (timeout, or the connection\n"
    "closed first); 2 bad usage, the server could not be reached, or the --save FILE could\n"
    "not be written.\n";

std::optional<ClientOptions> ParseClientOptions(int argc, char** argv, std::string& error) {
  ClientOptions options;
  const bool read = ReadLineCommand(argc, argv, error, options.help, options.line, [&](int& i) {
    const std::string_view arg = argv[i];
    std::string_view value;
    auto take_value = [&](std::string_view name) {
      return TakeOptionValue(argc, argv, i, name, value, error);
    };
    if (arg == "--raw") {
      options.raw = true;
    } else if (take_value("--host")) {
      options.host = value;
    } else if (take_value("--port")) {
      options.port = static_cast<int>(WholeOptionValue("--port", value, 1, 65535, error));
    } else if (take_value("--timeout")) {
      const auto ms = ParseSecondsAsMs(value, 86400);
      if (!ms) error = fmt::format("--timeout needs seconds above 0, not '{}'", value);
      options.timeout_ms = ms.value_or(0);
    } else if (take_value("--save")) {
      options.save_path = value;
    } else {
      return false;
    }
    return true;
  });
  if (!read) return std::nullopt;
  if (options.host.empty()) {
    error = "--host needs a value";
    return std::nullopt;
  }
  return options;
}

}  // namespace fidora
