#include "expr_fuzz_target.h"

#include <string>

#include "engine/dbf/xb_error.h"
#include "engine/expr/exp_handler.h"
#include "engine/expr/exp_user_link.h"
#include "engine/expr/memory_table.h"
#include "engine/expr/rtl_error.h"
#include "engine/expr/xvariant.h"

namespace fidora::test {
namespace {

MemoryTable MakeSmallTable() {
  MemoryTable t({{"ACCOUNTNUM", 'C', 10, 0},
                 {"SURNAME", 'C', 20, 0},
                 {"DOLLAVAIL", 'N', 10, 2},
                 {"SALEDATE", 'D', 8, 0},
                 {"ACTIVE", 'L', 1, 0},
                 {"NOTE", 'M', 10, 0},
                 {"CODE", 'X', 4, 0}});
  t.Append({"A1", "SMITH", "12.50", "20231231", "T", "", "ab"});
  t.SetMemo(6, "a memo text");
  t.Append({"", "", "", "", "", "", ""}, true);
  t.Append({"B2", "jones", "-3", "19991231", "F", "", ""});
  return t;
}

MemoryTable& SmallTable() {
  static MemoryTable table = MakeSmallTable();
  return table;
}

const TxExpUserLink& SmallTableLink() {
  static const TxExpUserLink link(SmallTable(), "TRACKER");
  return link;
}

void CompileAndEvaluate(const std::string& text, const TxExpUserLink* link, bool caseInsensitive,
                        bool partialCompare) {
  TxExpHandler handler;
  handler.SetCompareSettings(caseInsensitive, partialCompare);
  try {
    handler.Create(link, "TRACKER", text);
  } catch (const EXbError&) {
    return;
  } catch (const ERunTimeError&) {
    return;
  }
  (void)handler.Render();
  (void)handler.ListNames(17);
  for (std::int64_t recno = 1; recno <= 3; ++recno) {
    SmallTable().Go(recno);
    try {
      TxVariant key;
      handler.EvaluateInto(key);
      (void)key.AsText();
      (void)ExpValueText(handler.Evaluate());
    } catch (const EXbError&) {
    } catch (const ERunTimeError&) {
    }
  }
}

}  // namespace

void FuzzOneExpression(std::string_view text) {
  const std::string expression(text);
  CompileAndEvaluate(expression, &SmallTableLink(), false, true);
  CompileAndEvaluate(expression, &SmallTableLink(), true, false);
  CompileAndEvaluate(expression, nullptr, false, true);
}

}  // namespace fidora::test
