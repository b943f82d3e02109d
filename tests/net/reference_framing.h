// The framing rules applied in one pass to bytes that are all there: the yardstick the tests
// and the fuzzer hold the incremental receive handler against.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "net/framing.h"

namespace fidora::test {

// A block payload split into lines: a line ends at CR, LF or CR LF; a NUL ends the text.
inline std::vector<std::string> SplitWhole(std::string_view payload) {
  payload = payload.substr(0, payload.find('\0'));
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < payload.size();) {
    if (payload[i] == '\r' || payload[i] == '\n') {
      lines.emplace_back(payload.substr(start, i - start));
      i += (payload[i] == '\r' && i + 1 < payload.size() && payload[i + 1] == '\n') ? 2 : 1;
      start = i;
    } else {
      ++i;
    }
  }
  if (start < payload.size()) lines.emplace_back(payload.substr(start));
  return lines;
}

// The requests of a whole stream; `rest` gets the number of unfinished bytes at its end.
inline std::vector<std::vector<std::string>> CutWhole(std::string_view stream, size_t& rest) {
  std::vector<std::vector<std::string>> requests;
  for (;;) {
    const size_t lf = stream.find('\n');
    if (lf == std::string_view::npos) break;
    const size_t b = lf + 1;
    if (b <= 2) {
      stream.remove_prefix(b);
      continue;
    }
    const std::string_view line = stream.substr(0, b - 2);
    const int64_t length = BlockLength(line);
    if (length > 0) {
      if (stream.size() < b + static_cast<size_t>(length)) break;
      requests.push_back(SplitWhole(stream.substr(b, static_cast<size_t>(length))));
      stream.remove_prefix(b + static_cast<size_t>(length));
    } else {
      requests.push_back({std::string(line)});
      stream.remove_prefix(b);
    }
  }
  rest = stream.size();
  return requests;
}

}  // namespace fidora::test
