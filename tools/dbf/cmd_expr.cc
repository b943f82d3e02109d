// Expressions on tables: "dump --filter EXPR" keeps the records for which EXPR is true, and
// "eval TABLE EXPR [--recno N]" prints EXPR's result type and value for each live record (or
// for record N) as Type¦value.
#include <iostream>
#include <memory>

#include "engine/dbf/xb_error.h"
#include "engine/expr/dbf_table_access.h"
#include "engine/expr/exp_handler.h"
#include "engine/expr/exp_user_link.h"
#include "tools/dbf/command.h"
#include "tools/dbf/dump.h"
#include "tools/dbf/table_access.h"
#include "tools/dbf/text_coding.h"

namespace fidora::tool {
namespace {

// An expression compiled against an open table, with the table's registry it resolves in.
class BoundExpression {
 public:
  BoundExpression(TDbfFields& table, const std::string& text)
      : access_(table), link_(access_, table.table_name()) {
    handler_.Create(&link_, table.table_name(), StoredFromInput(text));
  }
  TxExpValue Evaluate() { return handler_.Evaluate(); }

 private:
  TxDbfTableAccess access_;
  TxExpUserLink link_;
  TxExpHandler handler_;
};

void AddFilterOption(CommandRegistry& registry) {
  DumpExtension filter;
  filter.options = {{"--filter", true}};
  filter.usage = "[--filter EXPR]";
  filter.prepare = [](DumpPlan& plan) {
    if (!plan.args->Has("--filter")) return;
    auto expression = std::make_shared<BoundExpression>(*plan.table, plan.args->Value("--filter"));
    plan.filters.push_back([expression](TDbfFields&) {
      const TxExpValue result = expression->Evaluate();
      if (result.type != TxExpType::Boolean) {
        throw EXbExpression("Filter expression must return boolean result");
      }
      return result.logical;
    });
  };
  AddDumpExtension(registry, std::move(filter));
}

void PrintResult(const TxExpValue& value) {
  std::cout << ExpTypeName(value.type) << kBar << ShownFromStored(ExpValueText(value)) << '\n';
}

int Eval(const std::vector<std::string>& args) {
  const ParsedArgs a = ParseArgs(args, {{"--recno", true}});
  if (a.positional.size() != 2) throw UsageError("eval needs TABLE EXPR");
  auto table = OpenTable(a.positional[0], false);
  BoundExpression expression(*table, a.positional[1]);
  if (a.Has("--recno")) {
    ReadExisting(*table, ParseRecno(a.Value("--recno")));
    PrintResult(expression.Evaluate());
  } else {
    for (bool more = table->ReadRecord(kRecFirst); more; more = table->ReadRecord(kRecNext)) {
      if (!table->IsDeleted()) PrintResult(expression.Evaluate());
    }
  }
  std::cout.flush();
  return 0;
}

}  // namespace

void RegisterExpressionCommands(CommandRegistry& registry) {
  AddFilterOption(registry);
  registry.Add({"eval", "eval TABLE EXPR [--recno N]",
                "the expression's result type and value, \"Type¦value\", for each live record "
                "or for record N",
                Eval});
}

}  // namespace fidora::tool
