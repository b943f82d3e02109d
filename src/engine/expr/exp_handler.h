// TxExpHandler: one compiled expression, bound to a table's registry (or to none). It keeps the
// compare settings its operators use, evaluates on the table's current record buffer, and gives
// index keys as TxVariant values. Not reentrant: the last result type is kept in it.
#pragma once

#include <string>

#include "engine/expr/exp_node.h"
#include "engine/expr/xvariant.h"

namespace fidora {

class TxExpUserLink;

// A value as text, the way the table tool shows results: texts as they are, numbers in general
// notation (12.5), dates as dd/mm/yyyy (blanks for no date), logicals as T or F.
std::string ExpValueText(const TxExpValue& value);

class TxExpHandler {
 public:
  TxExpHandler() = default;
  // Compiles at once; see Create.
  TxExpHandler(const TxExpUserLink* link, const std::string& alias, const std::string& text);

  // Binds to `link` (nullptr: no table) and compiles `text` after removing `alias` + "." and
  // `alias` + "->". An empty text gives no tree. Raises EXbExpression on a compile error.
  void Create(const TxExpUserLink* link, const std::string& alias, const std::string& text);
  // Settings for the next Recompile: case-insensitive (default off), partial compare (default on).
  void SetCompareSettings(bool caseInsensitive, bool partialCompare);
  void Recompile(const std::string& text);

  bool HasTree() const { return tree_ != nullptr; }
  const TxExpBaseObject* Tree() const { return tree_.get(); }
  const TxExpUserLink* Link() const { return link_; }
  const std::string& Text() const { return text_; }

  // The value on the current record; the type is kept as ResultType(). No tree: Unknown.
  TxExpValue Evaluate();
  // For index keys: Text -> text, Number and DateTime -> number, Date -> day number, Boolean ->
  // logical; any other type leaves `out` unchanged and gives Unknown. No tree: empty text.
  TxExpType EvaluateInto(TxVariant& out);
  TxExpType ResultType() const { return resultType_; }

  std::string Render() const;
  // Names of the nodes of one kind (16 named variables, 17 table fields), each followed by ";".
  std::string ListNames(int kind) const;
  int OperandCount() const { return operandCount_; }

 private:
  const TxExpUserLink* link_ = nullptr;
  std::string alias_;
  std::string text_;
  TxCompareSettings settings_;
  TxExpNode tree_;
  TxExpType resultType_ = TxExpType::Unknown;
  int operandCount_ = 0;
};

}  // namespace fidora
