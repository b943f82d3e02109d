// TAwkParser: splits one line at a separator byte into fields numbered from 1; field 0 is the
// whole line. Empty fields are kept and nothing is trimmed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fidora {

inline constexpr char kFieldSeparator = '\xA6';  // the broken bar of Windows-1252

class TAwkParser {
 public:
  explicit TAwkParser(char separator = kFieldSeparator, std::string_view line = {});

  void SetLine(std::string_view line);
  void SetSeparator(char separator) { Separator = separator; }

  // Empty when n is negative or above FieldCount(); the whole line for 0; else field n.
  std::string Field(int n) const;
  int FieldCount() const { return static_cast<int>(starts_.size()); }

  char Separator;

 private:
  std::string line_;
  std::vector<int> starts_;  // 1-based position of each field's first byte, 0 when it has none
  std::vector<int> lengths_;
};

}  // namespace fidora
