// Index figures on real files: building an index of 1 000 000 keys (UPPER of a 16-character
// field; a 24-character compound key), seeking a key, looking a key up in a named tag, reading
// in index order, and an edit that changes the keys of six open indexes.
#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <filesystem>
#include <memory>
#include <random>

#include "engine/dbf/ansi_case.h"
#include "engine/dbf/dbf_build.h"
#include "engine/table/table_handler.h"
#include "support/raw_records.h"
#include "support/temp_dir.h"

namespace fidora {
namespace {

constexpr int kRecords = 1000000;

// NAME C 16, NUM N 8 0, DAY D: records written straight into the file.
struct BigTable {
  test::TempDir dir;
  std::string path;
  std::vector<std::string> names;

  explicit BigTable(int records) {
    TDbfBuild build(dir.dir() + "big");
    build.AddField("NAME", 'C', 16, 0);
    build.AddField("NUM", 'N', 8, 0);
    build.AddField("DAY", 'D', 8, 0);
    build.Build();
    path = build.path();
    std::mt19937 rng(5);
    test::AppendRawRecords(path, static_cast<uint32_t>(records), [&](uint32_t, std::string& out) {
      std::string name;
      for (int c = 0; c < 12; ++c)
        name += static_cast<char>("abcdefghijklmnopqrstuvwxyz"[rng() % 26]);
      names.push_back(name);
      out += fmt::format(" {:<16}{:>8}{:04d}{:02d}{:02d}", name, rng() % 100000, 1990 + rng() % 30,
                         1 + rng() % 12, 1 + rng() % 28);
    });
  }

  std::unique_ptr<TTableHandler> Open() {
    auto t = std::make_unique<TTableHandler>(path, false, true);
    t->Open();
    t->SetLockProtocol(TxLokProtocol::ClipLock);
    return t;
  }
};

BigTable& Million() {
  static BigTable table(kRecords);
  return table;
}

void BuildIndex(benchmark::State& state, const std::string& key) {
  BigTable& big = Million();
  auto t = big.Open();
  for (auto _ : state) t->IndexOn(big.dir.dir() + "bench.ntx", "", key, "", false, true);
  state.counters["keys/s"] =
      benchmark::Counter(static_cast<double>(kRecords) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
}

void BM_BuildUpper16(benchmark::State& state) {
  BuildIndex(state, "UPPER(NAME)");
}
void BM_BuildCompound24(benchmark::State& state) {
  BuildIndex(state, "UPPER(NAME)+DTOS(DAY)");
}

void BM_Seek(benchmark::State& state) {
  BigTable& big = Million();
  auto t = big.Open();
  t->IndexOn(big.dir.dir() + "seek.ntx", "", "UPPER(NAME)", "", false, true);
  t->OpenIndexes("seek.ntx", "SEEK");
  std::mt19937 rng(9);
  size_t found = 0;
  for (auto _ : state) {
    const std::string key = AnsiUpperCase(big.names[rng() % big.names.size()]);
    found += t->Find(key) ? 1 : 0;
  }
  if (static_cast<benchmark::IterationCount>(found) != state.iterations())
    state.SkipWithError("a key was not found");
}

// The handler's order on UPPER(NAME) of the million records.
std::unique_ptr<TTableHandler> OpenNameOrder(BigTable& big) {
  auto t = big.Open();
  const std::string file = big.dir.dir() + "order.ntx";
  if (!std::filesystem::exists(file)) t->IndexOn(file, "", "UPPER(NAME)", "", false, true);
  t->OpenIndexes("order.ntx", "ORDER");
  return t;
}

void BM_LookupInTag(benchmark::State& state) {
  BigTable& big = Million();
  auto t = OpenNameOrder(big);
  std::mt19937 rng(9);
  size_t found = 0;
  for (auto _ : state) {
    const std::string key = AnsiUpperCase(big.names[rng() % big.names.size()]);
    found += t->SeekInTag("ORDER", key) != 0 ? 1 : 0;
  }
  if (static_cast<benchmark::IterationCount>(found) != state.iterations())
    state.SkipWithError("a key was not found");
}

// One step of a read in index order (the next record by key).
void BM_OrderedRead(benchmark::State& state) {
  BigTable& big = Million();
  auto t = OpenNameOrder(big);
  t->ReadRecord(kRecFirst);
  for (auto _ : state)
    if (!t->ReadRecord(kRecNext)) t->ReadRecord(kRecFirst);
  state.counters["records/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_EditSixIndexes(benchmark::State& state) {
  BigTable& big = Million();
  auto t = big.Open();
  const char* keys[] = {"UPPER(NAME)",           "NUM",           "DTOS(DAY)", "NAME+STR(NUM,8)",
                        "UPPER(NAME)+DTOS(DAY)", "DTOS(DAY)+NAME"};
  std::string list;
  for (int i = 0; i < 6; ++i) {
    t->IndexOn(big.dir.dir() + fmt::format("six{}.ntx", i), "", keys[i], "", false, true);
    list += fmt::format("six{}.ntx;", i);
  }
  t->OpenIndexes(list, "SIX0");
  std::mt19937 rng(3);
  for (auto _ : state) {
    const auto r = static_cast<uint32_t>(1 + rng() % kRecords);
    t->ReadRecord(r);
    t->SetFieldText("NAME", fmt::format("edit{:012d}", rng()));
    t->SetFieldText("NUM", std::to_string(rng() % 100000));
    t->SetFieldText(
        "DAY", fmt::format("{:02d}/{:02d}/{}", 1 + rng() % 28, 1 + rng() % 12, 2000 + rng() % 20));
    t->WriteRecord(r);
  }
}

BENCHMARK(BM_BuildUpper16)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_BuildCompound24)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Seek)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LookupInTag)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OrderedRead)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EditSixIndexes)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace fidora
