// The text a message box shows: the whole message up to 200 characters, otherwise its first
// 200 characters and "...". Shared by the headless console and the window's box.
#pragma once

#include <string>
#include <string_view>

namespace fidora {

inline constexpr std::size_t kMessageBoxLength = 200;

inline std::string MessageBoxText(std::string_view message) {
  if (message.size() <= kMessageBoxLength) return std::string(message);
  return std::string(message.substr(0, kMessageBoxLength)) + "...";
}

}  // namespace fidora
