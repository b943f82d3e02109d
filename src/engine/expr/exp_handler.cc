#include "engine/expr/exp_handler.h"

#include <cmath>

#include "engine/expr/exp_compiler.h"
#include "engine/expr/exp_dates.h"

namespace fidora {

std::string ExpValueText(const TxExpValue& value) {
  switch (value.type) {
    case TxExpType::Text:
    case TxExpType::Memo:
      return value.text;
    case TxExpType::Boolean:
      return value.logical ? "T" : "F";
    case TxExpType::Date: {
      if (IsNoDate(value.number)) return std::string(10, ' ');
      int y, m, d;
      const std::int64_t day = TruncToInt(value.number);
      if (day <= 0 || YmdFromDayNumber(day, y, m, d)) return DayNumberToDisplayText(day);
      return FormatGeneral(value.number);  // a day number beyond any calendar date
    }
    default:
      return IsNumericType(value.type) ? FormatGeneral(value.number) : std::string();
  }
}

TxExpHandler::TxExpHandler(const TxExpUserLink* link, const std::string& alias,
                           const std::string& text) {
  Create(link, alias, text);
}

void TxExpHandler::Create(const TxExpUserLink* link, const std::string& alias,
                          const std::string& text) {
  link_ = link;
  alias_ = alias;
  Recompile(text);
}

void TxExpHandler::SetCompareSettings(bool caseInsensitive, bool partialCompare) {
  settings_.caseInsensitive = caseInsensitive;
  settings_.partialCompare = partialCompare;
}

void TxExpHandler::Recompile(const std::string& text) {
  tree_.reset();
  operandCount_ = 0;
  resultType_ = TxExpType::Unknown;
  text_ = text;
  TxExpCompiler compiler(link_, settings_);
  tree_ = compiler.Compile(RemoveAlias(text, alias_));
  operandCount_ = compiler.OperandCount();
}

TxExpValue TxExpHandler::Evaluate() {
  resultType_ = TxExpType::Unknown;
  if (!tree_) return {};
  TxExpValue value = tree_->Evaluate();
  resultType_ = value.type;
  return value;
}

TxExpType TxExpHandler::EvaluateInto(TxVariant& out) {
  if (!tree_) {
    out.SetText("");
    resultType_ = TxExpType::Unknown;
    return resultType_;
  }
  const TxExpValue value = Evaluate();
  switch (value.type) {
    case TxExpType::Text:
      out.SetText(value.text);
      break;
    case TxExpType::Number:
    case TxExpType::DateTime:
      out.SetNumber(value.number);
      break;
    case TxExpType::Date:
      out.SetDayNumber(static_cast<std::int32_t>(
          std::fmax(std::fmin(std::trunc(value.number), 2147483647.0), -2147483648.0)));
      break;
    case TxExpType::Boolean:
      out.SetLogical(value.logical);
      break;
    default:
      resultType_ = TxExpType::Unknown;
      break;
  }
  return resultType_;
}

std::string TxExpHandler::Render() const {
  return tree_ ? tree_->Render() : std::string();
}

std::string TxExpHandler::ListNames(int kind) const {
  std::string out;
  if (tree_) tree_->ListNames(kind, out);
  return out;
}

}  // namespace fidora
