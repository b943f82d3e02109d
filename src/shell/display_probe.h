#pragma once

#include <string>

namespace fidora {

// Whether the display the environment names can be reached, so that a window can be shown:
// a Wayland compositor by WAYLAND_DISPLAY, an X server by DISPLAY (local socket or TCP), or a Qt
// platform in QT_QPA_PLATFORM that needs neither (offscreen, vnc). Connects and closes at once;
// a TCP display gets two seconds. When none is reachable, `why_not` says what was tried (empty
// when the environment names no display at all).
bool DisplayReachable(std::string& why_not);

}  // namespace fidora
