// A FileIo that passes every call to the real one, except chosen calls that fail with a
// chosen errno: "the 2nd PRead fails, and the one after it too". Hand it to the objects under
// test. Sleeps are not slept: they are added up (slept()), so retries cost no time.
#pragma once

#include <cerrno>
#include <map>

#include "engine/dbf/file_io.h"

namespace fidora::test {

class FaultyIo : public FileIoWrapper {
 public:
  enum Op { kOpen, kPRead, kPWrite, kDataSync, kTruncate, kFileSize, kLockRange, kFlock, kRename };

  FaultyIo() : FileIoWrapper(SystemFileIo()) {}

  // Calls number first .. first + times - 1 of op (counted from 1 since the object was
  // made) fail with error.
  void Fail(Op op, int first, int times = 1, int error = EIO) {
    faults_[op] = {first, times, error};
  }
  // The next `times` calls of op fail.
  void FailNext(Op op, int times = 1, int error = EIO) { Fail(op, Calls(op) + 1, times, error); }
  // Calls of op so far.
  int Calls(Op op) const {
    auto it = calls_.find(op);
    return it == calls_.end() ? 0 : it->second;
  }
  // A PWrite that writes only the first `bytes` bytes of call number `call`, then fails.
  void ShortWrite(int call, size_t bytes) { short_write_ = {call, bytes}; }
  std::chrono::milliseconds slept() const { return slept_; }

  int Open(const std::string& path, int flags, mode_t mode) override {
    return Faulted(kOpen) ? -1 : target().Open(path, flags, mode);
  }
  ssize_t PRead(int fd, void* buffer, size_t count, int64_t offset) override {
    return Faulted(kPRead) ? -1 : target().PRead(fd, buffer, count, offset);
  }
  ssize_t PWrite(int fd, const void* buffer, size_t count, int64_t offset) override {
    const int call = calls_[kPWrite] + 1;
    if (Faulted(kPWrite)) return -1;
    if (call == short_write_.first && short_write_.second < count) {
      target().PWrite(fd, buffer, short_write_.second, offset);
      errno = ENOSPC;
      return -1;
    }
    return target().PWrite(fd, buffer, count, offset);
  }
  int DataSync(int fd) override { return Faulted(kDataSync) ? -1 : target().DataSync(fd); }
  int Truncate(int fd, int64_t length) override {
    return Faulted(kTruncate) ? -1 : target().Truncate(fd, length);
  }
  int FileSize(int fd, int64_t* size) override {
    return Faulted(kFileSize) ? -1 : target().FileSize(fd, size);
  }
  int LockRange(int fd, short type, int64_t offset, int64_t length) override {
    return Faulted(kLockRange) ? -1 : target().LockRange(fd, type, offset, length);
  }
  int Flock(int fd, int operation) override {
    return Faulted(kFlock) ? -1 : target().Flock(fd, operation);
  }
  int Rename(const std::string& from, const std::string& to) override {
    return Faulted(kRename) ? -1 : target().Rename(from, to);
  }
  void SleepFor(std::chrono::milliseconds duration) override { slept_ += duration; }

 private:
  struct Fault {
    int first = 0;
    int times = 0;
    int error = EIO;
  };
  bool Faulted(Op op) {
    const int call = ++calls_[op];
    auto it = faults_.find(op);
    if (it == faults_.end()) return false;
    const Fault& f = it->second;
    if (call < f.first || call >= f.first + f.times) return false;
    errno = f.error;
    return true;
  }

  std::map<Op, Fault> faults_;
  std::map<Op, int> calls_;
  std::pair<int, size_t> short_write_{0, 0};
  std::chrono::milliseconds slept_{0};
};

}  // namespace fidora::test
