// The application's error handler: errors that escape an event (socket, timer, menu) are
// caught at the edge of that event and handed here; the server goes on. The shell installs
// the crash reporter; without one the error is written to standard error.
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <string_view>

namespace fidora {

using TErrorHandler = std::function<void(std::string_view where, std::string_view message)>;

void SetApplicationErrorHandler(TErrorHandler handler);
void HandleApplicationError(std::string_view where, std::string_view message);

// Runs `event`; any exception escaping it goes to the application's error handler.
template <typename F>
void RunGuarded(std::string_view where, F&& event) noexcept {
  try {
    event();
  } catch (const std::exception& e) {
    HandleApplicationError(where, e.what());
  } catch (...) {
    HandleApplicationError(where, "unknown exception");
  }
}

// Raised where an internal rule is broken ("Out of memory when allocating sockets", ...).
class EAssertionFailed : public std::exception {
 public:
  explicit EAssertionFailed(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

}  // namespace fidora
