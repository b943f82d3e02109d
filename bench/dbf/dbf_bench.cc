// Sequential record reads and appends on a table of 100 000 records.
#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/dbf/dbf_build.h"
#include "engine/dbf/dbf_fields.h"
#include "support/raw_records.h"
#include "support/temp_dir.h"

namespace fidora {
namespace {

constexpr uint32_t kRecords = 100000;

// A shopper-like table of kRecords records, written in bulk (appending them one by one
// would flush 100 000 times).
class BenchTable {
 public:
  BenchTable() {
    TDbfBuild b(dir_.dir() + "bench");
    b.AddField("NUMBER", 'C', 16, 0);
    b.AddField("NAME", 'C', 30, 0);
    b.AddField("DOLLAVAIL", 'N', 12, 4);
    b.AddField("LST_PU_DTE", 'D', 0, 0);
    b.AddField("ACTIVE", 'L', 0, 0);
    b.Build();
    path_ = b.path();
    TDbfFields t(path_, false, true);
    t.Open();
    const uint32_t len = t.record_length();
    std::vector<char> chunk;
    for (uint32_t n = 1; n <= kRecords; ++n) {
      t.BlankRecord();
      t.SetFieldText(1, fmt::format("{:016d}", n));
      t.SetFieldText(2, fmt::format("Shopper number {}", n));
      t.SetNumber(3, n * 0.25);
      t.SetDate(4, 2460000 + n % 1000);
      t.SetLogical(5, n % 2 == 0);
      chunk.insert(chunk.end(), t.record_buffer(), t.record_buffer() + len);
    }
    t.Close();
    test::AppendRawRecords(path_, kRecords, [&](uint32_t i, std::string& out) {
      out.append(chunk.data() + size_t{i} * len, len);
    });
  }
  const std::string& path() const { return path_; }

 private:
  test::TempDir dir_;
  std::string path_;
};

const BenchTable& Table() {
  static const BenchTable table;
  return table;
}

void BM_SequentialRead(benchmark::State& state) {
  TDbfFields t(Table().path(), true, false);
  t.Open();
  uint64_t records = 0;
  for (auto _ : state) {
    bool more = t.ReadRecord(kRecFirst);
    while (more) {
      ++records;
      more = t.ReadRecord(kRecNext);
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(records));
}
BENCHMARK(BM_SequentialRead)->Unit(benchmark::kMillisecond);

// Reading every record and turning every field into its display text.
void BM_SequentialReadFields(benchmark::State& state) {
  TDbfFields t(Table().path(), true, false);
  t.Open();
  uint64_t records = 0;
  size_t bytes = 0;
  for (auto _ : state) {
    for (bool more = t.ReadRecord(kRecFirst); more; more = t.ReadRecord(kRecNext)) {
      for (int i = 1; i <= t.FieldCount(); ++i) bytes += t.FieldText(i).size();
      ++records;
    }
  }
  benchmark::DoNotOptimize(bytes);
  state.SetItemsProcessed(static_cast<int64_t>(records));
}
BENCHMARK(BM_SequentialReadFields)->Unit(benchmark::kMillisecond);

// Appends to the 100 000-record table, shared (header lock, header write and flush to disk
// for every record, as every append does).
void BM_Append(benchmark::State& state) {
  TDbfFields t(Table().path(), state.range(0) != 0, true);
  t.Open();
  t.SetLockProtocol(TxLokProtocol::ClipLock);
  for (auto _ : state) {
    t.BlankRecord();
    t.SetFieldText(1, "9999999999999999");
    t.SetFieldText(2, "Appended shopper");
    t.SetNumber(3, 12.5);
    t.AppendRecord();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  state.counters["records"] = t.record_count();
}
BENCHMARK(BM_Append)->Arg(1)->Arg(0)->ArgName("shared")->UseRealTime()->Unit(
    benchmark::kMicrosecond);

}  // namespace
}  // namespace fidora
