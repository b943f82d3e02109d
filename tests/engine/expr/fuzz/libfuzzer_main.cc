// libFuzzer entry: every input is one expression text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "expr_fuzz_target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fidora::test::FuzzOneExpression(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
