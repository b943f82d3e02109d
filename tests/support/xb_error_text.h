// The message of the engine error a call raises, for tests that compare error texts.
#pragma once

#include <functional>
#include <string>

#include "engine/dbf/xb_error.h"

namespace fidora::test {

// What f raises as EXbError, or "(no error)" when it returns; other errors pass through.
inline std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EXbError& e) {
    return e.what();
  }
  return "(no error)";
}

}  // namespace fidora::test
