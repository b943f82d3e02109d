// A demo shop written by the real table tool into a temporary directory.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/run_program.h"
#include "support/temp_dir.h"

namespace fidora::test {

inline std::string Tool() {
  return std::string(FIDORA_BINARY_DIR) + "/tools/dbf/fidora-dbf";
}

inline void WriteDemoShop(const std::string& dir) {
  const ProgramResult r = RunProgram(Tool(), {"demo", dir});
  ASSERT_EQ(r.status, 0) << r.err;
}

}  // namespace fidora::test
