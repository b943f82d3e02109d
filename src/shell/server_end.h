// The end of the server's event loop, asked for by the operator's close, the end of the
// desktop session or a signal. Once asked, every event loop returns (a dialog's nested loop
// too) and no further message box waits for the operator.
#pragma once

namespace fidora {

// Ends the event loop with exit status 0.
void EndServer();
// Whether EndServer was called in this process.
bool ServerEnding();

}  // namespace fidora
