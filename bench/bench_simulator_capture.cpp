// What a capture costs the render thread: zerin_EndFrameWithLayers of the headset simulator for
// a frame it captures against one it does not, in one run (simulator_capture_bench.h).
#include <benchmark/benchmark.h>

#include "simulator_capture_bench.h"

namespace {

ZerinBench::SimulatorFrames& frames() {
  static ZerinBench::SimulatorFrames made;
  return made;
}

// Each iteration runs two frames, one of each kind, and times the kind asked for.
void EndFrameWithLayers(benchmark::State& state) {
  const bool timeCaptured = state.range(0) != 0;
  if (!frames().ready()) return state.SkipWithError("no simulator session or swap chains");
  for (auto _ : state) {
    for (int i = 0; i < 2; ++i) {
      bool captured = false;
      const double seconds = frames().frame(captured);
      if (captured == timeCaptured) state.SetIterationTime(seconds);
    }
  }
  state.SetLabel(timeCaptured ? "captured: 4 views, colour and depth, 1024x1024" : "not captured");
}
BENCHMARK(EndFrameWithLayers)->ArgName("captured")->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
