#include "net/block_assembly.h"

#include <algorithm>
#include <utility>

namespace fidora {

namespace {
// Memory a finished block leaves behind for the next one; more is given back.
constexpr size_t kKeepBytes = 64 * 1024;

size_t LineBreakOrNul(std::string_view bytes, size_t from) {
  for (size_t i = from; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\r' || c == '\n' || c == '\0') return i;
  }
  return bytes.size();
}
}  // namespace

void TBlockAssembly::Start(int64_t length, int header_bytes, int64_t reserve) {
  lines_.clear();
  length_ = length;
  remaining_ = length;
  header_bytes_ = header_bytes;
  active_ = true;
  after_cr_ = false;
  stopped_ = false;
  lines_.Reserve(static_cast<size_t>(std::clamp<int64_t>(reserve, 0, length)));
}

size_t TBlockAssembly::Feed(std::string_view bytes) {
  const size_t taken = static_cast<size_t>(std::min<int64_t>(remaining_, bytes.size()));
  remaining_ -= static_cast<int64_t>(taken);
  bytes = bytes.substr(0, taken);
  size_t at = 0;
  if (after_cr_ && !bytes.empty()) {
    if (bytes[0] == '\n') at = 1;
    after_cr_ = false;
  }
  while (!stopped_ && at < bytes.size()) {
    const size_t end = LineBreakOrNul(bytes, at);
    lines_.AppendOpen(bytes.substr(at, end - at));
    if (end == bytes.size()) break;
    const char c = bytes[end];
    if (c == '\0') {
      stopped_ = true;
      break;
    }
    lines_.CloseLine();
    at = end + 1;
    if (c == '\r') {
      if (at == bytes.size()) {
        after_cr_ = true;
      } else if (bytes[at] == '\n') {
        ++at;
      }
    }
  }
  return taken;
}

void TBlockAssembly::Finish(TRequestLines& request) {
  if (lines_.OpenLength() > 0) lines_.CloseLine();
  std::swap(request, lines_);
  if (lines_.MemoryBytes() > kKeepBytes) {
    lines_.Release();
  } else {
    lines_.clear();
  }
  active_ = false;
  remaining_ = 0;
  length_ = 0;
}

void TBlockAssembly::Release() {
  lines_.Release();
  active_ = false;
  remaining_ = 0;
  length_ = 0;
}

}  // namespace fidora
