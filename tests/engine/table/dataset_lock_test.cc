// Record locks of the dataset against another process: fidora-dbf holding a record lock.
#include <gtest/gtest.h>

#include <chrono>

#include "dataset_fixture.h"
#include "engine/table/dataset_error.h"
#include "support/run_program.h"

namespace fidora::test {
namespace {

std::string Tool() {
  return std::string(FIDORA_BINARY_DIR) + "/tools/dbf/fidora-dbf";
}

TEST(DataSetLocks, EditOfARecordAnotherProcessHoldsFailsAtOnce) {
  TempDir dir;
  BuildTable(dir, "SHOP.DBF", {{"NAME", 'C', 10, 0}});
  TXbDataSet ds;
  Bind(ds, dir, "SHOP");
  ds.Open();
  AppendValues(ds, {{"NAME", "one"}});
  AppendValues(ds, {{"NAME", "two"}});

  ChildProcess holder(Tool(), {"lock", dir.dir() + "SHOP.DBF", "2", "--hold", "30"});
  ASSERT_TRUE(holder.WaitForLine("locked"));

  ds.SetRecNo(2);
  const auto start = std::chrono::steady_clock::now();
  try {
    ds.Edit();
    FAIL() << "edit took a held lock";
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Record is locked by another user");
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(ds.State(), TDataSetState::Browse);
  EXPECT_FALSE(ds.LockRecord());

  // Another record is free, and its lock is paired with Post.
  ds.SetRecNo(1);
  ds.Edit();
  ds.FieldByName("NAME").SetAsString("uno");
  ds.Post();
  EXPECT_EQ(ds.Handler()->lock_count(), 0);
}

}  // namespace
}  // namespace fidora::test
