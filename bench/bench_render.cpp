// What the plug-in costs the engine, each figure against its floor:
// - the render thread's frame (events 20, 10, 11) against the same runtime and device calls made
//   directly, on a bare software device (no pixel work) and the simulated runtime without its
//   frame clock or call log, so that what is left is the plug-in's own code and the calls;
// - heap allocations per steady frame (events 20, 10, 11, 14 and PollEvent) and per
//   QueueSubmission, against none;
// - QueueSubmission of four layers against a memcpy of the same 6,440 bytes.
// Plug-in and floor run in alternating batches within one benchmark, so that both see the
// same load, and each figure is the median of single frames (or batches of calls).
#include <benchmark/benchmark.h>

#include "allocation_counter.h"
#include "frame_bench.h"
#include "gfx_soft_control.h"
#include "ratio_reporter.h"

namespace {

using ZerinBench::FrameBench;
using ZerinBench::FrameShape;
using ZerinBench::Samples;

constexpr int kBatch = 16;
constexpr int kCountedFrames = 64;
constexpr int kRepetitions = 3;

const FrameShape kShapes[] = {{1, false}, {1, true}, {2, false}, {2, true}, {4, false}, {4, true}};

std::string runName(const FrameShape& shape) {
  return "Frame/" + std::to_string(shape.layers) + "x4" + (shape.depth ? "/depth" : "");
}

bool watch(benchmark::State& state, FrameBench& bench) {
  std::string error;
  const auto inPlugin = reinterpret_cast<const void*>(bench.host().exports().QueueSubmission);
  if (ZerinTest::watchAllocations(inPlugin, error)) return true;
  state.SkipWithError(("allocations cannot be counted: " + error).c_str());
  return false;
}

void Frame(benchmark::State& state, FrameShape shape) {
  FrameBench bench(shape);
  if (!bench.open()) return state.SkipWithError(bench.error().c_str());
  if (!watch(state, bench)) return;
  Samples plugin;
  Samples floor;
  for (auto _ : state) ZerinBench::timeFrames(bench, kBatch, plugin, floor);
  const ZerinBench::FrameAllocations counted = ZerinBench::countFrameAllocations(bench, kCountedFrames, 1);
  if (counted.eventsTaken != kCountedFrames) return state.SkipWithError("events were lost");
  state.counters["plugin_us"] = plugin.median() / 1e3;
  state.counters["floor_us"] = floor.median() / 1e3;
  state.counters["allocs_per_frame"] = static_cast<double>(counted.render) / kCountedFrames;
  state.counters["allocs_per_queue"] = static_cast<double>(counted.script) / kCountedFrames;
  state.SetLabel(ZerinBench::describe(shape));
}

void Queue(benchmark::State& state) {
  FrameBench bench(FrameShape{4, false});
  if (!bench.open()) return state.SkipWithError(bench.error().c_str());
  if (!watch(state, bench)) return;
  ZerinBench::QueueBench queueBench(bench);
  Samples queue;
  Samples copy;
  for (auto _ : state) queueBench.time(kBatch, queue, copy);
  state.counters["queue_ns"] = queue.median();
  state.counters["memcpy_ns"] = copy.median();
  state.counters["allocs_per_queue"] = static_cast<double>(queueBench.countAllocations(kCountedFrames)) / kCountedFrames;
}

std::vector<ZerinBench::Row> rows(const ZerinBench::Counters& counters) {
  using ZerinBench::counterRow;
  using ZerinBench::Goal;
  std::vector<ZerinBench::Row> table;
  for (const FrameShape& shape : kShapes) {
    Goal goal;
    goal.maxRatio = 1.2;
    if (shape.layers == 2 && shape.depth) goal.maxFigure = 5;
    table.push_back(counterRow(counters, "render frame " + ZerinBench::describe(shape), runName(shape), "plugin_us",
                               "floor_us", "us", goal));
  }
  Goal none;
  none.zero = true;
  for (const FrameShape& shape : kShapes)
    table.push_back(counterRow(counters, "allocations/steady frame " + ZerinBench::describe(shape), runName(shape),
                               "allocs_per_frame", "allocs_per_frame", "allocs", none));
  table.push_back(counterRow(counters, "allocations/QueueSubmission (4 layers)", "Queue", "allocs_per_queue",
                             "allocs_per_queue", "allocs", none));
  Goal twice;
  twice.maxRatio = 2;
  table.push_back(counterRow(counters, "QueueSubmission 4 layers vs memcpy 6440 B", "Queue", "queue_ns", "memcpy_ns",
                             "ns", twice));
  return table;
}

}  // namespace

int main(int argc, char** argv) {
  // Every device the benchmarks make is bare: calls do no pixel work and keep no record.
  ZerinSim::Gfx::setBareDevices(true);
  for (const FrameShape& shape : kShapes)
    benchmark::RegisterBenchmark(runName(shape).c_str(), Frame, shape)
        ->Repetitions(kRepetitions)
        ->ReportAggregatesOnly(true)
        ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("Queue", Queue)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);
  return ZerinBench::runWithTable(argc, argv, "Render thread and script side: plug-in against its floor", rows);
}
