#include "engine/expr/exp_user_link.h"

#include "engine/dbf/xb_error.h"
#include "engine/expr/exp_node.h"
#include "engine/expr/exp_text.h"

namespace fidora {

TxlDBFFieldVars::TxlDBFFieldVars(const TxTableAccess& table, int field, std::string names)
    : TxUserDefFieldVar(std::move(names), table.FieldLength(field), table.FieldDecimals(field)),
      table_(table),
      field_(field),
      type_(table.FieldType(field)) {}

TxExpValue TxlDBFFieldVars::Evaluate() const {
  switch (type_) {
    case 'C':
      return TxExpValue::OfText(std::string(table_.FieldBytes(field_)));
    case 'D':
      return TxExpValue::OfDate(table_.FieldDayNumber(field_));
    case 'F':
    case 'I':
    case 'N':
    case 'Y':
      return TxExpValue::OfNumber(table_.FieldNumber(field_));
    case 'L':
      return TxExpValue::OfBoolean(table_.FieldLogical(field_));
    case 'M':
      return TxExpValue::OfText(table_.FieldMemo(field_));
    default:
      return TxExpValue{TxExpType::Memo, 0, false, std::string(table_.FieldBytes(field_))};
  }
}

namespace {
// RECNO(), DELETED(), BOF(), EOF(): the table's position and the buffer's deletion flag.
class TxlDBFRecNo final : public TxUserDefFunction {
 public:
  explicit TxlDBFRecNo(const TxTableAccess& t) : TxUserDefFunction("RECNO"), table_(t) {}
  TxExpValue Evaluate(const TxExpFunction&) const override {
    return TxExpValue::OfNumber(static_cast<double>(table_.RecNo()));
  }

 private:
  const TxTableAccess& table_;
};

class TxlDBFDeleted final : public TxUserDefFunction {
 public:
  explicit TxlDBFDeleted(const TxTableAccess& t) : TxUserDefFunction("DELETED"), table_(t) {}
  TxExpValue Evaluate(const TxExpFunction&) const override {
    return TxExpValue::OfBoolean(table_.IsDeleted());
  }

 private:
  const TxTableAccess& table_;
};

class TxlDBFBOF final : public TxUserDefFunction {
 public:
  explicit TxlDBFBOF(const TxTableAccess& t) : TxUserDefFunction("BOF"), table_(t) {}
  TxExpValue Evaluate(const TxExpFunction&) const override {
    return TxExpValue::OfBoolean(table_.IsBof());
  }

 private:
  const TxTableAccess& table_;
};

class TxlDBFEOF final : public TxUserDefFunction {
 public:
  explicit TxlDBFEOF(const TxTableAccess& t) : TxUserDefFunction("EOF"), table_(t) {}
  TxExpValue Evaluate(const TxExpFunction&) const override {
    return TxExpValue::OfBoolean(table_.IsEof());
  }

 private:
  const TxTableAccess& table_;
};

// TYPE(name): the field's type letter; an unknown name is a field error of the table.
class TxlDBFType final : public TxUserDefFunction {
 public:
  explicit TxlDBFType(const TxExpUserLink& l) : TxUserDefFunction("TYPE"), link_(l) {}
  TxExpValue Evaluate(const TxExpFunction& call) const override {
    const std::string name = UpperText(call.TextArg(1));
    const int field = link_.FieldNumber(name);
    if (field == 0) {
      throw EXbError(XbErrorKind::kNotFound,
                     "There is no field name " + link_.Table().FilePath() + "->" + name);
    }
    return TxExpValue::OfText(std::string(1, link_.Table().FieldType(field)));
  }

 private:
  const TxExpUserLink& link_;
};

// FIELDNO(name): the field's number from 1, 0 when there is none.
class TxlDBFFieldNo final : public TxUserDefFunction {
 public:
  explicit TxlDBFFieldNo(const TxExpUserLink& l) : TxUserDefFunction("FIELDNO"), link_(l) {}
  TxExpValue Evaluate(const TxExpFunction& call) const override {
    return TxExpValue::OfNumber(link_.FieldNumber(UpperText(call.TextArg(1))));
  }

 private:
  const TxExpUserLink& link_;
};
}  // namespace

TxExpUserLink::TxExpUserLink(const TxTableAccess& table, const std::string& alias, FileIo& io)
    : table_(table), io_(io) {
  const std::string upperAlias = UpperText(alias);
  for (int field = 1; field <= table.FieldCount(); ++field) {
    const std::string name = UpperText(TrimRight(table.FieldName(field)));
    std::string names = name;
    if (!upperAlias.empty()) names += ";" + upperAlias + "." + name;
    variables_.Add(std::make_shared<TxlDBFFieldVars>(table, field, names));
  }
  functions_.Add(std::make_shared<TxlDBFRecNo>(table));
  functions_.Add(std::make_shared<TxlDBFDeleted>(table));
  functions_.Add(std::make_shared<TxlDBFBOF>(table));
  functions_.Add(std::make_shared<TxlDBFEOF>(table));
  functions_.Add(std::make_shared<TxlDBFType>(*this));
  functions_.Add(std::make_shared<TxlDBFFieldNo>(*this));
}

std::shared_ptr<const TxUserDefFieldVar> TxExpUserLink::FindVariable(
    const std::string& upperName) const {
  if (auto variable = variables_.Find(upperName)) return variable;
  if (upperName.size() > 10) return variables_.Find(upperName.substr(0, 10));
  return nullptr;
}

std::shared_ptr<const TxUserDefFunction> TxExpUserLink::FindFunction(
    const std::string& upperName) const {
  return functions_.Find(upperName);
}

int TxExpUserLink::FieldNumber(const std::string& name) const {
  const std::string wanted = UpperText(TrimRight(name));
  for (int field = 1; field <= table_.FieldCount(); ++field) {
    if (UpperText(TrimRight(table_.FieldName(field))) == wanted) return field;
  }
  return 0;
}

}  // namespace fidora
