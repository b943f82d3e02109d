// The expression tree. Every node has an optional left and right child, a declared width and
// decimals count (used by STR for fields and number literals) and evaluates to a TxExpValue.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/expr/exp_registry.h"
#include "engine/expr/exp_value.h"

namespace fidora {

class TxExpUserLink;

// Settings every operator node gets from its compiled expression.
struct TxCompareSettings {
  bool caseInsensitive = false;
  bool partialCompare = true;
  char wildcardAny = '*';
  char wildcardOne = '?';
};

class TxExpBaseObject;
using TxExpNode = std::unique_ptr<TxExpBaseObject>;

class TxExpBaseObject {
 public:
  virtual ~TxExpBaseObject() = default;

  virtual std::string NameText() const = 0;
  // -1 for everything but variables (16 named variable, 17 table field).
  virtual int Kind() const { return -1; }
  virtual std::string Render() const = 0;
  // Appends the name of every node of `kind` in this subtree, each followed by ";".
  virtual void ListNames(int kind, std::string& out) const;
  virtual TxExpValue Evaluate() const = 0;

  int Width() const { return width_; }
  int Decimals() const { return decimals_; }
  // Nodes on the longest path down from this one, this one included.
  int Height() const { return height_; }
  const TxExpBaseObject* Left() const { return left_.get(); }
  const TxExpBaseObject* Right() const { return right_.get(); }

 protected:
  void SetChildren(TxExpNode left, TxExpNode right);
  void UpdateHeight(int childHeight);

  TxExpNode left_, right_;
  int width_ = 0;
  int decimals_ = 0;
  int height_ = 1;
};

// A parenthesised sub-expression.
class TxExpContainer final : public TxExpBaseObject {
 public:
  explicit TxExpContainer(TxExpNode inner);
  std::string NameText() const override { return "()"; }
  std::string Render() const override;
  TxExpValue Evaluate() const override;
};

// A call: the function object and its argument nodes (nullptr for an argument left out).
class TxExpFunction final : public TxExpBaseObject {
 public:
  TxExpFunction(std::shared_ptr<const TxUserDefFunction> function, std::vector<TxExpNode> args,
                const TxExpUserLink* link);
  std::string NameText() const override { return function_->Name(); }
  std::string Render() const override;
  void ListNames(int kind, std::string& out) const override;
  TxExpValue Evaluate() const override { return function_->Evaluate(*this); }

  // Arguments are numbered from 1. A missing argument evaluates as type Empty.
  int ArgCount() const { return static_cast<int>(args_.size()); }
  bool HasArg(int k) const;
  const TxExpBaseObject* ArgNode(int k) const;
  TxExpValue ArgAny(int k) const;
  // Evaluates argument k and raises "%s needed for Argument %d of %s" unless its type
  // satisfies `needed` (the numeric family counts as one type).
  TxExpValue Arg(int k, TxExpType needed) const;
  double NumberArg(int k) const { return Arg(k, TxExpType::Number).number; }
  std::string TextArg(int k) const { return Arg(k, TxExpType::Text).text; }
  const TxExpUserLink* Link() const { return link_; }
  const TxUserDefFunction& Function() const { return *function_; }

 private:
  std::shared_ptr<const TxUserDefFunction> function_;
  std::vector<TxExpNode> args_;
  const TxExpUserLink* link_;
};

class TxExpFieldvar final : public TxExpBaseObject {
 public:
  explicit TxExpFieldvar(std::shared_ptr<const TxUserDefFieldVar> variable);
  std::string NameText() const override { return variable_->FirstName(); }
  int Kind() const override { return variable_->Kind(); }
  std::string Render() const override { return variable_->FirstName(); }
  TxExpValue Evaluate() const override { return variable_->Evaluate(); }
  const TxUserDefFieldVar& Variable() const { return *variable_; }

 private:
  std::shared_ptr<const TxUserDefFieldVar> variable_;
};

class TxExpOperator final : public TxExpBaseObject {
 public:
  enum class Op {
    Power,
    Multiply,
    Divide,
    Add,
    Subtract,
    Equal,
    NotEqual,
    Greater,
    Less,
    GreaterEqual,
    LessEqual,
    Contains,
    Not,
    And,
    Or,
  };

  TxExpOperator(Op op, const TxCompareSettings& settings);
  // 2 power; 3 multiply, divide; 4 add, subtract; 5 comparisons; 6 NOT; 7 AND; 8 OR.
  static int Precedence(Op op);

  Op Operator() const { return op_; }
  int PrecedenceClass() const { return Precedence(op_); }
  bool Taken() const { return taken_; }
  // Gives the operator its operands (either may be nullptr).
  void Take(TxExpNode left, TxExpNode right);

  std::string NameText() const override;
  std::string Render() const override;
  TxExpValue Evaluate() const override;

 private:
  TxExpValue EvaluateLogical(const TxExpValue& l, const TxExpValue& r) const;
  TxExpValue EvaluateNumeric(const TxExpValue& l, const TxExpValue& r) const;
  TxExpValue EvaluateText(const TxExpValue& l, const TxExpValue& r) const;
  bool IsComparison() const;
  bool IsArithmetic() const;

  Op op_;
  TxCompareSettings settings_;
  bool taken_ = false;
};

class TxExpTextLit final : public TxExpBaseObject {
 public:
  explicit TxExpTextLit(std::string text);
  std::string NameText() const override { return text_; }
  std::string Render() const override { return "\"" + text_ + "\""; }
  TxExpValue Evaluate() const override { return TxExpValue::OfText(text_); }

 private:
  std::string text_;
};

class TxExpNumLit final : public TxExpBaseObject {
 public:
  // `literal` is the literal as written; its length and digits after "." are the declared
  // width and decimals.
  TxExpNumLit(double value, const std::string& literal);
  std::string NameText() const override { return Render(); }
  std::string Render() const override;
  TxExpValue Evaluate() const override { return TxExpValue::OfNumber(value_); }

 private:
  double value_;
};

class TxExpDateLit final : public TxExpBaseObject {
 public:
  explicit TxExpDateLit(std::int32_t dayNumber);
  std::string NameText() const override { return Render(); }
  std::string Render() const override;
  TxExpValue Evaluate() const override { return TxExpValue::OfDate(dayNumber_); }

 private:
  std::int32_t dayNumber_;
};

class TxExpBlnLit final : public TxExpBaseObject {
 public:
  explicit TxExpBlnLit(bool value) : value_(value) { width_ = 1; }
  std::string NameText() const override { return Render(); }
  std::string Render() const override { return value_ ? ".T." : ".F."; }
  TxExpValue Evaluate() const override { return TxExpValue::OfBoolean(value_); }

 private:
  bool value_;
};

}  // namespace fidora
