// TxFieldKey: a compiled expression recognised as fields of its table joined by "+", each part
// one of: a C field as stored, UPPER of a C field, DTOS of a D field, STR of an N or F field
// (with a width and decimals given as number literals, or none). Parentheses may stand anywhere.
//
// Such a key's text is put together straight from the record buffer, by the same conversions
// the functions use (case folding, the date codec, STR's formatting), without the tree's
// intermediate values: the text is byte for byte what evaluating the tree gives, and a part
// that cannot be converted raises the error the evaluator raises (the evaluator takes the
// operands of "+" right to left, so the rightmost failing part is the one reported).
// Every other expression is not recognised; its caller evaluates the tree.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/expr/exp_handler.h"
#include "engine/expr/table_access.h"

namespace fidora {

class TxFieldKey {
 public:
  // The key form of the expression, or nullopt when it is not of that form. The expression
  // (its tree) must outlive the result.
  static std::optional<TxFieldKey> Recognise(const TxExpHandler& expression);

  // The text of the table's current record into out.
  void Evaluate(std::string& out) const;

 private:
  enum class Kind { kField, kUpper, kDtos, kStr };
  struct Part {
    Kind kind = Kind::kField;
    int field = 0;
    const TxExpFunction* call = nullptr;  // STR: for the width it takes when given none
    bool width_given = false;
    std::int64_t width = 0, decimals = 0;
  };

  explicit TxFieldKey(const TxTableAccess& table) : table_(&table) {}
  bool Collect(const TxExpBaseObject* node);
  bool CollectCall(const TxExpFunction& call);
  int FieldOf(const TxExpBaseObject* node, char type) const;
  std::string Converted(const Part& part) const;

  const TxTableAccess* table_;
  std::vector<Part> parts_;                     // left to right
  mutable std::vector<std::string> converted_;  // DTOS and STR texts of the current record
};

}  // namespace fidora
