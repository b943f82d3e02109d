// The fuzz entry point shared by the libFuzzer program and the corpus replay: compiles one
// expression text against a small table held in memory and evaluates it on every record,
// with every compare setting. Expression, conversion and arithmetic errors are the expected
// outcome of bad input; anything else (a crash, a hang, another exception) is a fault.
#pragma once

#include <string_view>

namespace fidora::test {

void FuzzOneExpression(std::string_view text);

}  // namespace fidora::test
