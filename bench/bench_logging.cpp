// What one log line costs its caller: formatting (on the caller's stack) and the whole call
// with the standard-stream copy discarded.
#include <benchmark/benchmark.h>

#include <cstdarg>

#include "logging/logger.h"

namespace {

std::string formatAt(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string line = Zerin::formatLogLineAt({2026, 12, 7, 9, 5, 3, 42}, "Zerin::IPC::Client::connect",
                                            Zerin::LogLevel::Warning, format, args);
  va_end(args);
  return line;
}

void FormatLine(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(formatAt("Handshake failed: %s", "Timeout"));
}
BENCHMARK(FormatLine);

void ReadLocalTime(benchmark::State& state) {
  for (auto _ : state) {
    const auto now = Zerin::platform::localTimeNow();
    benchmark::DoNotOptimize(now);
  }
}
BENCHMARK(ReadLocalTime);

}  // namespace
