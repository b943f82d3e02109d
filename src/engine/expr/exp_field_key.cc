#include "engine/expr/exp_field_key.h"

#include "engine/dbf/ansi_case.h"
#include "engine/expr/exp_user_link.h"
#include "engine/expr/udf_library.h"

namespace fidora {

namespace {

const TxExpBaseObject* WithoutParentheses(const TxExpBaseObject* node) {
  while (node && dynamic_cast<const TxExpContainer*>(node)) node = node->Left();
  return node;
}

bool IsLibraryFunction(const TxExpFunction& call, const char* name) {
  return &call.Function() == TxFunctionReg::Global().Find(name).get();
}

// A number literal's value, or nullopt for any other node.
std::optional<double> LiteralNumber(const TxExpBaseObject* node) {
  if (!dynamic_cast<const TxExpNumLit*>(node)) return std::nullopt;
  return node->Evaluate().number;
}

}  // namespace

std::optional<TxFieldKey> TxFieldKey::Recognise(const TxExpHandler& expression) {
  if (!expression.Link() || !expression.HasTree()) return std::nullopt;
  TxFieldKey key(expression.Link()->Table());
  if (!key.Collect(expression.Tree())) return std::nullopt;
  key.converted_.resize(key.parts_.size());
  return key;
}

// The field a node reads when it is a field of the table of the given type, else 0.
int TxFieldKey::FieldOf(const TxExpBaseObject* node, char type) const {
  const auto* var = dynamic_cast<const TxExpFieldvar*>(WithoutParentheses(node));
  if (!var) return 0;
  const auto* field = dynamic_cast<const TxlDBFFieldVars*>(&var->Variable());
  if (!field || table_->FieldType(field->Field()) != type) return 0;
  return field->Field();
}

bool TxFieldKey::Collect(const TxExpBaseObject* node) {
  node = WithoutParentheses(node);
  if (const auto* op = dynamic_cast<const TxExpOperator*>(node)) {
    return op->Operator() == TxExpOperator::Op::Add && op->Left() && op->Right() &&
           Collect(op->Left()) && Collect(op->Right());
  }
  if (const auto* call = dynamic_cast<const TxExpFunction*>(node)) return CollectCall(*call);
  const int field = FieldOf(node, 'C');
  if (field == 0) return false;
  parts_.push_back({Kind::kField, field});
  return true;
}

bool TxFieldKey::CollectCall(const TxExpFunction& call) {
  if (IsLibraryFunction(call, "UPPER") || IsLibraryFunction(call, "DTOS")) {
    const bool upper = IsLibraryFunction(call, "UPPER");
    const int field = call.ArgCount() == 1 ? FieldOf(call.ArgNode(1), upper ? 'C' : 'D') : 0;
    if (field == 0) return false;
    parts_.push_back({upper ? Kind::kUpper : Kind::kDtos, field});
    return true;
  }
  if (!IsLibraryFunction(call, "STR") || call.ArgCount() > 3) return false;
  int field = FieldOf(call.ArgNode(1), 'N');
  if (field == 0) field = FieldOf(call.ArgNode(1), 'F');
  if (field == 0) return false;
  Part part{Kind::kStr, field, &call};
  // As STR reads them: without a width the decimals are 0 whatever is given.
  for (int k = 2; k <= call.ArgCount(); ++k) {
    if (!call.HasArg(k)) continue;
    const std::optional<double> value = LiteralNumber(call.ArgNode(k));
    if (!value) return false;
    if (k == 2) part.width_given = true;
    (k == 2 ? part.width : part.decimals) = TruncToInt(*value);
  }
  if (!part.width_given) part.decimals = 0;
  parts_.push_back(part);
  return true;
}

std::string TxFieldKey::Converted(const Part& part) const {
  if (part.kind == Kind::kDtos) return udf::DtosText(table_->FieldDayNumber(part.field));
  const double x = table_->FieldNumber(part.field);
  return udf::FormatStr(x, part.width_given ? part.width : udf::DefaultStrWidth(*part.call),
                        part.decimals);
}

void TxFieldKey::Evaluate(std::string& out) const {
  // The conversions that can fail, right to left as the evaluator meets them.
  for (size_t i = parts_.size(); i-- > 0;)
    if (parts_[i].kind == Kind::kDtos || parts_[i].kind == Kind::kStr)
      converted_[i] = Converted(parts_[i]);
  out.clear();
  for (size_t i = 0; i < parts_.size(); ++i) {
    const Part& part = parts_[i];
    switch (part.kind) {
      case Kind::kField:
        out += table_->FieldBytes(part.field);
        break;
      case Kind::kUpper:
        AppendAnsiUpper(out, table_->FieldBytes(part.field));
        break;
      default:
        out += converted_[i];
        break;
    }
  }
}

}  // namespace fidora
