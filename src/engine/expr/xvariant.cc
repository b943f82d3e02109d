#include "engine/expr/xvariant.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/dbf/xb_error.h"
#include "engine/expr/exp_dates.h"
#include "engine/expr/exp_text.h"
#include "engine/expr/exp_value.h"
#include "engine/expr/rtl_error.h"

namespace fidora {

void TxVariant::Clear() {
  bytes_.clear();
  kind_ = Kind::None;
}

void TxVariant::SetText(std::string_view text) {
  bytes_.assign(text);
  kind_ = Kind::Text;
}

void TxVariant::SetNumber(double value) {
  bytes_.assign(reinterpret_cast<const char*>(&value), sizeof value);
  kind_ = Kind::Number;
}

void TxVariant::SetDayNumber(std::int32_t day) {
  bytes_.assign(reinterpret_cast<const char*>(&day), sizeof day);
  kind_ = Kind::DayNumber;
}

void TxVariant::SetLogical(bool value) {
  bytes_.assign(1, value ? '\1' : '\0');
  kind_ = Kind::Logical;
}

void TxVariant::SetRaw(std::string_view bytes) {
  bytes_.assign(bytes);
  kind_ = Kind::Raw;
}

void TxVariant::AppendRaw(std::string_view bytes) {
  bytes_.append(bytes);
  kind_ = Kind::Raw;
}

void TxVariant::PadText(size_t length) {
  if (kind_ == Kind::Text && bytes_.size() < length) bytes_.resize(length, ' ');
}

void TxVariant::TrimText() {
  if (kind_ != Kind::Text) return;
  while (!bytes_.empty() && bytes_.back() == ' ') bytes_.pop_back();
}

void TxVariant::UpperCaseText() {
  if (kind_ == Kind::Text) bytes_ = UpperText(bytes_);
}

double TxVariant::ReadDouble() const {
  double value = 0;
  std::memcpy(&value, bytes_.data(), std::min(bytes_.size(), sizeof value));
  return value;
}

std::int32_t TxVariant::ReadInt32() const {
  std::int32_t value = 0;
  std::memcpy(&value, bytes_.data(), std::min(bytes_.size(), sizeof value));
  return value;
}

std::string TxVariant::AsText() const {
  switch (kind_) {
    case Kind::Text:
    case Kind::Raw:
      return bytes_;
    case Kind::Number:
      return FormatGeneral(ReadDouble());
    case Kind::DayNumber:
      return DayNumberToDisplayText(ReadInt32());
    case Kind::Logical:
      return !bytes_.empty() && bytes_[0] ? "T" : "F";
    case Kind::None:
      break;
  }
  return {};
}

double TxVariant::AsNumber() const {
  switch (kind_) {
    case Kind::Text: {
      double value = 0;
      if (!ParseDecimal(bytes_, value)) throw InvalidFloatError(bytes_);
      return value;
    }
    case Kind::Number:
    case Kind::Raw:
      return ReadDouble();
    case Kind::DayNumber:
      return ReadInt32();
    case Kind::Logical:
      return !bytes_.empty() && bytes_[0] ? 1 : 0;
    case Kind::None:
      break;
  }
  return 0;
}

std::int32_t TxVariant::AsDayNumber() const {
  switch (kind_) {
    case Kind::Text:
      return DayNumberFromText(bytes_);
    case Kind::Number: {
      const std::int64_t whole = TruncToInt(ReadDouble());
      return DayNumberFromText(std::to_string(whole));
    }
    case Kind::DayNumber:
    case Kind::Raw:
      return ReadInt32();
    case Kind::Logical:
    case Kind::None:
      break;
  }
  return 0;
}

bool TxVariant::AsLogical() const {
  switch (kind_) {
    case Kind::Text:
      return !bytes_.empty() && std::strchr("TtYyJj", bytes_[0]) != nullptr && bytes_[0] != '\0';
    case Kind::Number:
      return TruncToInt(ReadDouble()) != 0;
    case Kind::Logical:
    case Kind::Raw:
      return !bytes_.empty() && bytes_[0] != 0;
    case Kind::DayNumber:
      return ReadInt32() != 0;
    case Kind::None:
      break;
  }
  return false;
}

namespace {
int Sign(int v) {
  return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

TxVariant::CompareResult CompareText(const std::string& a, const std::string& b, int partial) {
  for (size_t i = 0; i < a.size(); ++i) {
    const auto ca = static_cast<unsigned char>(a[i]);
    const auto cb =
        i < b.size() ? static_cast<unsigned char>(b[i]) : static_cast<unsigned char>(' ');
    if (ca != cb) return {ca < cb ? -1 : 1, i};
  }
  if (a.size() >= b.size()) return {0, a.size()};
  return {partial, a.size()};
}

TxVariant::CompareResult CompareRaw(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const auto ca = static_cast<unsigned char>(a[i]);
    const auto cb = static_cast<unsigned char>(b[i]);
    if (ca != cb) return {ca < cb ? -1 : 1, i};
  }
  return {Sign(static_cast<int>(a.size() > b.size()) - static_cast<int>(a.size() < b.size())), n};
}
}  // namespace

TxVariant::CompareResult TxVariant::Compare(const TxVariant& other, int partialResult) const {
  if (IsEmpty() && other.IsEmpty()) return {0, 0};
  if (IsEmpty()) return {-1, 0};
  if (other.IsEmpty()) return {1, 0};

  Kind kind = kind_;
  if (kind_ == Kind::Raw)
    kind = other.kind_;
  else if (other.kind_ != Kind::Raw && other.kind_ != kind_)
    throw EXbError(XbErrorKind::kExpression, "Variant types mismatch for compare");

  switch (kind) {
    case Kind::Text:
      return CompareText(bytes_, other.bytes_, partialResult);
    case Kind::Raw:
      return CompareRaw(bytes_, other.bytes_);
    case Kind::Number: {
      const double a = ReadDouble(), b = other.ReadDouble();
      return {a < b ? -1 : (a > b ? 1 : 0), 0};
    }
    case Kind::DayNumber: {
      const std::int32_t a = ReadInt32(), b = other.ReadInt32();
      return {a < b ? -1 : (a > b ? 1 : 0), 0};
    }
    case Kind::Logical: {
      const char a = bytes_[0], b = other.bytes_[0];
      if (a == b) return {0, 0};
      return {a != 0 ? 1 : -1, 0};
    }
    case Kind::None:
      break;
  }
  throw EXbError(XbErrorKind::kExpression, "Variant types mismatch for compare");
}

}  // namespace fidora
