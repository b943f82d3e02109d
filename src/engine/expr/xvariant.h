// TxVariant: a typed value with its own byte buffer, used for index keys. It holds text, a
// number (8-byte IEEE double), a day number (32-bit integer), a logical (1 byte) or raw bytes,
// converts between them and compares two values the way the index pages order keys.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace fidora {

class TxVariant {
 public:
  enum class Kind : std::uint8_t {
    None = 0,
    Text = 1,
    Number = 2,
    DayNumber = 3,
    Logical = 4,
    Raw = 5
  };

  struct CompareResult {
    int order;        // -1, 0 or 1
    size_t position;  // bytes equal before the first difference (texts and raw bytes)
  };

  Kind kind() const { return kind_; }
  size_t length() const { return bytes_.size(); }
  const std::string& bytes() const { return bytes_; }
  bool IsEmpty() const { return bytes_.empty(); }

  void Assign(const TxVariant& other) { *this = other; }
  void Clear();
  void SetText(std::string_view text);
  void SetNumber(double value);
  void SetDayNumber(std::int32_t day);
  void SetLogical(bool value);
  void SetRaw(std::string_view bytes);
  // Appends bytes; the value becomes raw.
  void AppendRaw(std::string_view bytes);
  // Text values only: pad with blanks up to `length` (never shortens), trim trailing blanks,
  // upper-case.
  void PadText(size_t length);
  void TrimText();
  void UpperCaseText();

  // Conversions. AsNumber raises on text that is not a number; AsDayNumber raises on text that
  // is not a date.
  std::string AsText() const;
  double AsNumber() const;
  std::int32_t AsDayNumber() const;
  bool AsLogical() const;

  // Orders this value against `other`. `partialResult` replaces the -1 given when this text is a
  // proper prefix of the other (0 lets a searched prefix match a longer stored key). Raises
  // EXbError "Variant types mismatch for compare" when the kinds cannot be compared.
  CompareResult Compare(const TxVariant& other, int partialResult = -1) const;

 private:
  double ReadDouble() const;
  std::int32_t ReadInt32() const;

  std::string bytes_;
  Kind kind_ = Kind::None;
};

}  // namespace fidora
