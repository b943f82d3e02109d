// libFuzzer entry: every input is the bytes of a DBF table (header, field descriptors,
// records). The table is opened from memory, every record and field is read in every typed
// way, then a record is appended and written back. Engine errors (EXbError) are the expected
// outcome of bad input; anything else (a crash, a hang, another exception) is a fault.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/dbf/dbf_fields.h"
#include "engine/dbf/xb_error.h"
#include "support/memory_file_io.h"

namespace fidora::test {
namespace {

// Enough records and fields to reach every path; more only slows the fuzzer down.
constexpr uint32_t kMaxRecords = 8;
constexpr int kMaxFields = 64;
const char* const kTable = "/fuzz/T.DBF";

// A memo file with one text at block 1, so that memo fields have something to read.
std::vector<uint8_t> SmallMemo() {
  std::vector<uint8_t> memo(1024, 0);
  memo[0] = 2;
  const std::string text = "a memo text\x1A\x1A";
  std::copy(text.begin(), text.end(), memo.begin() + 512);
  return memo;
}

template <class F>
void Tolerate(F&& f) {
  try {
    f();
  } catch (const EXbError&) {
  }
}

void ReadEveryField(TDbfFields& t) {
  for (int f = 1; f <= std::min(t.FieldCount(), kMaxFields); ++f) {
    (void)t.FieldRaw(f);
    (void)t.FieldName(f);
    Tolerate([&] { (void)t.FieldText(f); });
    Tolerate([&] { (void)t.GetNumber(f); });
    Tolerate([&] { (void)t.GetDate(f); });
    Tolerate([&] { (void)t.GetLogical(f); });
  }
}

void ReadTable(MemoryFileIo& io) {
  TDbfFields t(kTable, false, false, io);
  t.Open();
  const uint32_t count = std::min(t.record_count(), kMaxRecords);
  for (uint32_t n = 1; n <= count; ++n) {
    if (!t.ReadRecord(n)) break;
    ReadEveryField(t);
  }
  Tolerate([&] { t.ReadRecord(kRecLast); });
}

void WriteTable(MemoryFileIo& io) {
  TDbfFields t(kTable, false, true, io);
  t.Open();
  t.BlankRecord();
  for (int f = 1; f <= std::min(t.FieldCount(), kMaxFields); ++f)
    Tolerate([&] { t.SetFieldText(f, "1"); });
  const uint32_t n = t.AppendRecord();
  t.ReadRecord(n);
  ReadEveryField(t);
  t.WriteRecord(n);
}

}  // namespace
}  // namespace fidora::test

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fidora;
  test::MemoryFileIo io(1 << 20);
  io.files[test::kTable].assign(data, data + size);
  io.files["/fuzz/T.dbt"] = test::SmallMemo();
  try {
    test::ReadTable(io);
  } catch (const EXbError&) {
    return 0;
  }
  try {
    test::WriteTable(io);
  } catch (const EXbError&) {
  }
  return 0;
}
