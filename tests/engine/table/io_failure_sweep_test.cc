// Every I/O call of an operation made to fail, one after another, in the manner of SQLite's
// I/O-error tests: for k = 1, 2, ... the k-th call fails (once, or from then on), until the
// operation runs to its end without reaching call k. After each failure the error must have
// reached the caller as one of the engine's own messages, no record the table held before
// may be lost, and the table and every index must open and pass the check: a failure that
// passes (one call) leaves everything right; one that lasts may leave an index marked invalid,
// which is then rebuilt from its own header, or without the entry of the record being
// appended, which the next append completes.
#include <gtest/gtest.h>

#include <iostream>
#include <regex>

#include "crash_fixture.h"

namespace fidora::test {
namespace {

using Mode = CallCountingIo::Mode;

// The engine's messages for what the operating system refused.
bool SystemMessage(const std::string& text) {
  static const std::regex kMessages(
      "Error -?\\d+ in (Read|Write|FileSeek) of file /.+ at block \\d+"
      "|Error on Flush for file /.+|Error getting FileSize for file /.+"
      "|Error on Rename of file /.+|Error in Truncate of file /.+|Error in Unlock of file /.+"
      "|Access denied to file /.+|Can not Lock file .+|Error on Read of file /.+"
      "|File /.+ could not be found|CopyFile requires full access to file /.+"
      "|Index file .+ is corrupted");
  return std::regex_match(text, kMessages);
}

struct Operation {
  std::string name;
  bool memo_table = false;
  // Runs the operation on the shop in dir with its I/O through io.
  std::function<void(const std::string& dir, FileIo& io)> run;
  // The records the table may hold afterwards: as before, or as after the operation.
  std::function<std::vector<std::string>(std::vector<std::string>)> after;
};

std::unique_ptr<TTableHandler> OpenWithIndexes(const std::string& dir, FileIo& io,
                                               bool exclusive = false) {
  auto t = OpenShop(dir, io, exclusive);
  t->OpenIndexes("NAMES.NTX;NUMS.NTX", "NAMES");
  return t;
}

std::vector<Operation> Operations() {
  const auto same = [](std::vector<std::string> r) { return r; };
  return {
      {"append", false,
       [](const std::string& dir, FileIo& io) { AppendRow(*OpenWithIndexes(dir, io), "NEW", 3); },
       [](std::vector<std::string> r) {
         r.push_back("NEW/    3");
         return r;
       }},
      {"record write", false,
       [](const std::string& dir, FileIo& io) {
         auto t = OpenWithIndexes(dir, io);
         t->ReadRecord(5);
         t->SetFieldText("NAME", "CHANGED");
         t->SetFieldText("NUM", "41");
         t->WriteRecord(5);
       },
       [](std::vector<std::string> r) {
         r[4] = "CHANGED/   41";
         return r;
       }},
      {"pack", false,
       [](const std::string& dir, FileIo& io) { OpenWithIndexes(dir, io, true)->Pack(); },
       [](std::vector<std::string> r) {
         std::erase_if(r, [](const std::string& s) { return s[0] == '*'; });
         return r;
       }},
      {"pack with memo texts", true,
       [](const std::string& dir, FileIo& io) { OpenWithIndexes(dir, io, true)->Pack(); },
       [](std::vector<std::string> r) {
         std::erase_if(r, [](const std::string& s) { return s[0] == '*'; });
         return r;
       }},
      {"reindex", false,
       [](const std::string& dir, FileIo& io) { OpenWithIndexes(dir, io)->Reindex(); }, same},
      {"IndexOn", false,
       [](const std::string& dir, FileIo& io) {
         OpenShop(dir, io)->IndexOn(dir + "NAMES.NTX", "", "UPPER(NAME)", "", false, true);
       },
       same},
      {"CopyFile", true,
       [](const std::string& dir, FileIo& io) { OpenWithIndexes(dir, io)->CopyFile(dir + "COPY"); },
       same},
      {"memo write", true,
       [](const std::string& dir, FileIo& io) {
         auto t = OpenWithIndexes(dir, io);
         t->ReadRecord(6);
         t->SetMemo(t->FieldNo("NOTE"), std::string(900, 'w'));
         t->WriteRecord(6);
       },
       [](std::vector<std::string> r) {
         r[5] = r[5].substr(0, r[5].rfind('/') + 1) + std::string(900, 'w');
         return r;
       }},
  };
}

class IoFailureSweep : public ::testing::Test {
 protected:
  void SetUp() override {
    CrashShop::Build(plain_, kRecords);
    CrashShop::Build(memo_, kMemoRecords, /*with_memo=*/true);
  }

  std::string Fresh(const Operation& op) {
    CopyFiles((op.memo_table ? memo_ : plain_).path(), runs_ / "run");
    return (runs_ / "run").string() + "/";
  }

  // Sweeps one operation in one mode; returns the failure points swept.
  int Sweep(const Operation& op, Mode mode) {
    const std::vector<std::string> before = Records(Fresh(op));
    const std::vector<std::string> done = op.after(before);
    for (int64_t k = 1;; ++k) {
      SCOPED_TRACE(op.name + (mode == Mode::kFailOnce ? ": call " : ": calls from ") +
                   std::to_string(k) + " failing");
      const std::string dir = Fresh(op);
      CallCountingIo io;
      io.Arm(mode, k);
      std::string error;
      try {
        op.run(dir, io);
      } catch (const EXbError& e) {
        error = e.what();
        EXPECT_NE(e.kind(), XbErrorKind::kOther) << error;
      }
      if (!io.fired()) {
        EXPECT_EQ(error, "") << "the operation ran to its end";
        EXPECT_EQ(Records(dir), done);
        return static_cast<int>(k - 1);
      }
      if (!error.empty()) {
        EXPECT_TRUE(SystemMessage(error)) << error;
      }
      const std::vector<std::string> records = Records(dir);
      EXPECT_TRUE(records == before || records == done)
          << (error.empty() ? "completed" : error)
          << ": the table is neither as before nor as after";
      ExpectIndexesRight(dir, mode, error);
      if (op.name == "CopyFile") {
        // A copy is there whole, or not at all (unless the failure lasts: then it cannot be
        // removed either).
        const bool copied = std::filesystem::exists(dir + "COPY.dbf");
        if (error.empty()) {
          EXPECT_TRUE(copied);
        }
        if (copied && (error.empty() || mode == Mode::kFailOnce)) {
          try {
            EXPECT_EQ(Records(dir, "COPY.dbf"), Live(before));
          } catch (const EXbError& e) {
            ADD_FAILURE() << "the copy left behind (" << error << ") does not open: " << e.what();
          }
        }
      }
    }
  }

  // A passing failure leaves every index right; a lasting one may leave an index invalid
  // (rebuilt from its header) or without the last record's entry (completed by an append).
  void ExpectIndexesRight(const std::string& dir, Mode mode, const std::string& error) {
    bool lacking = false;
    for (const std::string& index : CrashShop::kIndexes) {
      IndexVerdict v = Inspect(dir, index);
      if (v.invalid) {
        EXPECT_EQ(mode, Mode::kFailFromThen)
            << index << " left invalid by a passing failure (" << error << ")";
        OpenShop(dir, SystemFileIo())->ReindexFile(dir + index);
        v = Inspect(dir, index);
      }
      if (!v.problems.empty() && mode == Mode::kFailFromThen) {
        lacking = true;
        continue;
      }
      EXPECT_TRUE(v.problems.empty()) << index << ": " << v.problems.front();
    }
    if (!lacking) return;
    AppendRow(*OpenWithIndexes(dir, SystemFileIo()), "NEXT", 1);
    for (const std::string& index : CrashShop::kIndexes) {
      const IndexVerdict v = Inspect(dir, index);
      EXPECT_TRUE(v.problems.empty()) << index << " after the next append: " << v.problems.front();
    }
  }

  static std::vector<std::string> Live(std::vector<std::string> r) {
    std::erase_if(r, [](const std::string& s) { return s[0] == '*'; });
    return r;
  }

  // Enough records for a tree of two levels; the memo table copies a memo per I/O call or so.
  static constexpr uint32_t kRecords = 300;
  static constexpr uint32_t kMemoRecords = 40;
  TempDir plain_, memo_, runs_;
};

TEST_F(IoFailureSweep, EveryCallOfEveryOperationFails) {
  int total = 0;
  for (const Operation& op : Operations()) {
    const int once = Sweep(op, Mode::kFailOnce);
    const int lasting = Sweep(op, Mode::kFailFromThen);
    std::cout << op.name << ": " << once << " calls failed once, " << lasting
              << " failed from then on\n";
    total += once + lasting;
  }
  std::cout << total << " failure points swept\n";
}

}  // namespace
}  // namespace fidora::test
