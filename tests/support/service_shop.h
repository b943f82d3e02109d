// Fixture tables of the frequent-shopper service, written straight into their files so that
// large ones are quick: CLUB.DBF, TRACKLOG.DBF and TRACKER.DBF with the columns the general
// reindex keys on and their index files built by the engine, VOUCHERS.DBF and TRACKCHLOG.DBF.
// Tests that use it link fidora_tables.
#pragma once

#include <fmt/format.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/dbf/dbf_build.h"
#include "engine/dbf/dbf_date.h"
#include "engine/index/index_disk_storage.h"
#include "engine/index/ntx_check.h"
#include "engine/table/table_handler.h"
#include "support/raw_records.h"
#include "tables/general_reindex.h"

namespace fidora::test {

struct Column {
  std::string name;
  char type;
  uint32_t length, decimals;
};

inline const std::vector<Column> kClubColumns = {
    {"CLUB", 'C', 10, 0}, {"CLUBDESC", 'C', 30, 0}, {"CLUBPTS", 'N', 6, 0}};
inline const std::vector<Column> kLogColumns = {{"ACCOUNTNUM", 'C', 16, 0},
                                                {"SALEDATE", 'D', 8, 0},
                                                {"DOCKET", 'C', 10, 0},
                                                {"AMOUNT", 'N', 10, 2}};
// TRACKER.DBF as older installations have it: without EMAIL and OFFER.
inline const std::vector<Column> kOldTrackerColumns = {
    {"ACCOUNTNUM", 'C', 16, 0}, {"SURNAME", 'C', 25, 0}, {"FIRSTNAME", 'C', 20, 0},
    {"ADDR1", 'C', 35, 0},      {"ADDR2", 'C', 35, 0},   {"PHONE", 'C', 15, 0},
    {"DOLLAVAIL", 'N', 10, 2},  {"EXP_DATE", 'D', 8, 0}, {"DELIVERY", 'C', 35, 0},
    {"OFFRITEM", 'N', 4, 0}};
inline std::vector<Column> TrackerColumns() {
  std::vector<Column> columns = kOldTrackerColumns;
  columns.push_back({"EMAIL", 'C', 45, 0});
  columns.push_back({"OFFER", 'C', 2, 0});
  return columns;
}

// One stored record: the deletion flag, then each value padded to its column (numbers to the
// right, everything else to the left).
inline std::string StoredRecord(const std::vector<Column>& columns,
                                const std::vector<std::string>& values, bool deleted = false) {
  std::string record(1, deleted ? '*' : ' ');
  for (size_t i = 0; i < columns.size(); ++i) {
    const Column& c = columns[i];
    std::string value = i < values.size() ? values[i] : "";
    if (c.type == 'M') value.clear();
    value.resize(std::min<size_t>(value.size(), c.length));
    const std::string pad(c.length - value.size(), ' ');
    record += (c.type == 'N' || c.type == 'M') ? pad + value : value + pad;
  }
  return record;
}

// Creates the table and writes `count` records: row(i) gives the values, deleted(i) whether
// the record is marked deleted.
inline void WriteTable(const std::string& path, const std::vector<Column>& columns, uint32_t count,
                       const std::function<std::vector<std::string>(uint32_t)>& row,
                       const std::function<bool(uint32_t)>& deleted = nullptr) {
  TDbfBuild build(path);
  for (const Column& c : columns) build.AddField(c.name, c.type, c.length, c.decimals);
  build.Build();
  if (count == 0) return;
  AppendRawRecords(path, count, [&](uint32_t i, std::string& out) {
    out += StoredRecord(columns, row(i), deleted && deleted(i));
  });
}

inline std::string Day(int year, int month, int day) {
  return TxDBFDate::Instance().DayToField(TxDBFDate::EncodeDay(year, month, day));
}

inline std::string ShopperNumber(uint32_t i) {
  return std::to_string(100000 + i);
}

// A purchase-log row: shopper i % shoppers, one day per `per_day` rows from 1 January 2024.
inline std::vector<std::string> LogRow(uint32_t i, uint32_t shoppers = 1000,
                                       uint32_t per_day = 100) {
  const int64_t day = TxDBFDate::EncodeDay(2024, 1, 1) + i / per_day;
  return {ShopperNumber(i % shoppers), TxDBFDate::Instance().DayToField(day), fmt::format("D{}", i),
          fmt::format("{}.{:02}", i % 500, i % 100)};
}

inline std::vector<std::string> TrackerRow(uint32_t i) {
  return {ShopperNumber(i),
          fmt::format("Surname{}", (i * 7919) % 100000),
          fmt::format("First{}", i % 97),
          fmt::format("{} High Street", i % 300),
          "Riverside",
          fmt::format("04{:08}", i),
          fmt::format("{}.{:02}", i % 90, i % 100),
          Day(2027, 1, 1),
          "",
          std::to_string(i % 10),
          fmt::format("s{}@example.com", i),
          ""};
}

// Builds the index files of one service table with the engine.
inline void BuildIndexes(const std::string& directory, const TGeneralIndexTable& table) {
  TTableHandler handler(directory + table.table, true, true);
  handler.Open();
  for (const TGeneralIndex& index : table.indexes)
    handler.IndexOn(directory + index.file, "", index.key, "", false, true);
  handler.Close();
}

inline const TGeneralIndexTable& ServiceTable(const std::string& name) {
  for (const TGeneralIndexTable& table : GeneralIndexTables())
    if (name == table.table) return table;
  throw std::invalid_argument(name);
}

// A whole service shop: `shoppers` shoppers, `log_rows` purchase-log rows, three clubs, every
// index file, and empty voucher and number-change tables: nothing for the structure check and
// the index check of a start to do.
inline void WriteServiceShop(const std::string& directory, uint32_t shoppers, uint32_t log_rows) {
  WriteTable(directory + "CLUB.DBF", kClubColumns, 3, [](uint32_t i) {
    static const char* const names[] = {"GOLD", "SILVER", "STAFF"};
    return std::vector<std::string>{names[i], "members", std::to_string(10 * (i + 1))};
  });
  WriteTable(directory + "VOUCHERS.DBF",
             {{"SELLDATE", 'D', 8, 0}, {"NUMBER", 'C', 16, 0}, {"AMOUNT", 'N', 8, 2}}, 0, {});
  WriteTable(directory + "TRACKCHLOG.DBF",
             {{"DATE", 'D', 8, 0},
              {"OLD_NUMBER", 'C', 16, 0},
              {"NEW_NUMBER", 'C', 16, 0},
              {"CLERK", 'C', 20, 0}},
             0, {});
  WriteTable(directory + "TRACKLOG.DBF", kLogColumns, log_rows,
             [shoppers](uint32_t i) { return LogRow(i, shoppers); });
  WriteTable(directory + "TRACKER.DBF", TrackerColumns(), shoppers, TrackerRow);
  for (const TGeneralIndexTable& table : GeneralIndexTables()) BuildIndexes(directory, table);
}

// What is wrong with an index file against its table (empty when sound), read by the engine's
// independent tree walker.
inline std::vector<std::string> IndexProblems(const std::string& table_path,
                                              const std::string& ntx_path) {
  TTableHandler table(table_path, true, false);
  table.Open();
  TIndexDiskStorage storage(ntx_path, true, false, false);
  return CheckNtxAgainstTable(storage, table.IndexView());
}

}  // namespace fidora::test
