// Turns expression text into a tree: the scanner alternates between expecting an operand and
// an operator; the parser then lets the operators of each precedence class, from 2 (power) up to
// 8 (OR), take their neighbours, left to right. Parenthesised parts, function arguments and the
// rest of the text after a negation that is not at the beginning are compiled on their own.
#pragma once

#include <string_view>

#include "engine/expr/exp_node.h"

namespace fidora {

// Limits that keep any text, however deep, from exhausting the stack: more nested parts than
// kMaxExpNesting, or a tree taller than kMaxExpTreeHeight, is "Expression cannot be evaluated".
inline constexpr int kMaxExpNesting = 100;
inline constexpr int kMaxExpTreeHeight = 1000;

class TxExpCompiler {
 public:
  // `link` is the table's registry, or nullptr for an expression bound to no table.
  TxExpCompiler(const TxExpUserLink* link, const TxCompareSettings& settings)
      : link_(link), settings_(settings) {}

  // Compiles `text`; nullptr for a text that is empty or blank. Raises EXbExpression (or the
  // date conversion error of a date literal) with nothing left allocated.
  TxExpNode Compile(std::string_view text);
  // Functions, variables and literals in the last compiled text.
  int OperandCount() const { return operandCount_; }

 private:
  TxExpNode CompilePart(std::string_view text, int depth);
  void Scan(std::string_view text, int depth, std::vector<TxExpNode>& items);
  TxExpNode Parse(std::vector<TxExpNode> items);

  size_t ScanOperand(std::string_view text, size_t pos, int depth, std::vector<TxExpNode>& items);
  size_t ScanOperator(std::string_view text, size_t pos, std::vector<TxExpNode>& items);
  size_t ScanFunction(std::string_view text, size_t pos, size_t nameEnd, int depth,
                      std::vector<TxExpNode>& items);
  size_t ScanVariable(std::string_view text, size_t pos, size_t nameEnd,
                      std::vector<TxExpNode>& items);

  const TxExpUserLink* link_;
  TxCompareSettings settings_;
  int operandCount_ = 0;
};

// Removes every alias + "." and alias + "->" (found without regard to case) that starts a name,
// so TRACKER->ACCOUNTNUM becomes ACCOUNTNUM in an expression of table TRACKER.
std::string RemoveAlias(std::string_view text, std::string_view alias);

}  // namespace fidora
