#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace ZerinDemo {

// Order statistics of a set of durations, in microseconds.
struct Percentiles {
  double median = 0;
  double p99 = 0;
  double max = 0;
};

// Values that are not finite (frames that were not measured) are left out.
inline Percentiles percentiles(std::vector<double> values) {
  Percentiles result;
  values.erase(std::remove_if(values.begin(), values.end(), [](double v) { return !std::isfinite(v); }), values.end());
  if (values.empty()) return result;
  std::sort(values.begin(), values.end());
  const auto at = [&](double fraction) {
    const size_t index = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
  };
  result.median = at(0.5);
  result.p99 = at(0.99);
  result.max = values.back();
  return result;
}

}  // namespace ZerinDemo
