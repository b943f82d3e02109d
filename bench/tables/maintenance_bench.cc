// Maintenance figures on a shop of 100 000 shoppers and a 1 000 000-row purchase log (every
// index file built): the quick index check of every start, the general reindex, and the
// deletion run of old records (the older half of the log) with its pack. FIDORA_BENCH_SHOP=DIR
// keeps the shop in DIR (made there when DIR does not exist) for the next run, or names one
// made by `fidora-dbf demo --shoppers 100000 --log-rows 1000000`; the runs work on a copy.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

#include "engine/table/table_handler.h"
#include "protocol/server_settings.h"
#include "support/service_shop.h"
#include "support/temp_dir.h"
#include "tables/data_module.h"
#include "tables/general_reindex.h"
#include "tables/index_check.h"
#include "tables/maintenance_events.h"
#include "tables/old_records.h"

namespace fidora {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kShoppers = 100000, kLogRows = 1000000;

class TQuietEvents : public TMaintenanceEvents {
 public:
  void Progress(std::string_view) override {}
  void Message(std::string_view, std::string_view) override {}
  void Log(std::string_view) override {}
};

// The shop, made once per process: `pristine` stays as made, `work` is what the runs change.
struct TBenchShop {
  test::TempDir dir;
  fs::path pristine = dir / "pristine";
  fs::path work = dir / "work";
  TBenchShop() {
    if (const char* given = std::getenv("FIDORA_BENCH_SHOP")) pristine = given;
    if (!fs::exists(pristine)) {
      fs::create_directory(pristine);
      test::WriteServiceShop(pristine.string() + "/", kShoppers, kLogRows);
    }
    Reset();
  }
  void Reset() {
    fs::remove_all(work);
    fs::copy(pristine, work, fs::copy_options::recursive);
    ServerSettings().DataPath = work.string() + "/";
  }
};

TBenchShop& Shop() {
  static TBenchShop shop;
  return shop;
}

void BM_QuickIndexCheck(benchmark::State& state) {
  Shop();
  TDM dm{SystemFileIo()};
  dm.SetDataPath();
  TQuietEvents events;
  for (auto _ : state)
    if (CheckServiceIndexes(dm, events)) state.SkipWithError("the shop's indexes were not sound");
}
BENCHMARK(BM_QuickIndexCheck)->Unit(benchmark::kMillisecond)->Repetitions(5);

void BM_GeneralReindex(benchmark::State& state) {
  Shop();
  TDM dm{SystemFileIo()};
  dm.SetDataPath();
  TQuietEvents events;
  for (auto _ : state)
    if (!ReindexGeneralData(dm, events).empty()) state.SkipWithError("the reindex failed");
}
BENCHMARK(BM_GeneralReindex)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

// The sale date of the log's middle record: the cut-off that deletes about half of it.
int64_t MiddleSaleDate(const fs::path& shop) {
  TTableHandler log((shop / "TRACKLOG.DBF").string(), true, false);
  log.Open();
  log.ReadRecord(log.record_count() / 2 + 1);
  return log.GetDate(log.FieldNo("SALEDATE"));
}

// Deletes the older half of the log and packs it, on a fresh copy each time.
void BM_DeleteOldRecords(benchmark::State& state) {
  TBenchShop& shop = Shop();
  TQuietEvents events;
  const int64_t cutoff = MiddleSaleDate(shop.pristine);
  for (auto _ : state) {
    state.PauseTiming();
    shop.Reset();
    state.ResumeTiming();
    DeleteOldRecords(shop.work.string(), cutoff, events);
  }
}
BENCHMARK(BM_DeleteOldRecords)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

}  // namespace
}  // namespace fidora
