// The program manager road against a bare pipe of the same machine (a Unix stream socket here):
// the latency of one message from the service's write to the script callback against a bare
// round trip of the same bytes, and the rate of small and of 1 MiB frames through the client's
// receiver and dispatcher against the same frames read from a bare pipe frame by frame.
#include <benchmark/benchmark.h>

#include "ipc_bench.h"
#include "ratio_reporter.h"
#include "samples.h"

namespace {

using ZerinBench::IpcBench;
using ZerinBench::Samples;

constexpr size_t kSmallPayload = 8;  // a 36-byte frame, as small as the service's own messages
constexpr int kSmallFrames = 20000;
constexpr size_t kLargePayload = size_t{1} << 20;
constexpr int kLargeFrames = 16;

bool openBench(benchmark::State& state, IpcBench& bench) {
  if (bench.open()) return true;
  state.SkipWithError(bench.error().c_str());
  return false;
}

void Latency(benchmark::State& state) {
  IpcBench bench;
  if (!openBench(state, bench)) return;
  Samples message, bare;
  for (auto _ : state) {
    const double one = bench.messageLatency(kSmallPayload);
    if (one < 0) return state.SkipWithError("a message did not arrive");
    message.add(one);
    bare.add(bench.bareRoundTrip(kSmallPayload));
  }
  state.counters["message_us"] = message.median() / 1e3;
  state.counters["bare_rtt_us"] = bare.median() / 1e3;
}

// Frames per second, or with `mebibytes` the frames' bytes in MiB per second.
void Rate(benchmark::State& state, size_t payload, int count, bool mebibytes) {
  IpcBench bench;
  if (!openBench(state, bench)) return;
  Samples message, bare, copied;
  const double scale = mebibytes ? static_cast<double>(payload + 16 + sizeof("BenchMessage") - 1) / 1048576.0 : 1.0;
  for (auto _ : state) {
    const double rate = bench.messageRate(payload, count);
    if (rate < 0) return state.SkipWithError("the frames did not all arrive");
    message.add(rate * scale);
    bare.add(bench.bareRate(payload, count) * scale);
    copied.add(bench.bareRate(payload, count, true) * scale);
  }
  state.counters["message_rate"] = message.median();
  state.counters["bare_rate"] = bare.median();
  state.counters["bare_copied_rate"] = copied.median();
}

std::vector<ZerinBench::Row> rows(const ZerinBench::Counters& counters) {
  using ZerinBench::counterRow;
  ZerinBench::Goal latency;
  latency.maxRatio = 2;
  ZerinBench::Goal rate;
  rate.minRatio = 0.5;
  return {
      counterRow(counters, "IPC latency 36 B vs bare round trip", "Ipc/latency", "message_us", "bare_rtt_us", "us",
                 latency),
      counterRow(counters, "IPC rate 36 B frames", "Ipc/small", "message_rate", "bare_rate", "msg/s", rate),
      counterRow(counters, "IPC rate 1 MiB frames", "Ipc/1MiB", "message_rate", "bare_rate", "MiB/s", rate),
      // No goal: the bare pipe with the two payload copies that the framing and the client's
      // queue make of every message, to show what bounds the row above.
      counterRow(counters, "  bare pipe + 2 payload copies, 1 MiB", "Ipc/1MiB", "message_rate", "bare_copied_rate",
                 "MiB/s", ZerinBench::Goal{}),
  };
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::RegisterBenchmark("Ipc/latency", Latency)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("Ipc/small", Rate, kSmallPayload, kSmallFrames, false)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Ipc/1MiB", Rate, kLargePayload, kLargeFrames, true)->Unit(benchmark::kMillisecond);
  return ZerinBench::runWithTable(argc, argv, "Program manager road: plug-in against a bare pipe", rows);
}
