// A FileIo that counts the engine's I/O calls (opens, reads, writes, flushes, cuts, sizes,
// locks, renames, removals, directory flushes) and, once armed, acts at one chosen call: it
// fails that call (or that one and every later one), or it ends the process there with
// SIGKILL, as a crash or a power cut would. A write that is killed may first write part of
// its bytes, cut at a 512-byte sector boundary (a torn write). Sleeps take no time, and
// flushes reach the disk only when a target that does them is given.
#pragma once

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "engine/dbf/file_io.h"

namespace fidora::test {

class CallCountingIo : public FileIoWrapper {
 public:
  enum class Mode { kCount, kFailOnce, kFailFromThen, kKill };

  explicit CallCountingIo(FileIo& target = NoSync()) : FileIoWrapper(target) {}

  // Acts at call number at (counted from 1 from now on). torn chooses how much of a killed
  // write goes to the file first.
  void Arm(Mode mode, int64_t at, unsigned torn = 0) {
    mode_ = mode;
    at_ = at;
    torn_ = torn;
    calls_ = 0;
    fired_ = false;
  }
  void Disarm() { mode_ = Mode::kCount; }
  int64_t calls() const { return calls_; }
  // Whether the chosen call was reached.
  bool fired() const { return fired_; }

  int Open(const std::string& path, int flags, mode_t mode) override {
    return Hit() ? Failed() : target().Open(path, flags, mode);
  }
  ssize_t PRead(int fd, void* buffer, size_t count, int64_t offset) override {
    return Hit() ? Failed() : target().PRead(fd, buffer, count, offset);
  }
  ssize_t PWrite(int fd, const void* buffer, size_t count, int64_t offset) override {
    if (!Hit(/*write_killed_later=*/true)) return target().PWrite(fd, buffer, count, offset);
    if (mode_ == Mode::kKill) {
      const size_t sectors = count / 512;
      if (sectors > 0 && torn_ % 2 == 1)
        target().PWrite(fd, buffer, 512 * (1 + torn_ / 2 % sectors), offset);
      ::kill(::getpid(), SIGKILL);
    }
    return Failed();
  }
  int DataSync(int fd) override { return Hit() ? Failed() : target().DataSync(fd); }
  int Truncate(int fd, int64_t length) override {
    return Hit() ? Failed() : target().Truncate(fd, length);
  }
  int FileSize(int fd, int64_t* size) override {
    return Hit() ? Failed() : target().FileSize(fd, size);
  }
  int OpenFileStamp(int fd, FileStamp* stamp) override {
    return Hit() ? Failed() : target().OpenFileStamp(fd, stamp);
  }
  int LockRange(int fd, short type, int64_t offset, int64_t length) override {
    return Hit() ? Failed() : target().LockRange(fd, type, offset, length);
  }
  int Flock(int fd, int operation) override {
    return Hit() ? Failed() : target().Flock(fd, operation);
  }
  int Rename(const std::string& from, const std::string& to) override {
    return Hit() ? Failed() : target().Rename(from, to);
  }
  int Unlink(const std::string& path) override { return Hit() ? Failed() : target().Unlink(path); }
  int SyncDirectory(const std::string& dir) override {
    return Hit() ? Failed() : target().SyncDirectory(dir);
  }
  void SleepFor(std::chrono::milliseconds) override {}

 private:
  // Counts the call; true when it is to fail (or, for a write, to be killed by the caller).
  bool Hit(bool write_killed_later = false) {
    const int64_t call = ++calls_;
    switch (mode_) {
      case Mode::kCount:
        return false;
      case Mode::kFailOnce:
        if (call != at_) return false;
        break;
      case Mode::kFailFromThen:
        if (call < at_) return false;
        break;
      case Mode::kKill:
        if (call != at_) return false;
        fired_ = true;
        if (!write_killed_later) ::kill(::getpid(), SIGKILL);
        return true;
    }
    fired_ = true;
    return true;
  }
  static FileIo& NoSync() {
    static NoSyncFileIo io;
    return io;
  }
  static int Failed() {
    errno = EIO;
    return -1;
  }

  Mode mode_ = Mode::kCount;
  int64_t at_ = 0;
  unsigned torn_ = 0;
  int64_t calls_ = 0;
  bool fired_ = false;
};

}  // namespace fidora::test
