#include "net/send_ring.h"

#include <linux/io_uring.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace fidora {

namespace {

int Setup(unsigned entries, io_uring_params& params) {
  return static_cast<int>(::syscall(__NR_io_uring_setup, entries, &params));
}

int Enter(int fd, unsigned to_submit, unsigned min_complete) {
  return static_cast<int>(::syscall(__NR_io_uring_enter, fd, to_submit, min_complete,
                                    IORING_ENTER_GETEVENTS, nullptr, 0));
}

template <typename T>
T* At(void* base, uint32_t offset) {
  return reinterpret_cast<T*>(static_cast<char*>(base) + offset);
}

unsigned LoadAcquire(const unsigned* at) {
  return __atomic_load_n(at, __ATOMIC_ACQUIRE);
}

void StoreRelease(unsigned* at, unsigned value) {
  __atomic_store_n(at, value, __ATOMIC_RELEASE);
}

// One non-blocking sendmsg: the bytes it took, or -errno.
int64_t SendPlain(int fd, const msghdr& message) {
  for (;;) {
    const ssize_t n = ::sendmsg(fd, &message, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n >= 0) return n;
    if (errno != EINTR) return -errno;
  }
}

}  // namespace

TSendRing::TSendRing() {
  io_uring_params params{};
  // Completions are collected when we ask for them (no interrupt of the thread), and a failed
  // entry does not hold back the ones after it. Older kernels know neither.
  params.flags = IORING_SETUP_COOP_TASKRUN | IORING_SETUP_SUBMIT_ALL;
  int fd = Setup(kEntries, params);
  if (fd < 0 && errno == EINVAL) {
    params = {};
    fd = Setup(kEntries, params);
  }
  if (fd < 0) return;
  ring_fd_ = fd;
  if (!(params.features & IORING_FEAT_SINGLE_MMAP) || params.sq_entries < kEntries) {
    Unmap();
    return;
  }
  rings_size_ = std::max<size_t>(params.sq_off.array + params.sq_entries * sizeof(unsigned),
                                 params.cq_off.cqes + params.cq_entries * sizeof(io_uring_cqe));
  rings_ = ::mmap(nullptr, rings_size_, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, fd,
                  IORING_OFF_SQ_RING);
  entries_size_ = params.sq_entries * sizeof(io_uring_sqe);
  entries_ = ::mmap(nullptr, entries_size_, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, fd,
                    IORING_OFF_SQES);
  if (rings_ == MAP_FAILED || entries_ == MAP_FAILED) {
    Unmap();
    return;
  }
  sq_head_ = At<unsigned>(rings_, params.sq_off.head);
  sq_tail_ = At<unsigned>(rings_, params.sq_off.tail);
  sq_mask_ = At<unsigned>(rings_, params.sq_off.ring_mask);
  sq_array_ = At<unsigned>(rings_, params.sq_off.array);
  cq_head_ = At<unsigned>(rings_, params.cq_off.head);
  cq_tail_ = At<unsigned>(rings_, params.cq_off.tail);
  cq_mask_ = At<unsigned>(rings_, params.cq_off.ring_mask);
  cqes_ = At<io_uring_cqe>(rings_, params.cq_off.cqes);
}

TSendRing::~TSendRing() {
  Unmap();
}

void TSendRing::Unmap() {
  if (rings_ && rings_ != MAP_FAILED) ::munmap(rings_, rings_size_);
  if (entries_ && entries_ != MAP_FAILED) ::munmap(entries_, entries_size_);
  rings_ = nullptr;
  entries_ = nullptr;
  if (ring_fd_ >= 0) ::close(ring_fd_);
  ring_fd_ = -1;
}

void TSendRing::Send(const int* fds, const msghdr* messages, int64_t* results, int count) {
  // A ring brings nothing for one send.
  if (count > 1 && SendAll(fds, messages, results, count)) return;
  for (int i = 0; i < count; ++i) results[i] = SendPlain(fds[i], messages[i]);
}

bool TSendRing::SendAll(const int* fds, const msghdr* messages, int64_t* results, int count) {
  if (!Ready() || count <= 0 || count > kEntries) return false;
  auto* entries = static_cast<io_uring_sqe*>(entries_);
  const unsigned first = *sq_tail_;  // only this side writes the tail
  for (int i = 0; i < count; ++i) {
    const unsigned index = (first + static_cast<unsigned>(i)) & *sq_mask_;
    io_uring_sqe& entry = entries[index];
    std::memset(&entry, 0, sizeof entry);
    entry.opcode = IORING_OP_SENDMSG;
    entry.fd = fds[i];
    entry.addr = reinterpret_cast<uintptr_t>(&messages[i]);
    entry.len = 1;
    // Never wait for room: a full socket answers -EAGAIN at once, like a non-blocking sendmsg.
    entry.msg_flags = MSG_NOSIGNAL | MSG_DONTWAIT;
    entry.user_data = static_cast<uint64_t>(i);
    sq_array_[index] = index;
    results[i] = -EIO;
  }
  const unsigned end = first + static_cast<unsigned>(count);
  StoreRelease(sq_tail_, end);

  auto* completions = static_cast<io_uring_cqe*>(cqes_);
  int reaped = 0;
  while (reaped < count) {
    const int entered =
        Enter(ring_fd_, end - LoadAcquire(sq_head_), static_cast<unsigned>(count - reaped));
    if (entered < 0 && errno != EINTR && errno != EAGAIN && errno != EBUSY) {
      const bool none_taken = LoadAcquire(sq_head_) == first;
      Unmap();
      // Sends already taken by the kernel may have gone out: their connections fail (-EIO)
      // rather than send bytes twice.
      return !none_taken;
    }
    unsigned head = *cq_head_;
    const unsigned tail = LoadAcquire(cq_tail_);
    for (; head != tail; ++head) {
      const io_uring_cqe& completion = completions[head & *cq_mask_];
      const auto i = static_cast<size_t>(completion.user_data);
      if (i < static_cast<size_t>(count)) results[i] = completion.res;
      ++reaped;
    }
    StoreRelease(cq_head_, head);
  }
  return true;
}

}  // namespace fidora
