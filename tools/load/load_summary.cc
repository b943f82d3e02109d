#include "load/load_summary.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

namespace fidora {

uint32_t Percentile(std::vector<uint32_t>& values, double fraction) {
  if (values.empty()) return 0;
  const auto rank = static_cast<size_t>(std::ceil(fraction * static_cast<double>(values.size())));
  const size_t index = std::clamp<size_t>(rank, 1, values.size()) - 1;
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(index),
                   values.end());
  return values[index];
}

std::string FormatSummary(LoadTotals& totals) {
  const double rate =
      totals.seconds > 0 ? static_cast<double>(totals.replies) / totals.seconds : 0.0;
  const uint32_t p50 = Percentile(totals.latencies_us, 0.50);
  const uint32_t p99 = Percentile(totals.latencies_us, 0.99);
  return fmt::format("requests/s: {:.0f}  p50_us: {}  p99_us: {}  errors: {}", rate, p50, p99,
                     totals.requests - totals.successful);
}

}  // namespace fidora
