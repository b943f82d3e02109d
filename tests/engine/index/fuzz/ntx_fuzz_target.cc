// libFuzzer entry: every input is the bytes of an NTX index file over a small table held in
// memory whose key expression is "KEY" (and FOR condition "FOR"). The file is opened, walked
// forwards and backwards through the order, searched, checked against the table, then a key
// is added and one changed and the order walked again. Engine errors (EXbError) are the
// expected outcome of bad input; anything else (a crash, a hang, another exception) is a fault.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/dbf/xb_error.h"
#include "engine/index/model_table.h"
#include "engine/index/ntx_check.h"
#include "engine/index/ntx_file.h"

namespace fidora::test {
namespace {

constexpr int kMaxSteps = 2000;

ModelTable SmallTable() {
  ModelTable t(IndexKeyValue::Text(std::string(10, ' ')));
  for (char c = 'A'; c <= 'T'; ++c)
    t.records.push_back(Rec(std::string(1 + (c % 3), c), c % 4 != 0));
  return t;
}

template <class F>
void Tolerate(F&& f) {
  try {
    f();
  } catch (const EXbError&) {
  }
}

void Walk(TNtxTag& tag, bool backwards) {
  int steps = 0;
  for (uint32_t r = tag.ReadKey(backwards ? TxReadMode::kLast : TxReadMode::kFirst);
       r != 0 && ++steps < kMaxSteps;
       r = tag.ReadKey(backwards ? TxReadMode::kPrevious : TxReadMode::kNext)) {
  }
}

void Exercise(ModelTable& table, TNtxFile& file) {
  TNtxTag& tag = file.Tag();
  Tolerate([&] { Walk(tag, false); });
  Tolerate([&] { Walk(tag, true); });
  for (const char* key : {"A", "CC", "M", "ZZZ", ""}) {
    table.exact = !table.exact;
    Tolerate([&] { tag.SeekKey(key); });
    Tolerate([&] { tag.LookupKey(key); });
  }
  table.current = 3;
  Tolerate([&] { tag.HoldsRecord(3); });
  Tolerate([&] { tag.SyncRecord(3); });
  (void)CheckNtxAgainstTable(file.Storage(), table);
  Tolerate([&] { table.Append(Rec("NEW"), {&file}); });
  Tolerate([&] { table.Edit(2, Rec("BB2"), {&file}); });
  Tolerate([&] { Walk(tag, false); });
}

}  // namespace
}  // namespace fidora::test

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fidora;
  test::ModelTable table = test::SmallTable();
  auto storage = std::make_unique<TMemoryIndexStorage>("fuzz.ntx");
  storage->bytes().assign(data, data + size);
  (void)WalkNtx(*storage);
  try {
    auto file = TNtxFile::Open(table, std::move(storage), "fuzz.ntx");
    test::Exercise(table, *file);
  } catch (const EXbError&) {
  }
  return 0;
}
