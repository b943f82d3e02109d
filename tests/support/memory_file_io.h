// A FileIo whose files live in memory: fast and hermetic, for fuzz targets and for tests that
// want files no disk would give. Paths are absolute; a directory exists while a file lies
// below it. Locks and share modes always succeed; sleeps take no time; the clock stands still.
#pragma once

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "engine/dbf/file_io.h"

namespace fidora::test {

class MemoryFileIo : public FileIo {
 public:
  // Writes that would make a file longer than max_file bytes fail with EFBIG.
  explicit MemoryFileIo(uint64_t max_file = uint64_t{1} << 28) : max_file_(max_file) {}

  std::map<std::string, std::vector<uint8_t>> files;

  int Open(const std::string& path, int flags, mode_t) override {
    auto it = files.find(path);
    if (it == files.end()) {
      if (!(flags & O_CREAT)) return Fail(ENOENT);
      it = files.emplace(path, std::vector<uint8_t>{}).first;
    }
    if (flags & O_TRUNC) it->second.clear();
    const int fd = next_fd_++;
    open_[fd] = path;
    return fd;
  }
  int Close(int fd) override { return open_.erase(fd) ? 0 : Fail(EBADF); }
  ssize_t PRead(int fd, void* buffer, size_t count, int64_t offset) override {
    std::vector<uint8_t>* f = File(fd);
    if (!f || offset < 0) return Fail(EBADF);
    if (static_cast<uint64_t>(offset) >= f->size()) return 0;
    const size_t n = std::min<size_t>(count, f->size() - static_cast<size_t>(offset));
    std::memcpy(buffer, f->data() + offset, n);
    return static_cast<ssize_t>(n);
  }
  ssize_t PWrite(int fd, const void* buffer, size_t count, int64_t offset) override {
    std::vector<uint8_t>* f = File(fd);
    if (!f || offset < 0) return Fail(EBADF);
    // A file of this size would be a fault of the engine, not a file: refuse it.
    if (static_cast<uint64_t>(offset) + count > max_file_) return Fail(EFBIG);
    if (f->size() < offset + count) f->resize(offset + count, 0);
    std::memcpy(f->data() + offset, buffer, count);
    return static_cast<ssize_t>(count);
  }
  int DataSync(int fd) override { return File(fd) ? 0 : Fail(EBADF); }
  int Truncate(int fd, int64_t length) override {
    std::vector<uint8_t>* f = File(fd);
    if (!f || length < 0 || static_cast<uint64_t>(length) > max_file_) return Fail(EINVAL);
    f->resize(static_cast<size_t>(length), 0);
    return 0;
  }
  int FileSize(int fd, int64_t* size) override {
    std::vector<uint8_t>* f = File(fd);
    if (!f) return Fail(EBADF);
    *size = static_cast<int64_t>(f->size());
    return 0;
  }
  int LockRange(int, short, int64_t, int64_t) override { return 0; }
  int Flock(int, int) override { return 0; }
  bool SameFile(int fd, const std::string& path) override {
    auto it = open_.find(fd);
    return it != open_.end() && it->second == path && files.count(path) > 0;
  }
  bool Exists(const std::string& path) override {
    if (files.count(path) || path == "/") return true;
    const std::string dir = path + "/";
    auto it = files.lower_bound(dir);
    return it != files.end() && it->first.compare(0, dir.size(), dir) == 0;
  }
  int Rename(const std::string& from, const std::string& to) override {
    auto it = files.find(from);
    if (it == files.end()) return Fail(ENOENT);
    std::vector<uint8_t> bytes = std::move(it->second);
    files.erase(it);
    files[to] = std::move(bytes);
    return 0;
  }
  int Unlink(const std::string& path) override { return files.erase(path) ? 0 : Fail(ENOENT); }
  int ListDirectory(const std::string& dir, std::vector<std::string>* names) override {
    names->clear();
    const std::string prefix = dir.empty() || dir.back() != '/' ? dir + "/" : dir;
    for (const auto& [path, bytes] : files) {
      if (path.compare(0, prefix.size(), prefix) != 0) continue;
      const std::string rest = path.substr(prefix.size());
      const std::string name = rest.substr(0, rest.find('/'));
      if (names->empty() || names->back() != name) names->push_back(name);
    }
    return 0;
  }
  std::string CurrentDirectory() override { return "/"; }
  int SyncDirectory(const std::string&) override { return 0; }
  void SleepFor(std::chrono::milliseconds) override {}
  std::chrono::system_clock::time_point Now() override {
    return std::chrono::system_clock::time_point(std::chrono::hours(24 * 365 * 55));
  }

 private:
  static int Fail(int error) {
    errno = error;
    return -1;
  }
  std::vector<uint8_t>* File(int fd) {
    auto it = open_.find(fd);
    if (it == open_.end()) return nullptr;
    auto f = files.find(it->second);
    return f == files.end() ? nullptr : &f->second;
  }

  uint64_t max_file_;
  std::map<int, std::string> open_;
  int next_fd_ = 3;
};

}  // namespace fidora::test
