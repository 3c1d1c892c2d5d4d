// What one log line costs its caller: formatting (on the caller's stack) and the whole call
// with the standard-stream copy discarded. And what handing one line or frame to a script
// callback costs the thread that delivers it: through a plain atomic pointer, as before the
// callbacks could be taken back, and through a callback that can, alone and from two threads
// at once.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdarg>

#include "logging/logger.h"
#include "logging/revocable_callback.h"

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

using Callback = void (*)(const char*);
void receive(const char* line) { benchmark::DoNotOptimize(line); }

std::atomic<Callback> plainCallback{&receive};
Zerin::RevocableCallback<Callback> revocableCallback;

void DeliverThroughAtomicPointer(benchmark::State& state) {
  for (auto _ : state)
    if (const Callback callback = plainCallback.load()) callback("line");
}
BENCHMARK(DeliverThroughAtomicPointer)->Threads(1)->Threads(2);

void DeliverThroughRevocableCallback(benchmark::State& state) {
  if (state.thread_index() == 0) revocableCallback.replace(&receive);
  for (auto _ : state) revocableCallback.call("line");
}
BENCHMARK(DeliverThroughRevocableCallback)->Threads(1)->Threads(2);

void DeliverWithNoCallbackInstalled(benchmark::State& state) {
  if (state.thread_index() == 0) revocableCallback.replace(nullptr);
  for (auto _ : state) revocableCallback.call("line");
}
BENCHMARK(DeliverWithNoCallbackInstalled);

}  // namespace
