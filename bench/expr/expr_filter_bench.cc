// How many records per second a typical filter evaluates:
// UPPER(SURNAME) = 'SMITH' .AND. DOLLAVAIL > 0 over a table of 100 000 records, read in
// physical order (the way a filtered scan reads them), and on a record already in the buffer.
#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <cstdio>
#include <memory>
#include <random>

#include "engine/dbf/dbf_build.h"
#include "engine/dbf/dbf_fields.h"
#include "engine/expr/dbf_table_access.h"
#include "engine/expr/exp_handler.h"
#include "engine/expr/exp_user_link.h"
#include "support/raw_records.h"
#include "support/temp_dir.h"

namespace fidora {
namespace {

constexpr int kRecords = 100000;
constexpr const char* kFilter = "UPPER(SURNAME) = 'SMITH' .AND. DOLLAVAIL > 0";

// Creates the table with TDbfBuild, then writes the records straight into the file (appending
// them one by one would flush the file 100 000 times).
std::string MakeTable(const test::TempDir& dir) {
  TDbfBuild build(dir.dir() + "TRACKER");
  build.AddField("ACCOUNTNUM", 'C', 16, 0);
  build.AddField("SURNAME", 'C', 20, 0);
  build.AddField("GIVEN", 'C', 15, 0);
  build.AddField("DOLLAVAIL", 'N', 10, 2);
  build.AddField("LST_PU_DTE", 'D', 8, 0);
  build.Build();
  const char* surnames[] = {"Smith",  "SMITH",  "Jones",  "Brown", "smithers",
                            "Taylor", "Wilson", "Nguyen", "Smith", "Walker"};
  std::mt19937 random(7);
  test::AppendRawRecords(build.path(), kRecords, [&](uint32_t i, std::string& out) {
    out += fmt::format(
        " {:<16}{:<20}{:<15}{:>10.2f}{}", fmt::format("A{:09}", i + 1), surnames[random() % 10],
        "Pat", static_cast<double>(static_cast<int>(random() % 20000) - 5000) / 100, "20231231");
  });
  return build.path();
}

struct Fixture {
  test::TempDir dir;
  std::unique_ptr<TDbfFields> table;
  std::unique_ptr<TxDbfTableAccess> access;
  std::unique_ptr<TxExpUserLink> link;
  std::unique_ptr<TxExpHandler> filter;

  Fixture() {
    table = std::make_unique<TDbfFields>(MakeTable(dir), true, false);
    table->Open();
    access = std::make_unique<TxDbfTableAccess>(*table);
    link = std::make_unique<TxExpUserLink>(*access, "TRACKER");
    filter = std::make_unique<TxExpHandler>(link.get(), "TRACKER", kFilter);
  }
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

// A filtered scan: read every record, evaluate the filter on it.
void BM_FilterScan(benchmark::State& state) {
  Fixture& f = Shared();
  std::int64_t matches = 0;
  for (auto _ : state) {
    matches = 0;
    for (bool more = f.table->ReadRecord(kRecFirst); more; more = f.table->ReadRecord(kRecNext)) {
      if (f.filter->Evaluate().logical) ++matches;
    }
    benchmark::DoNotOptimize(matches);
  }
  state.counters["records/s"] = benchmark::Counter(static_cast<double>(kRecords),
                                                   benchmark::Counter::kIsIterationInvariantRate);
  state.counters["matches"] = static_cast<double>(matches);
}
BENCHMARK(BM_FilterScan)->Unit(benchmark::kMillisecond);

// The same scan without the filter: what reading the records costs on its own.
void BM_ScanOnly(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) {
    std::int64_t n = 0;
    for (bool more = f.table->ReadRecord(kRecFirst); more; more = f.table->ReadRecord(kRecNext))
      ++n;
    benchmark::DoNotOptimize(n);
  }
  state.counters["records/s"] = benchmark::Counter(static_cast<double>(kRecords),
                                                   benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ScanOnly)->Unit(benchmark::kMillisecond);

// The filter alone, on a record already in the buffer.
void BM_FilterEvaluate(benchmark::State& state) {
  Fixture& f = Shared();
  f.table->ReadRecord(1);
  for (auto _ : state) benchmark::DoNotOptimize(f.filter->Evaluate());
  state.counters["records/s"] =
      benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_FilterEvaluate);

}  // namespace
}  // namespace fidora
