// Two real processes on one table and index: one appends while the other navigates. The
// navigator sees the writer's keys through the version counter and never loses its place.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

#include "engine/dbf/xb_error.h"
#include "support/file_bytes.h"
#include "table_fixture.h"

namespace fidora::test {
namespace {

struct Pipe {
  int fd[2] = {-1, -1};
  Pipe() { EXPECT_EQ(pipe(fd), 0); }
  ~Pipe() {
    close(fd[0]);
    close(fd[1]);
  }
  void Signal() { EXPECT_EQ(write(fd[1], "x", 1), 1); }
  void Wait() {
    char c;
    EXPECT_EQ(read(fd[0], &c, 1), 1);
  }
};

std::string Key(int i) {
  return fmt::format("K{:04d}", i);
}

// The writer: appends the odd keys, then (after the second signal) many more keys.
[[noreturn]] void Writer(const std::string& path, Pipe& go, Pipe& done) {
  int status = 0;
  try {
    go.Wait();
    auto t = OpenHandler(path, true);
    t->OpenIndexes("keys.ntx", "KEYS");
    for (int i = 1; i < 100; i += 2) AppendRow(*t, Key(i), i);
    done.Signal();
    go.Wait();
    for (int i = 100; i < 400; ++i) AppendRow(*t, Key(i), i);
    t->Close();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "writer: %s\n", e.what());
    status = 1;
  }
  done.Signal();
  _exit(status);
}

TEST(TwoProcesses, ReaderSeesTheWritersKeysAndKeepsItsPlace) {
  TempDir dir;
  const std::string path = MakeTable(dir, "shared");
  std::vector<std::pair<std::string, int>> rows;
  for (int i = 0; i < 100; i += 2) rows.emplace_back(Key(i), i);
  FillTable(path, rows);
  {
    auto t = OpenHandler(path);
    t->IndexOn(dir.dir() + "keys.ntx", "", "NAME", "", false, true);
  }
  Pipe go, done;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) Writer(path, go, done);

  auto t = OpenHandler(path, true);
  t->OpenIndexes("keys.ntx", "KEYS");
  ASSERT_TRUE(t->ReadRecord(kRecFirst));
  t->Skip(1);
  EXPECT_EQ(t->FieldText("NAME"), Key(2));
  go.Signal();
  done.Wait();
  // The writer put K0001..K0099 in between; the next key after K0002 is its K0003.
  std::vector<std::string> seen;
  for (t->Skip(1); !t->Eof(); t->Skip(1)) seen.push_back(t->FieldText("NAME"));
  ASSERT_EQ(seen.size(), 97u);
  for (int i = 3; i < 100; ++i) ASSERT_EQ(seen[i - 3], Key(i));

  // Now both at once: the reader walks forwards and backwards while the writer appends.
  go.Signal();
  int walks = 0;
  bool writer_done = false;
  while (!writer_done || walks < 2) {
    std::string previous;
    size_t count = 0;
    for (bool ok = t->ReadRecord(kRecFirst); ok; ok = t->ReadRecord(kRecNext)) {
      const std::string name = t->FieldText("NAME");
      ASSERT_LT(previous, name) << "walk " << walks;
      previous = name;
      ++count;
    }
    EXPECT_GE(count, 100u);
    ++walks;
    if (!writer_done) {
      // Poll the writer without blocking.
      int status = 0;
      if (waitpid(child, &status, WNOHANG) == child) {
        writer_done = true;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
      }
    }
  }
  std::vector<std::string> all;
  for (bool ok = t->ReadRecord(kRecLast); ok; ok = t->ReadRecord(kRecPrevious))
    all.insert(all.begin(), t->FieldText("NAME"));
  ASSERT_EQ(all.size(), 400u);
  for (int i = 0; i < 400; ++i) ASSERT_EQ(all[i], Key(i));
  const auto problems = CheckIndex(*t, "KEYS");
  EXPECT_TRUE(problems.empty()) << problems.front();
}

TEST(TwoProcesses, NavigationWaitsForTheIndexLockOfAnotherProgram) {
  TempDir dir;
  const std::string path = MakeTable(dir, "locked");
  FillTable(path, {{"A", 1}, {"B", 2}});
  {
    auto t = OpenHandler(path);
    t->IndexOn(dir.dir() + "keys.ntx", "", "NAME", "", false, true);
  }
  auto t = OpenHandler(path, true);
  t->OpenIndexes("keys.ntx", "");
  t->IndexFileOfTag("KEYS")->SetLockRetry(std::chrono::milliseconds(200),
                                          std::chrono::milliseconds(50));
  Pipe locked, release;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Another Clipper-protocol program: a classic byte-range lock of byte 1 000 000 000.
    const int fd = open((dir.dir() + "keys.ntx").c_str(), O_RDWR);
    struct flock fl = {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = 1000000000;
    fl.l_len = 1;
    const int rc = fcntl(fd, F_SETLK, &fl);
    locked.Signal();
    release.Wait();
    _exit(rc == 0 ? 0 : 1);
  }
  locked.Wait();
  try {
    t->SetOrder("KEYS", false);
    ADD_FAILURE() << "navigation went on without the index lock";
  } catch (const EXbError& e) {
    EXPECT_STREQ(e.what(), "Can not Lock file keys.ntx");
  }
  release.Signal();
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  t->SetOrder("KEYS", false);
  EXPECT_EQ(Walk(*t), (std::vector<uint32_t>{1, 2}));
}

// The key change number `step` gives record RenamedRecord(step): the key is new with each step.
constexpr int kRenameRows = 200;
std::string RenamedKey(int step) {
  return fmt::format("R{:05d}", step);
}
uint32_t RenamedRecord(int step) {
  return static_cast<uint32_t>(step % kRenameRows + 1);
}
std::string OriginalKey(uint32_t recno) {
  return fmt::format("A{:05d}", recno);
}

// The writer renames keys under the record lock while this process seeks in a loop: every seek
// finds the latest committed key and never the one it replaced. reopen: the table and its
// index are opened for each seek, as the server does for each request, so that pages kept from
// the last open are used only where the file has not changed since.
void SeeksFollowTheOtherProcesssKeyChanges(bool reopen) {
  TempDir dir;
  const std::string path = MakeTable(dir, "renamed");
  std::vector<std::pair<std::string, int>> rows;
  for (uint32_t r = 1; r <= kRenameRows; ++r)
    rows.emplace_back(OriginalKey(r), static_cast<int>(r));
  FillTable(path, rows);
  {
    auto t = OpenHandler(path);
    t->IndexOn(dir.dir() + "keys.ntx", "", "NAME", "", false, true);
  }
  // The last step the writer has committed, shared between the two processes.
  void* shared = mmap(nullptr, sizeof(std::atomic<int>), PROT_READ | PROT_WRITE,
                      MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(shared, MAP_FAILED);
  auto* committed = new (shared) std::atomic<int>(0);
  constexpr int kSteps = 300;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int status = 0;
    try {
      auto t = OpenHandler(path, true);
      t->OpenIndexes("keys.ntx", "KEYS");
      for (int step = 1; step <= kSteps; ++step) {
        const uint32_t r = RenamedRecord(step);
        t->ReadRecord(r);
        if (!t->LockRecord(r)) throw std::runtime_error("record lock refused");
        t->SetFieldText("NAME", RenamedKey(step));
        t->WriteRecord(r);
        t->Unlock();
        committed->store(step);
      }
    } catch (const std::exception& e) {
      std::fprintf(stderr, "writer: %s\n", e.what());
      status = 1;
    }
    _exit(status);
  }
  // A failed check ends the test at once: the writer goes with it.
  struct Reap {
    pid_t pid;
    bool reaped = false;
    ~Reap() {
      if (reaped) return;
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  } reap{child};
  auto open = [&] {
    auto table = OpenHandler(path, true);
    table->OpenIndexes("keys.ntx", "KEYS");
    table->set_exact(true);
    return table;
  };
  auto t = open();
  int seeks = 0, checked = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  for (int last = 0; last < kSteps && std::chrono::steady_clock::now() < deadline; ++seeks) {
    if (reopen) {
      t.reset();
      t = open();
    }
    last = committed->load();
    if (last == 0) continue;
    const uint32_t r = RenamedRecord(last);
    // The key the step replaced is gone for good; the new one stays until the writer comes
    // round to the same record again.
    const std::string replaced =
        last > kRenameRows ? RenamedKey(last - kRenameRows) : OriginalKey(r);
    ASSERT_FALSE(t->Find(replaced)) << "step " << last << " replaced " << replaced;
    const bool found = t->Find(RenamedKey(last));
    if (committed->load() < last + kRenameRows) {
      ASSERT_TRUE(found) << "step " << last << " committed " << RenamedKey(last);
      ASSERT_EQ(t->recno(), r);
      ++checked;
    }
  }
  int status = 0;
  waitpid(child, &status, 0);
  reap.reaped = true;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_GT(checked, 0);
  EXPECT_EQ(committed->load(), kSteps);
  munmap(shared, sizeof(std::atomic<int>));
  const auto problems = CheckIndex(*t, "KEYS");
  EXPECT_TRUE(problems.empty()) << problems.front();
}

TEST(TwoProcesses, EverySeekSeesTheOtherProcesssLatestKeyChange) {
  SeeksFollowTheOtherProcesssKeyChanges(false);
}

TEST(TwoProcesses, EachOpenSeesTheKeysTheOtherProcessChangedSinceTheLast) {
  SeeksFollowTheOtherProcesssKeyChanges(true);
}

// Another program rewrites the index file in place, keeping its name, inode, size, version
// counter and root: the next open must read the new pages, not the ones kept from before.
TEST(TwoProcesses, AnIndexRewrittenInPlaceIsReadAfresh) {
  TempDir dir;
  const std::string path = MakeTable(dir, "rewritten");
  std::vector<std::pair<std::string, int>> rows;
  for (int r = 1; r <= 300; ++r) rows.emplace_back(fmt::format("A{:05d}", r), r);
  FillTable(path, rows);
  {
    auto t = OpenHandler(path);
    t->IndexOn(dir.dir() + "keys.ntx", "", "NAME", "", false, true);
    t->IndexOn(dir.dir() + "other.ntx", "", "STR(NUM,16)", "", false, true);
  }
  const std::vector<uint8_t> keys = FileBytes(dir.dir() + "keys.ntx");
  const std::vector<uint8_t> other = FileBytes(dir.dir() + "other.ntx");
  ASSERT_EQ(keys.size(), other.size());
  ASSERT_TRUE(std::equal(keys.begin() + 2, keys.begin() + 8, other.begin() + 2))
      << "version and root differ: the rewrite would show in them";
  {
    auto t = OpenHandler(path, true);
    t->OpenIndexes("keys.ntx", "KEYS");
    t->set_exact(true);
    ASSERT_TRUE(t->Find("A00007"));
    ASSERT_EQ(Walk(*t).size(), 300u);  // every page read
  }
  // Where file times have a coarse tick, a change within the tick of the last look at them
  // would not show; this program's own changes are not what is tested here.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int fd = open((dir.dir() + "keys.ntx").c_str(), O_WRONLY);
    const bool ok =
        fd >= 0 && pwrite(fd, other.data(), other.size(), 0) == static_cast<ssize_t>(other.size());
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  auto t = OpenHandler(path, true);
  t->OpenIndexes("keys.ntx", "KEYS");
  t->set_exact(true);
  EXPECT_FALSE(t->Find("A00007"));
  ASSERT_TRUE(t->Find(fmt::format("{:>16}", 7)));
  EXPECT_EQ(t->recno(), 7u);
  const auto problems = CheckIndex(*t, "KEYS");
  EXPECT_TRUE(problems.empty()) << problems.front();
}

}  // namespace
}  // namespace fidora::test
