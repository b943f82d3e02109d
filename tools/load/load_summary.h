// The figures of a load run and the line that reports them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fidora {

struct LoadTotals {
  long long requests = 0;              // asked for
  long long replies = 0;               // complete replies, successful or not
  long long successful = 0;            // replies whose last line begins with "STAT¦OK¦"
  double seconds = 0;                  // from the first connect to the last reply
  std::vector<uint32_t> latencies_us;  // one per complete reply
};

// The latency at or below which the given fraction of the values lie (nearest rank);
// 0 for no values. Reorders the values.
uint32_t Percentile(std::vector<uint32_t>& values, double fraction);

// "requests/s: X  p50_us: Y  p99_us: Z  errors: E"; errors are requests without a
// successful reply. Reorders the latencies.
std::string FormatSummary(LoadTotals& totals);

}  // namespace fidora
