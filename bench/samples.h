#pragma once
// Durations of single runs, kept without allocating while measuring, and their median: a run
// that the system preempted moves an average, not the median.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <vector>

namespace ZerinBench {

using Clock = std::chrono::steady_clock;

inline double nanosecondsSince(Clock::time_point start) {
  return static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count());
}

// Keeps the compiler from dropping work whose result nobody reads.
inline void escape(void* pointer) {
#if defined(__GNUC__)
  asm volatile("" : : "g"(pointer) : "memory");
#endif
}

// What reading the clock twice costs (the median of many tries), to take off every timed span:
// a span as short as a frame would otherwise carry it.
inline double clockOverhead() {
  static const double overhead = [] {
    std::vector<double> spans;
    for (int i = 0; i < 1001; ++i) {
      const Clock::time_point start = Clock::now();
      spans.push_back(nanosecondsSince(start));
    }
    std::nth_element(spans.begin(), spans.begin() + 500, spans.end());
    return spans[500];
  }();
  return overhead;
}

// The smallest step the clock takes, in nanoseconds (Wine's counts in steps of 100).
inline double clockResolution() {
  static const double resolution = [] {
    double smallest = 1e9;
    for (int i = 0; i < 1000; ++i) {
      const Clock::time_point start = Clock::now();
      Clock::time_point next = Clock::now();
      while (next == start) next = Clock::now();
      smallest = std::min(smallest, static_cast<double>((next - start).count()) * Clock::period::num * 1e9 /
                                        Clock::period::den);
    }
    return smallest;
  }();
  return resolution;
}

// Nanoseconds since `start`, less the cost of reading the clock.
inline double spanSince(Clock::time_point start) { return nanosecondsSince(start) - clockOverhead(); }

class Samples {
 public:
  explicit Samples(size_t capacity = size_t{1} << 20) { values.reserve(capacity); }
  // Beyond the capacity further runs are not kept.
  void add(double value) {
    if (values.size() < values.capacity()) values.push_back(static_cast<float>(value));
  }
  size_t count() const { return values.size(); }
  double median() {
    if (values.empty()) return 0;
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
  }

 private:
  std::vector<float> values;
};

}  // namespace ZerinBench
