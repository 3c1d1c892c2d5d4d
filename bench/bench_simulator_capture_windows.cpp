// The capture cost of bench_simulator_capture on Windows (under Wine: the real Direct3D 11
// device), timed by this program itself: the median zerin_EndFrameWithLayers of frames the
// simulator captures and of those it does not.
#include <cstdio>

#include "samples.h"
#include "simulator_capture_bench.h"

int main() {
  ZerinBench::SimulatorFrames frames;
  if (!frames.ready()) {
    std::fprintf(stderr, "bench_simulator_capture: no simulator session or swap chains\n");
    return 1;
  }
  ZerinBench::Samples plain, captured;
  for (int i = 0; i < 200; ++i) {
    bool wasCaptured = false;
    const double seconds = frames.frame(wasCaptured);
    (wasCaptured ? captured : plain).add(seconds * 1e6);
  }
  std::printf("EndFrameWithLayers not captured: median %.1f us over %zu frames\n", plain.median(), plain.count());
  std::printf("EndFrameWithLayers captured (4 views, colour and depth, %ux%u): median %.1f us over %zu frames\n",
              ZerinBench::SimulatorFrames::kSide, ZerinBench::SimulatorFrames::kSide, captured.median(),
              captured.count());
  return 0;
}
