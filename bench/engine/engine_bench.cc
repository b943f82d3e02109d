// fidora-engine-bench: the engine's figures on a generated purchase log of the TRACKLOG.DBF
// shape (99-byte records, one shopper number of 100 000 per row, by default 1 000 000 rows):
//   - `fidora-dbf index` of UPPER(ACCOUNTNUM) and of UPPER(ACCOUNTNUM)+DTOS(SALEDATE), each a
//     whole process: wall time and the child's peak resident memory (getrusage);
//   - an exact seek on the shared table under the Clipper protocol (index lock per seek);
//   - seek, record lock, change of a non-key field, write, unlock (one index open);
//   - the same changing the key field (two indexes open);
//   - an append with its flush (two indexes open).
// Each figure is the median of --repeat runs; the timed loops also give the system calls per
// operation, counted at the engine's I/O seam, and every figure carries the machine's load.
#include <fmt/format.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "engine/dbf/dbf_build.h"
#include "engine/dbf/file_io.h"
#include "engine/table/table_handler.h"
#include "support/raw_records.h"

namespace fidora {
namespace {

using Clock = std::chrono::steady_clock;

struct Options {
  uint32_t records = 1000000;
  uint32_t shoppers = 100000;
  int repeat = 3;
  double seconds = 2.0;
  std::string dir;  // empty: a temporary directory, removed at the end
  std::string dbf_tool = FIDORA_DBF_TOOL;
  std::string only;  // run only the rows whose name contains this text
};

// Counts every call that passes the seam, by kind: each is one system call of the real I/O.
class CountingFileIo : public FileIoWrapper {
 public:
  enum Kind {
    kOpen,
    kClose,
    kPRead,
    kPWrite,
    kDataSync,
    kTruncate,
    kFileSize,
    kLockRange,
    kFlock,
    kSameFile,
    kExists,
    kRename,
    kUnlink,
    kListDirectory,
    kSyncDirectory,
    kDirectoryStamp,
    kOpenFileStamp,
    kKinds
  };
  static constexpr const char* kNames[kKinds] = {
      "open",     "close",  "pread",  "pwrite", "fdatasync", "ftruncate", "fstat", "fcntl", "flock",
      "samefile", "exists", "rename", "unlink", "listdir",   "dirsync",   "stat",  "fstat"};
  using Counts = std::array<uint64_t, kKinds>;

  CountingFileIo() : FileIoWrapper(SystemFileIo()) {}
  const Counts& counts() const { return counts_; }
  uint64_t calls() const { return std::accumulate(counts_.begin(), counts_.end(), uint64_t{0}); }

  int Open(const std::string& p, int f, mode_t m) override {
    return Count(kOpen), FileIoWrapper::Open(p, f, m);
  }
  int Close(int fd) override { return Count(kClose), FileIoWrapper::Close(fd); }
  ssize_t PRead(int fd, void* b, size_t c, int64_t o) override {
    return Count(kPRead), FileIoWrapper::PRead(fd, b, c, o);
  }
  ssize_t PWrite(int fd, const void* b, size_t c, int64_t o) override {
    return Count(kPWrite), FileIoWrapper::PWrite(fd, b, c, o);
  }
  int DataSync(int fd) override { return Count(kDataSync), FileIoWrapper::DataSync(fd); }
  int Truncate(int fd, int64_t l) override {
    return Count(kTruncate), FileIoWrapper::Truncate(fd, l);
  }
  int FileSize(int fd, int64_t* s) override {
    return Count(kFileSize), FileIoWrapper::FileSize(fd, s);
  }
  int LockRange(int fd, short t, int64_t o, int64_t l) override {
    return Count(kLockRange), FileIoWrapper::LockRange(fd, t, o, l);
  }
  int Flock(int fd, int op) override { return Count(kFlock), FileIoWrapper::Flock(fd, op); }
  bool SameFile(int fd, const std::string& p) override {
    return Count(kSameFile), FileIoWrapper::SameFile(fd, p);
  }
  bool Exists(const std::string& p) override { return Count(kExists), FileIoWrapper::Exists(p); }
  int Rename(const std::string& f, const std::string& t) override {
    return Count(kRename), FileIoWrapper::Rename(f, t);
  }
  int Unlink(const std::string& p) override { return Count(kUnlink), FileIoWrapper::Unlink(p); }
  int ListDirectory(const std::string& d, std::vector<std::string>* n) override {
    return Count(kListDirectory), FileIoWrapper::ListDirectory(d, n);
  }
  int SyncDirectory(const std::string& d) override {
    return Count(kSyncDirectory), FileIoWrapper::SyncDirectory(d);
  }
  int DirectoryStamp(const std::string& p, FileStamp* s) override {
    return Count(kDirectoryStamp), FileIoWrapper::DirectoryStamp(p, s);
  }
  int OpenFileStamp(int fd, FileStamp* s) override {
    return Count(kOpenFileStamp), FileIoWrapper::OpenFileStamp(fd, s);
  }

 private:
  void Count(Kind kind) { ++counts_[kind]; }
  Counts counts_{};
};

// "pread 1.00 fcntl 2.00 ..." per operation, the kinds that occurred.
std::string CallsPerOp(const CountingFileIo::Counts& before, const CountingFileIo::Counts& after,
                       uint64_t ops) {
  std::string text;
  for (size_t k = 0; k < CountingFileIo::kKinds; ++k) {
    const uint64_t n = after[k] - before[k];
    if (n == 0) continue;
    text += fmt::format("{}{} {:.2f}", text.empty() ? "" : ", ", CountingFileIo::kNames[k],
                        static_cast<double>(n) / static_cast<double>(ops));
  }
  return text;
}

std::string Load() {
  std::ifstream f("/proc/loadavg");
  std::string one, five;
  f >> one >> five;
  return one;
}

double CpuSeconds() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

std::string ShopperNumber(uint32_t shopper) {
  return fmt::format("{:<16}", fmt::format("S{:07d}", shopper));
}

// Changes one field of the current record the way a terminal does: record lock, write, unlock.
void WriteUnderRecordLock(TTableHandler& t, const char* field, const std::string& text) {
  const uint32_t n = t.recno();
  if (!t.LockRecord(n)) throw std::runtime_error("record lock refused");
  t.SetFieldText(field, text);
  t.WriteRecord(n);
  t.Unlock();
}

// ACCOUNTNUM C16, SALEDATE D, PRODCODE C13, GROUP N3, DESCRIPTIO C30, DOCKET C10,
// AMOUNT N12.2, QTY N6: 99 bytes with the deletion flag.
std::string MakeTable(const Options& o) {
  TDbfBuild build(o.dir + "TRACKLOG.DBF");
  build.AddField("ACCOUNTNUM", 'C', 16, 0);
  build.AddField("SALEDATE", 'D', 8, 0);
  build.AddField("PRODCODE", 'C', 13, 0);
  build.AddField("GROUP", 'N', 3, 0);
  build.AddField("DESCRIPTIO", 'C', 30, 0);
  build.AddField("DOCKET", 'C', 10, 0);
  build.AddField("AMOUNT", 'N', 12, 2);
  build.AddField("QTY", 'N', 6, 0);
  build.Build();
  std::mt19937 rng(15);  // 32-bit results
  test::AppendRawRecords(build.path(), o.records, [&](uint32_t i, std::string& out) {
    // Every shopper has a row, so that every seek of a shopper number finds one.
    const uint32_t shopper = i < o.shoppers ? i : static_cast<uint32_t>(rng() % o.shoppers);
    out += ' ';
    out += ShopperNumber(shopper);
    out += fmt::format("{:04d}{:02d}{:02d}", 2015 + rng() % 10, 1 + rng() % 12, 1 + rng() % 28);
    out += fmt::format("{:<13}", fmt::format("P{:06d}", rng() % 5000));
    out += fmt::format("{:>3}", 1 + rng() % 20);
    out += fmt::format("{:<30}", fmt::format("Product line {}", rng() % 5000));
    out += fmt::format("{:<10}", fmt::format("D{}", 50001 + i / 3));
    out += fmt::format("{:>12}", fmt::format("{}.{:02d}", rng() % 500, rng() % 100));
    out += fmt::format("{:>6}", 1 + rng() % 3);
  });
  return build.path();
}

struct Figure {
  std::string name;
  std::vector<double> values;  // per run
  std::string unit;
  double calls_per_op = -1;
  double cpu_us_per_op = -1;  // user and system time: comparable on a busy machine
  std::string calls_by_kind;
  double peak_mb = -1;
  std::string load;
};

void Print(const Figure& f) {
  std::string runs;
  for (double v : f.values) runs += fmt::format("{}{:.4g}", runs.empty() ? "" : " ", v);
  std::cout << fmt::format("{:<44} {:>10.4g} {:<6} runs [{}]", f.name, Median(f.values), f.unit,
                           runs);
  if (f.peak_mb >= 0) std::cout << fmt::format("  peak {:.1f} MB", f.peak_mb);
  if (f.calls_per_op >= 0) std::cout << fmt::format("  {:.2f} calls/op", f.calls_per_op);
  if (f.cpu_us_per_op >= 0) std::cout << fmt::format("  {:.2f} us cpu/op", f.cpu_us_per_op);
  std::cout << "  load " << f.load << std::endl;
  if (!f.calls_by_kind.empty()) std::cout << "    calls per op: " << f.calls_by_kind << std::endl;
}

// One whole `fidora-dbf index` process: wall seconds and peak RSS in MB.
std::pair<double, double> RunIndexTool(const Options& o, const std::string& table,
                                       const std::string& file, const std::string& key) {
  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    std::vector<std::string> args = {o.dbf_tool, "index", table, file, key};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(o.dbf_tool.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    throw std::runtime_error("fidora-dbf index failed: " + o.dbf_tool);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return {seconds, static_cast<double>(usage.ru_maxrss) / 1024.0};
}

void BenchBuild(const Options& o, const std::string& table, const std::string& name,
                const std::string& file, const std::string& key) {
  Figure f{name, {}, "s", -1, -1, {}, -1, ""};
  std::vector<double> peaks;
  for (int r = 0; r < o.repeat; ++r) {
    auto [seconds, peak] = RunIndexTool(o, table, o.dir + file, key);
    f.values.push_back(seconds);
    peaks.push_back(peak);
  }
  f.peak_mb = Median(peaks);
  f.load = Load();
  Print(f);
}

std::unique_ptr<TTableHandler> OpenShared(const std::string& table, FileIo& io,
                                          const std::string& indexes) {
  auto t = std::make_unique<TTableHandler>(table, true, true, io);
  t->Open();
  t->SetLockProtocol(TxLokProtocol::ClipLock);
  t->OpenIndexes(indexes, "TRACKLOG");
  t->set_exact(true);
  return t;
}

// Runs op for about o.seconds, o.repeat times: operations per second and seam calls per op.
void BenchLoop(const Options& o, const std::string& name, CountingFileIo& io,
               const std::function<void()>& op) {
  Figure f{name, {}, "ops/s", -1, -1, {}, -1, ""};
  std::vector<double> calls, cpu;
  uint64_t all_ops = 0;
  const CountingFileIo::Counts counts_before = io.counts();
  for (int r = 0; r < o.repeat; ++r) {
    uint64_t ops = 0;
    const uint64_t calls_before = io.calls();
    const double cpu_before = CpuSeconds();
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration<double>(o.seconds);
    auto now = start;
    while (now < end) {
      for (int i = 0; i < 64; ++i) op();
      ops += 64;
      now = Clock::now();
    }
    const double seconds = std::chrono::duration<double>(now - start).count();
    f.values.push_back(static_cast<double>(ops) / seconds);
    calls.push_back(static_cast<double>(io.calls() - calls_before) / static_cast<double>(ops));
    cpu.push_back((CpuSeconds() - cpu_before) * 1e6 / static_cast<double>(ops));
    all_ops += ops;
  }
  f.calls_per_op = Median(calls);
  f.cpu_us_per_op = Median(cpu);
  f.calls_by_kind = CallsPerOp(counts_before, io.counts(), all_ops);
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  f.peak_mb = static_cast<double>(usage.ru_maxrss) / 1024.0;
  f.load = Load();
  Print(f);
}

bool Wanted(const Options& o, const std::string& name) {
  return o.only.empty() || name.find(o.only) != std::string::npos;
}

void Run(const Options& o) {
  std::cout << fmt::format("purchase log: {} records, {} shoppers, in {}\n", o.records, o.shoppers,
                           o.dir);
  const std::string table = MakeTable(o);
  const std::string by_number = "UPPER(ACCOUNTNUM)";
  const std::string by_date = "UPPER(ACCOUNTNUM)+DTOS(SALEDATE)";
  std::string name = "index UPPER(ACCOUNTNUM), whole process";
  if (Wanted(o, name)) BenchBuild(o, table, name, "BENCH1.NTX", by_number);
  name = "index UPPER(ACCOUNTNUM)+DTOS(SALEDATE)";
  if (Wanted(o, name)) BenchBuild(o, table, name, "BENCH2.NTX", by_date);
  // The indexes the timed loops use.
  RunIndexTool(o, table, o.dir + "TRACKLOG.NTX", by_number);
  RunIndexTool(o, table, o.dir + "TRAKHIST.NTX", by_date);

  std::mt19937 rng(7);
  auto any_shopper = [&] { return ShopperNumber(static_cast<uint32_t>(rng() % o.shoppers)); };
  CountingFileIo io;
  name = "exact seek (shared, index lock per seek)";
  if (Wanted(o, name)) {
    auto t = OpenShared(table, io, "TRACKLOG.NTX");
    BenchLoop(o, name, io, [&] {
      if (!t->Find(any_shopper())) throw std::runtime_error("a shopper was not found");
    });
  }
  name = "seek+lock+non-key change+write+unlock, 1 index";
  if (Wanted(o, name)) {
    auto t = OpenShared(table, io, "TRACKLOG.NTX");
    BenchLoop(o, name, io, [&] {
      if (!t->Find(any_shopper())) throw std::runtime_error("a shopper was not found");
      WriteUnderRecordLock(*t, "QTY", std::to_string(1 + rng() % 9));
    });
  }
  name = "the same changing the key, 2 indexes";
  if (Wanted(o, name)) {
    auto t = OpenShared(table, io, "TRACKLOG.NTX;TRAKHIST.NTX");
    BenchLoop(o, name, io, [&] {
      // A shopper may lose every row to the changes: the nearest one then serves.
      t->set_near(true);
      t->Find(any_shopper());
      if (t->Eof()) t->ReadRecord(kRecFirst);
      WriteUnderRecordLock(*t, "ACCOUNTNUM", any_shopper());
    });
  }
  name = "append with flush, 2 indexes";
  if (Wanted(o, name)) {
    auto t = OpenShared(table, io, "TRACKLOG.NTX;TRAKHIST.NTX");
    BenchLoop(o, name, io, [&] {
      t->ReadRecord(0);
      t->SetFieldText("ACCOUNTNUM", any_shopper());
      t->SetFieldText("SALEDATE", "20260101");
      t->SetFieldText("PRODCODE", "DEPOSIT");
      t->SetFieldText("GROUP", "99");
      t->SetFieldText("AMOUNT", "-3.00");
      t->SetFieldText("QTY", "1");
      t->AppendRecord();
    });
  }
}

int Usage() {
  std::cerr << "usage: fidora-engine-bench [--records N] [--shoppers N] [--repeat N] "
               "[--seconds S] [--dir DIR] [--dbf PATH-TO-fidora-dbf] [--only TEXT]\n";
  return 2;
}

}  // namespace
}  // namespace fidora

int main(int argc, char** argv) {
  fidora::Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (i + 1 >= argc) return fidora::Usage();
    const std::string v = argv[++i];
    if (a == "--records")
      o.records = static_cast<uint32_t>(std::stoul(v));
    else if (a == "--shoppers")
      o.shoppers = static_cast<uint32_t>(std::stoul(v));
    else if (a == "--repeat")
      o.repeat = std::max(1, std::stoi(v));
    else if (a == "--seconds")
      o.seconds = std::stod(v);
    else if (a == "--dir")
      o.dir = v;
    else if (a == "--dbf")
      o.dbf_tool = v;
    else if (a == "--only")
      o.only = v;
    else
      return fidora::Usage();
  }
  o.shoppers = std::max<uint32_t>(1, std::min(o.shoppers, std::max<uint32_t>(1, o.records)));
  bool temporary = o.dir.empty();
  if (temporary) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "fidora-engine-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return 1;
    o.dir = pattern;
  } else {
    std::error_code ignored;  // a directory that cannot be made is reported by the first write
    std::filesystem::create_directories(o.dir, ignored);
  }
  if (o.dir.back() != '/') o.dir += '/';
  int rc = 0;
  try {
    fidora::Run(o);
  } catch (const std::exception& e) {
    std::cerr << "fidora-engine-bench: " << e.what() << "\n";
    rc = 1;
  }
  if (temporary) std::filesystem::remove_all(o.dir);
  return rc;
}
