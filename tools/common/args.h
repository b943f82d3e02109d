// Option values and number arguments of the command-line tools.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace fidora {

// A whole decimal number within [minimum, maximum], nothing else around it.
std::optional<long long> ParseWholeNumber(std::string_view text, long long minimum,
                                          long long maximum);

// Seconds as a decimal number (fractions allowed), greater than 0 and at most `maximum`;
// returned in milliseconds, at least 1.
std::optional<int> ParseSecondsAsMs(std::string_view text, double maximum);

// Whether argv[i] is option `name` with a value, given as "name=value" or as "name value";
// sets `value` and, in the second form, moves i on to the value. A `name` that ends the
// command line is not taken and sets `error` to "name needs a value".
bool TakeOptionValue(int argc, char** argv, int& i, std::string_view name, std::string_view& value,
                     std::string& error);

// The value of option `name` as a whole number within [minimum, maximum]; otherwise 0, and
// `error` says "name needs a number from minimum to maximum, not 'value'".
long long WholeOptionValue(std::string_view name, std::string_view value, long long minimum,
                           long long maximum, std::string& error);

}  // namespace fidora
