#include "net/table_locks.h"

#include <algorithm>
#include <thread>

#include "protocol/awk_parser.h"
#include "protocol/field_helpers.h"

namespace fidora {

namespace {
std::vector<std::string> SplitNames(std::string_view names) {
  const TAwkParser parser(kFieldSeparator, names);
  std::vector<std::string> result;
  for (int i = 1; i <= parser.FieldCount(); ++i) result.push_back(UpperCase(parser.Field(i)));
  return result;
}
}  // namespace

bool TCritical::TryEnter(std::string_view names) {
  const std::vector<std::string> wanted = SplitNames(names);
  std::lock_guard guard(lock_);
  for (const std::string& name : wanted)
    if (std::find(held_.begin(), held_.end(), name) != held_.end()) return false;
  held_.insert(held_.end(), wanted.begin(), wanted.end());
  return true;
}

void TCritical::Enter(std::string_view names) {
  while (!TryEnter(names)) std::this_thread::sleep_for(kPollInterval);
}

void TCritical::Leave(std::string_view names) {
  const std::vector<std::string> given = SplitNames(names);
  std::lock_guard guard(lock_);
  for (const std::string& name : given) {
    const auto at = std::find(held_.begin(), held_.end(), name);
    if (at != held_.end()) held_.erase(at);
  }
}

std::vector<std::string> TCritical::Held() const {
  std::lock_guard guard(lock_);
  return held_;
}

TCritical& TableLocks() {
  static TCritical locks;
  return locks;
}

}  // namespace fidora
