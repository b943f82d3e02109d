#include "engine/expr/exp_node.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "engine/dbf/xb_error.h"
#include "engine/expr/exp_dates.h"
#include "engine/expr/rtl_error.h"
#include "engine/expr/text_compare.h"
#include "engine/expr/text_search.h"

namespace fidora {

namespace {
[[noreturn]] void RequiredButInvalid(const char* what) {
  throw EXbExpression(fmt::format("A {} value is required but invalid", what));
}
}  // namespace

// ---- base ----

void TxExpBaseObject::ListNames(int kind, std::string& out) const {
  if (left_) left_->ListNames(kind, out);
  if (Kind() == kind) out += NameText() + ";";
  if (right_) right_->ListNames(kind, out);
}

void TxExpBaseObject::SetChildren(TxExpNode left, TxExpNode right) {
  left_ = std::move(left);
  right_ = std::move(right);
  height_ = 1;
  if (left_) UpdateHeight(left_->Height());
  if (right_) UpdateHeight(right_->Height());
}

void TxExpBaseObject::UpdateHeight(int childHeight) {
  height_ = std::max(height_, childHeight + 1);
}

// ---- container ----

TxExpContainer::TxExpContainer(TxExpNode inner) {
  SetChildren(std::move(inner), nullptr);
}

std::string TxExpContainer::Render() const {
  return "(" + (left_ ? left_->Render() : "") + ")";
}

TxExpValue TxExpContainer::Evaluate() const {
  if (!left_) throw EXbExpression("Expression cannot be evaluated");
  return left_->Evaluate();
}

// ---- function call ----

TxExpFunction::TxExpFunction(std::shared_ptr<const TxUserDefFunction> function,
                             std::vector<TxExpNode> args, const TxExpUserLink* link)
    : function_(std::move(function)), args_(std::move(args)), link_(link) {
  for (const TxExpNode& arg : args_)
    if (arg) UpdateHeight(arg->Height());
}

std::string TxExpFunction::Render() const {
  std::string out = function_->Name() + "(";
  for (size_t i = 0; i < args_.size(); ++i) {
    if (i > 0) out += ",";
    if (args_[i]) out += args_[i]->Render();
  }
  return out + ")";
}

void TxExpFunction::ListNames(int kind, std::string& out) const {
  if (Kind() == kind) out += NameText() + ";";
  for (const TxExpNode& arg : args_)
    if (arg) arg->ListNames(kind, out);
}

bool TxExpFunction::HasArg(int k) const {
  return ArgNode(k) != nullptr;
}

const TxExpBaseObject* TxExpFunction::ArgNode(int k) const {
  if (k < 1 || k > ArgCount()) return nullptr;
  return args_[static_cast<size_t>(k - 1)].get();
}

TxExpValue TxExpFunction::ArgAny(int k) const {
  const TxExpBaseObject* node = ArgNode(k);
  return node ? node->Evaluate() : TxExpValue::Missing();
}

TxExpValue TxExpFunction::Arg(int k, TxExpType needed) const {
  TxExpValue value = ArgAny(k);
  if (!TypeSatisfies(value.type, needed)) {
    throw EXbExpression(
        fmt::format("{} needed for Argument {} of {}", ExpTypeName(needed), k, function_->Name()));
  }
  return value;
}

// ---- variable ----

TxExpFieldvar::TxExpFieldvar(std::shared_ptr<const TxUserDefFieldVar> variable)
    : variable_(std::move(variable)) {
  width_ = variable_->Width();
  decimals_ = variable_->Decimals();
}

// ---- literals ----

TxExpTextLit::TxExpTextLit(std::string text) : text_(std::move(text)) {
  width_ = static_cast<int>(std::min<size_t>(text_.size(), 1u << 30));
}

TxExpNumLit::TxExpNumLit(double value, const std::string& literal) : value_(value) {
  width_ = static_cast<int>(std::min<size_t>(literal.size(), 1u << 30));
  const size_t dot = literal.find('.');
  if (dot != std::string::npos) decimals_ = static_cast<int>(literal.size() - dot - 1);
}

std::string TxExpNumLit::Render() const {
  return fmt::format("{:.{}f}", value_, decimals_);
}

TxExpDateLit::TxExpDateLit(std::int32_t dayNumber) : dayNumber_(dayNumber) {}

std::string TxExpDateLit::Render() const {
  return "{" + DayNumberToDisplayText(dayNumber_) + "}";
}

// ---- operator ----

TxExpOperator::TxExpOperator(Op op, const TxCompareSettings& settings)
    : op_(op), settings_(settings) {}

int TxExpOperator::Precedence(Op op) {
  switch (op) {
    case Op::Power:
      return 2;
    case Op::Multiply:
    case Op::Divide:
      return 3;
    case Op::Add:
    case Op::Subtract:
      return 4;
    case Op::Not:
      return 6;
    case Op::And:
      return 7;
    case Op::Or:
      return 8;
    default:
      return 5;
  }
}

void TxExpOperator::Take(TxExpNode left, TxExpNode right) {
  SetChildren(std::move(left), std::move(right));
  taken_ = true;
}

std::string TxExpOperator::NameText() const {
  switch (op_) {
    case Op::Power:
      return "^";
    case Op::Multiply:
      return "*";
    case Op::Divide:
      return "/";
    case Op::Add:
      return "+";
    case Op::Subtract:
      return "-";
    case Op::Equal:
      return "=";
    case Op::NotEqual:
      return "#";
    case Op::Greater:
      return ">";
    case Op::Less:
      return "<";
    case Op::GreaterEqual:
      return ">=";
    case Op::LessEqual:
      return "<=";
    case Op::Contains:
      return "in string";
    case Op::Not:
      return ".NOT.";
    case Op::And:
      return ".AND.";
    case Op::Or:
      return ".OR.";
  }
  return {};
}

std::string TxExpOperator::Render() const {
  const std::string symbol = op_ == Op::Contains ? "$" : NameText();
  return (left_ ? left_->Render() : "") + symbol + (right_ ? right_->Render() : "");
}

bool TxExpOperator::IsComparison() const {
  return Precedence(op_) == 5 && op_ != Op::Contains;
}

bool TxExpOperator::IsArithmetic() const {
  return Precedence(op_) <= 4;
}

TxExpValue TxExpOperator::Evaluate() const {
  if ((op_ != Op::Not && !left_) || !right_) {
    throw EXbExpression(fmt::format("Target value missing for {} operation", NameText()));
  }
  const TxExpValue r = right_->Evaluate();
  if (op_ == Op::Not) {
    if (r.type != TxExpType::Boolean) RequiredButInvalid("assigned");
    return TxExpValue::OfBoolean(!r.logical);
  }
  const TxExpValue l = left_->Evaluate();
  if (l.type != r.type && !(IsNumericType(l.type) && IsNumericType(r.type))) {
    throw EXbExpression("The two sides of an operation do not match");
  }
  if (r.type == TxExpType::Boolean) return EvaluateLogical(l, r);
  if (IsNumericType(r.type)) return EvaluateNumeric(l, r);
  if (r.type == TxExpType::Text || r.type == TxExpType::Memo) return EvaluateText(l, r);
  RequiredButInvalid("assigned");
}

TxExpValue TxExpOperator::EvaluateLogical(const TxExpValue& l, const TxExpValue& r) const {
  switch (op_) {
    case Op::Equal:
      return TxExpValue::OfBoolean(l.logical == r.logical);
    case Op::NotEqual:
      return TxExpValue::OfBoolean(l.logical != r.logical);
    case Op::And:
      return TxExpValue::OfBoolean(l.logical && r.logical);
    case Op::Or:
      return TxExpValue::OfBoolean(l.logical || r.logical);
    default:
      RequiredButInvalid(IsArithmetic() ? "number" : "assigned");
  }
}

namespace {
// The left value multiplied by itself n - 1 times; for n <= 1 the left value itself (so 2 ^ 0
// is 2). Long products are done by pow, which gives the same value up to rounding.
double Power(double base, double exponent) {
  const std::int64_t n = TruncToInt(exponent);
  if (n <= 1) return base;
  if (n > 1024) return std::pow(base, static_cast<double>(n));
  double result = base;
  for (std::int64_t i = 1; i < n && std::isfinite(result) && result != 0; ++i) result *= base;
  return result;
}
}  // namespace

TxExpValue TxExpOperator::EvaluateNumeric(const TxExpValue& l, const TxExpValue& r) const {
  const double a = l.number, b = r.number;
  if (IsComparison()) {
    bool result = false;
    switch (op_) {
      case Op::Equal:
        result = a == b;
        break;
      case Op::NotEqual:
        result = a != b;
        break;
      case Op::Greater:
        result = a > b;
        break;
      case Op::Less:
        result = a < b;
        break;
      case Op::GreaterEqual:
        result = a >= b;
        break;
      case Op::LessEqual:
        result = a <= b;
        break;
      default:
        break;
    }
    return TxExpValue::OfBoolean(result);
  }
  double result = 0;
  switch (op_) {
    case Op::Add:
      result = a + b;
      break;
    case Op::Subtract:
      result = a - b;
      break;
    case Op::Multiply:
      result = a * b;
      break;
    case Op::Divide:
      if (b == 0) throw ERunTimeError(a == 0 ? kFloatInvalid : kFloatDivByZero);
      result = a / b;
      break;
    case Op::Power:
      result = Power(a, b);
      break;
    default:
      RequiredButInvalid("assigned");
  }
  CheckFloatResult(result);
  TxExpValue out{r.type, result, false, {}};
  return out;
}

TxExpValue TxExpOperator::EvaluateText(const TxExpValue& l, const TxExpValue& r) const {
  if (IsComparison()) {
    const int c = CompareExpTexts(l.text, r.text, settings_);
    bool result = false;
    switch (op_) {
      case Op::Equal:
        result = c == 0;
        break;
      case Op::NotEqual:
        result = c != 0;
        break;
      case Op::Greater:
        result = c > 0;
        break;
      case Op::Less:
        result = c < 0;
        break;
      case Op::GreaterEqual:
        result = c >= 0;
        break;
      case Op::LessEqual:
        result = c <= 0;
        break;
      default:
        break;
    }
    return TxExpValue::OfBoolean(result);
  }
  switch (op_) {
    case Op::Contains:
      return TxExpValue::OfBoolean(TxTextSearch(l.text).Find(r.text) != std::string::npos);
    case Op::Add:
      return TxExpValue{r.type, 0, false, l.text + r.text};
    case Op::Subtract: {
      // The left operand's trailing blanks move to the end.
      const size_t keep = l.text.find_last_not_of(' ') + 1;  // npos + 1 == 0
      std::string text = l.text.substr(0, keep) + r.text;
      text.resize(l.text.size() + r.text.size(), ' ');
      return TxExpValue{r.type, 0, false, std::move(text)};
    }
    default:
      RequiredButInvalid("assigned");
  }
}

}  // namespace fidora
