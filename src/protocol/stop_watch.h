// TStopWatch: accumulates elapsed time over start/stop runs on the steady clock.
#pragma once

#include <cstdint>
#include <string>

namespace fidora {

class TStopWatch {
 public:
  void Reset();
  void Start();
  void Stop();  // only counts when running
  bool Running() const { return running_; }
  // Whole milliseconds elapsed (finished runs plus the current one), as decimal text.
  std::string ElapsedMilliseconds() const;

 private:
  static int64_t Counter();
  static constexpr int64_t kFrequency = 1'000'000'000;  // ticks per second

  int64_t elapsed_ = 0;
  int64_t start_count_ = 0;
  int64_t stop_count_ = 0;
  bool running_ = false;
};

}  // namespace fidora
