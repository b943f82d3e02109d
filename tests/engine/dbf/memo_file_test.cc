// DBT memo files: block allocation and reuse, the end bytes, the read limit, zap, and the
// memo lock between two opens.
#include "engine/dbf/memo_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/dbf/dbf_build.h"
#include "engine/dbf/dbf_fields.h"
#include "engine/dbf/xb_error.h"
#include "support/file_bytes.h"
#include "support/temp_dir.h"

namespace fidora {
namespace {

using test::FileBytes;
using test::U32;

class MemoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TDbfBuild b(dir_.dir() + "cust");
    b.AddField("CODE", 'C', 4, 0);
    b.AddField("NOTE", 'M', 0, 0);
    b.Build();
    path_ = b.path();
    t_ = std::make_unique<TDbfFields>(path_, true, true);
    t_->Open();
    t_->SetLockProtocol(TxLokProtocol::ClipLock);
  }
  std::vector<uint8_t> Dbt() { return FileBytes(dir_ / "cust.dbt"); }
  std::string Field() { return std::string(t_->FieldRaw(2)); }

  test::TempDir dir_;
  std::string path_;
  std::unique_ptr<TDbfFields> t_;
};

TEST_F(MemoTest, BlocksAreTakenReusedAndMoved) {
  t_->BlankRecord();
  t_->SetMemo(2, std::string(510, 'a'));  // 510 + 2 end bytes: exactly one block
  EXPECT_EQ(Field(), "         1");
  t_->AppendRecord();
  auto dbt = Dbt();
  EXPECT_EQ(U32(dbt, 0), 2u);
  ASSERT_EQ(dbt.size(), 1024u);
  EXPECT_EQ(dbt[512 + 509], 'a');
  EXPECT_EQ(dbt[512 + 510], 0x1A);
  EXPECT_EQ(dbt[512 + 511], 0x1A);

  t_->BlankRecord();
  t_->SetMemo(2, std::string(511, 'b'));  // 513 bytes: blocks 2 and 3
  EXPECT_EQ(Field(), "         2");
  t_->AppendRecord();
  dbt = Dbt();
  EXPECT_EQ(U32(dbt, 0), 4u);
  ASSERT_EQ(dbt.size(), 2048u);
  EXPECT_EQ(dbt[1024 + 511], 0x1A);
  EXPECT_EQ(dbt[1536], 0x1A);
  EXPECT_EQ(dbt[1537], 0);

  ASSERT_TRUE(t_->ReadRecord(2));
  t_->SetMemo(2, std::string(100, 'c'));  // fits the old blocks
  EXPECT_EQ(Field(), "         2");
  t_->WriteRecord(2);
  EXPECT_EQ(U32(Dbt(), 0), 4u);
  EXPECT_EQ(t_->GetMemo(2), std::string(100, 'c'));

  t_->SetMemo(2, std::string(1500, 'd'));  // does not: goes to the end
  EXPECT_EQ(Field(), "         4");
  t_->WriteRecord(2);
  EXPECT_EQ(U32(Dbt(), 0), 7u);
  EXPECT_EQ(t_->GetMemo(2), std::string(1500, 'd'));
  ASSERT_TRUE(t_->ReadRecord(1));
  EXPECT_EQ(t_->GetMemo(2), std::string(510, 'a'));
  EXPECT_EQ(t_->FieldText(2), std::string(510, 'a'));
}

TEST_F(MemoTest, EmptyTextStoresZero) {
  t_->BlankRecord();
  t_->SetMemo(2, "");
  EXPECT_EQ(Field(), "         0") << "no memo: nothing written, the field gets 0";
  EXPECT_EQ(U32(Dbt(), 0), 1u);
  t_->SetFieldText(2, "some text");
  EXPECT_EQ(Field(), "         1");
  t_->SetMemo(2, "");
  EXPECT_EQ(Field(), "         0");
  EXPECT_EQ(t_->GetMemo(2), "");
  auto dbt = Dbt();
  EXPECT_EQ(dbt[512], 0x1A) << "the old block holds only the end bytes";
  EXPECT_EQ(dbt[513], 0x1A);
}

TEST_F(MemoTest, ReadStopsAtTheLimitWithoutEndBytes) {
  TMemoFile& memo = t_->Memo();
  const std::string huge(70000, 'x');
  memo.Write(huge.data(), huge.size(), 512);
  EXPECT_EQ(memo.MemoLength(1), TMemoFile::kMaxRead);
  EXPECT_EQ(memo.ReadMemo(1).size(), 65519u);
  char small[10];
  EXPECT_EQ(memo.ReadMemo(1, small, sizeof small), 10u);
  EXPECT_EQ(memo.MemoLength(0), 0u);
}

TEST_F(MemoTest, ZapResetsToTheHeader) {
  t_->BlankRecord();
  t_->SetMemo(2, "text");
  t_->AppendRecord();
  TMemoFile& memo = t_->Memo();
  EXPECT_THROW(memo.Reset(), EXbError) << "a shared memo file needs the full lock";
  t_->Close();
  TMemoFile x(dir_.dir() + "CUST.DBT", false, true);
  x.Open();
  x.Reset();
  x.Close();
  const auto dbt = Dbt();
  ASSERT_EQ(dbt.size(), 512u);
  EXPECT_EQ(U32(dbt, 0), 1u);
}

TEST(MemoFile, CopyStyleFileIsTheHeaderAlone) {
  test::TempDir dir;
  TMemoFile memo(dir.dir() + "copy.dbt", false, true);
  memo.CreateMemo("COPY", false);
  EXPECT_EQ(memo.Size(), 512u);
  EXPECT_EQ(memo.WriteMemo(0, "abc"), 1u);
  EXPECT_EQ(memo.ReadMemo(1), "abc");
  EXPECT_EQ(memo.NextFreeBlock(), 2u);
}

TEST_F(MemoTest, MemoLockKeepsWritersApart) {
  TDbfFields other(path_, true, true);
  other.Open();
  other.SetLockProtocol(TxLokProtocol::ClipLock);
  other.BlankRecord();
  other.SetMemo(2, "first");  // opens the memo file of the second table object
  // The first object takes the memo lock byte itself: the other's write must give up.
  TMemoFile& memo = t_->Memo();
  memo.OsLockRetried(MemoLockRange(TxLokProtocol::ClipLock));
  other.Memo().set_lock_timing(100, 50);
  EXPECT_THROW(other.SetMemo(2, "second"), EXbError);
  EXPECT_EQ(std::string(other.FieldRaw(2)), "         1") << "the field stays as it was";
  memo.OsUnlock(MemoLockRange(TxLokProtocol::ClipLock));
  other.SetMemo(2, "second");
  EXPECT_EQ(other.GetMemo(2), "second");
}

TEST_F(MemoTest, MissingMemoFileIsReported) {
  t_->Close();
  std::filesystem::remove(dir_ / "cust.dbt");
  TDbfFields t(path_, true, true);
  t.Open();
  t.BlankRecord();
  try {
    t.SetMemo(2, "x");
    FAIL() << "no error";
  } catch (const EXbError& e) {
    EXPECT_EQ(std::string(e.what()), "File " + dir_.dir() + "cust.dbt could not be found");
  }
}

}  // namespace
}  // namespace fidora
