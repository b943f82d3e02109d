// Number arguments of the command-line tools.
#pragma once

#include <optional>
#include <string_view>

namespace fidora {

// A whole decimal number within [minimum, maximum], nothing else around it.
std::optional<long long> ParseWholeNumber(std::string_view text, long long minimum,
                                          long long maximum);

// Seconds as a decimal number (fractions allowed), greater than 0 and at most `maximum`;
// returned in milliseconds, at least 1.
std::optional<int> ParseSecondsAsMs(std::string_view text, double maximum);

}  // namespace fidora
