// The edge of an event the operator started (a menu item, a button, a dialog's OK): an error
// escaping it goes to the application's error handler, like any event's, and is also shown
// to the operator, who is looking at the window and waiting for the outcome.
#pragma once

#include <exception>
#include <string>
#include <string_view>

#include "protocol/application_errors.h"
#include "shell/message_box.h"

namespace fidora {

// Runs `event`; true when it ended without an error.
template <typename F>
bool RunOperatorEvent(std::string_view where, F&& event) noexcept {
  std::string text;
  try {
    event();
    return true;
  } catch (const std::exception& e) {
    text = e.what();
  } catch (...) {
    text = "unknown exception";
  }
  HandleApplicationError(where, text);
  RunGuarded(where, [&] { ShowInfoBox(text, "Error"); });
  return false;
}

}  // namespace fidora
