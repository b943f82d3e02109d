// Option values and number arguments of the command-line tools.
#pragma once

#include <functional>
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

// Reads a command line of options and one request LINE, the way fidora-client and fidora-load
// take it. "--" ends the options and "--help" or "-h" sets `help`; any other word of more than
// one character that starts with "-" is handed to `option` as argv[i], which returns whether
// it knows that option (it may move i past a value, and may set `error`); one it does not
// know is "unknown option ...". Unless `help` is set, exactly one LINE must be given. Returns
// false, with `error` set, on bad usage.
bool ReadLineCommand(int argc, char** argv, std::string& error, bool& help, std::string& line,
                     const std::function<bool(int& i)>& option);

}  // namespace fidora
