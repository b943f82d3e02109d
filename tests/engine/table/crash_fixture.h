// What the crash tests share: a shop table with two indexes, copies of it for each run, the
// engine's work run in a child process whose I/O is cut at a chosen call, and the verdict on
// the files left behind.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/dbf/xb_error.h"
#include "engine/table/table_handler.h"
#include "support/call_counting_io.h"
#include "table_fixture.h"

namespace fidora::test {

// SHOP.DBF: NAME C 16 ("N0001" ...), NUM N 5 (record number mod 97, many equal keys), DAY D
// (and NOTE M with memo texts, with_memo); every 7th record deleted. NAMES.NTX on
// "UPPER(NAME)", NUMS.NTX on "NUM".
struct CrashShop {
  static constexpr uint32_t kRecords = 2000;
  static inline const std::vector<std::string> kIndexes = {"NAMES.NTX", "NUMS.NTX"};

  static std::string Name(uint32_t i) { return fmt::format("N{:04}", i); }

  static void Build(const TempDir& dir, uint32_t records = kRecords, bool with_memo = false) {
    const std::string path = MakeTable(dir, "SHOP", with_memo);
    TTableHandler t(path, false, true);
    if (with_memo) {
      t.Open();
      for (uint32_t i = 1; i <= records; ++i) {
        AppendRow(t, Name(i), static_cast<int>(i % 97));
        if (i % 3 == 0) {
          t.SetMemo(t.FieldNo("NOTE"), fmt::format("memo of {} {}", i, std::string(i % 700, 'm')));
          t.WriteRecord(i);
        }
      }
    } else {
      std::vector<std::pair<std::string, int>> rows;
      for (uint32_t i = 1; i <= records; ++i) rows.emplace_back(Name(i), static_cast<int>(i % 97));
      FillTable(path, rows);
      t.Open();
    }
    for (uint32_t i = 7; i <= records; i += 7) {
      t.ReadRecord(i);
      t.Delete();
    }
    t.IndexOn(dir.dir() + "NAMES.NTX", "", "UPPER(NAME)", "", false, true);
    t.IndexOn(dir.dir() + "NUMS.NTX", "", "NUM", "", false, true);
  }
};

inline void CopyFiles(const std::filesystem::path& from, const std::filesystem::path& to) {
  std::filesystem::remove_all(to);
  std::filesystem::create_directories(to);
  for (const auto& e : std::filesystem::directory_iterator(from))
    std::filesystem::copy_file(e.path(), to / e.path().filename());
}

// The table opened shared, Clipper protocol, through io.
inline std::unique_ptr<TTableHandler> OpenShop(const std::string& dir, FileIo& io,
                                               bool exclusive = false) {
  auto t = std::make_unique<TTableHandler>(dir + "SHOP.DBF", !exclusive, true, io);
  t->Open();
  t->SetLockProtocol(TxLokProtocol::ClipLock);
  return t;
}

// The table's live and deleted records as "NAME/NUM" (a "*" before a deleted one; "/" and
// the memo text after, when the table has one).
inline std::vector<std::string> Records(const std::string& dir,
                                        const std::string& table = "SHOP.DBF") {
  TTableHandler t(dir + table, true, false);
  t.Open();
  const int note = t.FieldIndex("NOTE");
  std::vector<std::string> out;
  for (uint32_t n = 1; n <= t.record_count(); ++n) {
    t.TDbfFile::ReadRecord(n);
    out.push_back((t.IsDeleted() ? "*" : "") + t.FieldText("NAME") + "/" + t.FieldText("NUM") +
                  (note ? "/" + t.GetMemo(note) : ""));
  }
  return out;
}

// How an index file stands against the table beside it.
struct IndexVerdict {
  bool invalid = false;               // opens as "Index file %s is corrupted"
  std::vector<std::string> problems;  // of an index that opened: its check against the table
};

inline IndexVerdict Inspect(const std::string& dir, const std::string& index) {
  IndexVerdict v;
  auto t = OpenShop(dir, SystemFileIo());
  try {
    t->OpenIndex(dir + index);
  } catch (const EXbError& e) {
    EXPECT_EQ(e.kind(), XbErrorKind::kCorrupted) << e.what();
    v.invalid = true;
    return v;
  }
  TIndexDiskStorage storage(dir + index, true, false, false);
  v.problems = CheckNtxAgainstTable(storage, t->IndexView());
  return v;
}

// What the child reports: each acknowledged item, then (for a counting run) the I/O calls.
struct ChildRun {
  bool killed = false;
  std::vector<std::string> acknowledged;
  int64_t calls = 0;
};

using ChildWork = std::function<void(FileIo& io, const std::function<void(std::string)>& ack)>;

// Runs work in a child process with its I/O armed as asked (kCount: only counts). The child
// tells each item it got done (ack) through a pipe.
inline ChildRun RunInChild(const ChildWork& work, CallCountingIo::Mode mode, int64_t at = 0,
                           unsigned torn = 0) {
  int fds[2];
  if (::pipe(fds) != 0) throw std::runtime_error("pipe");
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    CallCountingIo io;
    io.Arm(mode, at, torn);
    auto ack = [&](std::string line) {
      line += '\n';
      (void)!::write(fds[1], line.data(), line.size());
    };
    int status = 0;
    try {
      work(io, ack);
    } catch (...) {
      status = 3;
    }
    ack("calls " + std::to_string(io.calls()));
    ::_exit(status);
  }
  ::close(fds[1]);
  std::string text;
  char buf[4096];
  ssize_t n;
  while ((n = ::read(fds[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ChildRun run;
  run.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  EXPECT_TRUE(run.killed || (WIFEXITED(status) && WEXITSTATUS(status) == 0))
      << "the work failed without being killed (status " << status << ")";
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = text.substr(start, end - start);
    if (line.rfind("calls ", 0) == 0)
      run.calls = std::stoll(line.substr(6));
    else
      run.acknowledged.push_back(line);
  }
  return run;
}

}  // namespace fidora::test
