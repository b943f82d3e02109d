#include "protocol/application_errors.h"

#include <fmt/format.h>

#include <cstdio>

namespace fidora {

namespace {
TErrorHandler& Handler() {
  static TErrorHandler handler;
  return handler;
}
}  // namespace

void SetApplicationErrorHandler(TErrorHandler handler) {
  Handler() = std::move(handler);
}

void HandleApplicationError(std::string_view where, std::string_view message) {
  try {
    if (Handler()) {
      Handler()(where, message);
      return;
    }
  } catch (...) {
    // The handler itself failed (disk full, folder gone): fall back to standard error.
  }
  fmt::print(stderr, "Error in {}: {}\n", where, message);
}

}  // namespace fidora
