// How operators compare two texts. An empty text (no characters) is smaller than any other,
// also than blanks; otherwise trailing blanks and control characters do not count, and with
// partial compare on a right text that begins or ends with the "any" wildcard is a pattern.
// "=" is therefore no prefix test: 'SMITH' = 'SM' is false, 'SMITH' = 'SM*' is true.
#pragma once

#include <string_view>

#include "engine/expr/exp_node.h"

namespace fidora {

// -1, 0 or 1.
int CompareExpTexts(std::string_view left, std::string_view right,
                    const TxCompareSettings& settings);

// SM* is a prefix test, *SM* and *SM containment tests, S?ITH* a prefix test where "?" stands
// for any character; a text shorter than the pattern never matches (SMITH* does not match SMITH).
bool WildcardMatch(std::string_view pattern, std::string_view text, char any = '*', char one = '?');

}  // namespace fidora
