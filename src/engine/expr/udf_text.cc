// Text functions: ALLTRIM ASC AT ATC CHR LEFT LEN LOWER LTRIM PROPER RIGHT RTRIM SOUNDEX SPACE
// STRTRAN SUBSTR TRIM UPPER VAL.
#include <algorithm>
#include <cstdint>
#include <string>

#include "engine/expr/exp_text.h"
#include "engine/expr/text_search.h"
#include "engine/expr/udf_library.h"

namespace fidora {
namespace {

using udf::CheckedLength;
using udf::OptionalWhole;

TxExpValue Text(std::string s) {
  return TxExpValue::OfText(std::move(s));
}
TxExpValue Text(std::string_view s) {
  return TxExpValue::OfText(std::string(s));
}

FIDORA_UDF(TxUDFUpper, "UPPER") {
  return Text(UpperText(call.TextArg(1)));
}
FIDORA_UDF(TxUDFLower, "LOWER") {
  return Text(LowerText(call.TextArg(1)));
}
FIDORA_UDF(TxUDFAllTrim, "ALLTRIM") {
  return Text(TrimBoth(call.TextArg(1)));
}
FIDORA_UDF(TxUDFLTrim, "LTRIM") {
  return Text(TrimLeft(call.TextArg(1)));
}
FIDORA_UDF(TxUDFTrim, "TRIM") {
  return Text(TrimRight(call.TextArg(1)));
}
FIDORA_UDF(TxUDFRTrim, "RTRIM") {
  return Text(TrimRight(call.TextArg(1)));
}
FIDORA_UDF(TxUDFLen, "LEN") {
  return TxExpValue::OfNumber(static_cast<double>(call.TextArg(1).size()));
}

FIDORA_UDF(TxUDFAsc, "ASC") {
  const std::string s = call.TextArg(1);
  return TxExpValue::OfNumber(s.empty() ? 0 : static_cast<unsigned char>(s[0]));
}

FIDORA_UDF(TxUDFChr, "CHR") {
  const std::int64_t code = TruncToInt(call.NumberArg(1));
  if (code < 0 || code > 255) udf::RequiredButInvalid("Byte");
  return Text(std::string(1, static_cast<char>(code)));
}

FIDORA_UDF(TxUDFSpace, "SPACE") {
  const std::int64_t n = TruncToInt(call.NumberArg(1));
  return Text(std::string(n > 0 ? static_cast<size_t>(CheckedLength(n)) : 0, ' '));
}

// Position (from 1) of the n-th occurrence of needle in haystack, occurrences overlapping; the
// last one found when there are fewer than n; 0 when there is none.
std::int64_t FindOccurrence(const std::string& needle, const std::string& haystack,
                            std::int64_t n) {
  if (n <= 0) return 0;
  std::int64_t count = 0, last = -1;
  TxTextSearch(needle).ForEach(haystack, true, [&](size_t pos) {
    last = static_cast<std::int64_t>(pos);
    return ++count < n;
  });
  return last + 1;
}

FIDORA_UDF(TxUDFAt, "AT") {
  const std::string needle = call.TextArg(1);
  const std::string haystack = call.TextArg(2);
  return TxExpValue::OfNumber(
      static_cast<double>(FindOccurrence(needle, haystack, OptionalWhole(call, 3, 1))));
}

FIDORA_UDF(TxUDFAtC, "ATC") {
  const std::string needle = UpperAscii(call.TextArg(1));
  const std::string haystack = UpperAscii(call.TextArg(2));
  return TxExpValue::OfNumber(
      static_cast<double>(FindOccurrence(needle, haystack, OptionalWhole(call, 3, 1))));
}

// LEFT pads with blanks when the text is shorter than n, so it can lengthen its text.
FIDORA_UDF(TxUDFLeft, "LEFT") {
  std::string s = call.TextArg(1);
  const double count = call.NumberArg(2);
  const std::int64_t n = count <= 0.01 ? 0 : CheckedLength(TruncToInt(count));
  s.resize(static_cast<size_t>(n), ' ');
  return Text(std::move(s));
}

// RIGHT with n <= 0 gives the whole text, not an empty one.
FIDORA_UDF(TxUDFRight, "RIGHT") {
  const std::string s = call.TextArg(1);
  const std::int64_t n = TruncToInt(call.NumberArg(2));
  const auto len = static_cast<std::int64_t>(s.size());
  if (n >= len || n <= 0) return Text(s);
  return Text(s.substr(static_cast<size_t>(len - n)));
}

FIDORA_UDF(TxUDFSubStr, "SUBSTR") {
  const std::string s = call.TextArg(1);
  std::int64_t start = TruncToInt(call.NumberArg(2));
  const auto len = static_cast<std::int64_t>(s.size());
  if (start == 0 || start > len) return Text(std::string());
  std::int64_t count = OptionalWhole(call, 3, len);
  if (count > len - start + 1) count = len - start + 1;
  if (start < 1) start = 1;  // the length is not adjusted for it
  if (count <= 0) return Text(std::string());
  return Text(s.substr(static_cast<size_t>(start - 1), static_cast<size_t>(count)));
}

FIDORA_UDF(TxUDFStrTran, "STRTRAN") {
  const std::string s = call.TextArg(1);
  const std::string find = call.TextArg(2);
  if (s.empty() || find.empty()) return Text(s);
  const TxExpValue replaceArg = call.ArgAny(3);
  const std::string replace = replaceArg.type == TxExpType::Text ? replaceArg.text : "";
  const std::int64_t first = OptionalWhole(call, 4, 1);
  const std::int64_t count = OptionalWhole(call, 5, INT64_MAX);
  const size_t limit = std::max(s.size(), static_cast<size_t>(kMaxTextLength));

  std::string out;
  std::int64_t occurrence = 0, replaced = 0;
  size_t pos = 0;
  TxTextSearch(find).ForEach(s, false, [&](size_t hit) {
    out.append(s, pos, hit - pos);
    ++occurrence;
    if (occurrence >= first && replaced < count) {
      out += replace;
      ++replaced;
    } else {
      out += find;
    }
    if (out.size() > limit) CheckedLength(kMaxTextLength + 1);
    pos = hit + find.size();
    return true;
  });
  out.append(s, pos, std::string::npos);
  return Text(std::move(out));
}

// Blank and ASCII punctuation except the apostrophe and the grave accent start a new word.
bool IsWordSeparator(unsigned char c) {
  return c == 0 || (c >= 32 && c <= 38) || (c >= 40 && c <= 47) || (c >= 58 && c <= 64) ||
         (c >= 91 && c <= 95) || (c >= 123 && c <= 127);
}

FIDORA_UDF(TxUDFProper, "PROPER") {
  const std::string s = call.TextArg(1);
  std::string out(s.size(), ' ');
  for (size_t i = 0; i < s.size(); ++i) {
    const bool wordStart = i == 0 || IsWordSeparator(static_cast<unsigned char>(out[i - 1]));
    out[i] = wordStart ? UpperChar(s[i]) : LowerChar(s[i]);
  }
  return Text(std::move(out));
}

char SoundexDigit(char letter) {
  static const char kDigits[] = "01230120022455012623010202";  // A .. Z
  return kDigits[letter - 'A'];
}

FIDORA_UDF(TxUDFSoundex, "SOUNDEX") {
  const std::string upper = UpperAscii(call.TextArg(1));
  const std::string_view s = TrimBoth(upper);
  if (s.empty()) return Text(std::string());
  std::string kept;
  if (s.size() > 1) {
    char previous = 0;
    for (char c : s) {
      if (c < 'A' || c > 'Z') continue;
      const char digit = SoundexDigit(c);
      if (digit != '0' && digit != previous) kept += digit;
      previous = digit;
    }
  }
  std::string code = kept + "0000";
  if (s[0] >= 'A' && s[0] <= 'Z')
    code[0] = s[0];
  else
    code.insert(code.begin(), s[0]);
  return Text(code.substr(0, 4));
}

// VAL reads the whole text as a number or gives 0: there is no reading of a leading part.
FIDORA_UDF(TxUDFVal, "VAL") {
  double value = 0;
  if (!ParseDecimal(call.TextArg(1), value)) value = 0;
  return TxExpValue::OfNumber(value);
}

}  // namespace

void RegisterTextFunctions(TxFunctionReg& r) {
  r.Add(std::make_shared<TxUDFAllTrim>());
  r.Add(std::make_shared<TxUDFAsc>());
  r.Add(std::make_shared<TxUDFAt>());
  r.Add(std::make_shared<TxUDFAtC>());
  r.Add(std::make_shared<TxUDFChr>());
  r.Add(std::make_shared<TxUDFLeft>());
  r.Add(std::make_shared<TxUDFLen>());
  r.Add(std::make_shared<TxUDFLower>());
  r.Add(std::make_shared<TxUDFLTrim>());
  r.Add(std::make_shared<TxUDFProper>());
  r.Add(std::make_shared<TxUDFRight>());
  r.Add(std::make_shared<TxUDFRTrim>());
  r.Add(std::make_shared<TxUDFSoundex>());
  r.Add(std::make_shared<TxUDFSpace>());
  r.Add(std::make_shared<TxUDFStrTran>());
  r.Add(std::make_shared<TxUDFSubStr>());
  r.Add(std::make_shared<TxUDFTrim>());
  r.Add(std::make_shared<TxUDFUpper>());
  r.Add(std::make_shared<TxUDFVal>());
}

}  // namespace fidora
