#include "protocol/stop_watch.h"

#include <chrono>

namespace fidora {

int64_t TStopWatch::Counter() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void TStopWatch::Reset() {
  elapsed_ = 0;
  running_ = false;
}

void TStopWatch::Start() {
  running_ = true;
  start_count_ = Counter();
}

void TStopWatch::Stop() {
  if (!running_) return;
  stop_count_ = Counter();
  elapsed_ += stop_count_ - start_count_;
  running_ = false;
}

std::string TStopWatch::ElapsedMilliseconds() const {
  int64_t ticks = elapsed_;
  if (running_) ticks += Counter() - start_count_;
  return std::to_string(ticks / (kFrequency / 1000));
}

}  // namespace fidora
