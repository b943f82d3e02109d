// The life of the server process: single instance, version, listeners, data directory, start
// line, event loop, and the orderly shutdown on SIGTERM and SIGINT. Returns the exit status:
// 0 after a normal shutdown, 1 when another server runs or start-up fails, 2 when no valid data
// directory was found.
#pragma once

namespace fidora {

int RunServer(int argc, char** argv);

}  // namespace fidora
