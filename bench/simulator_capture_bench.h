#pragma once
// A client of the headset simulator for the capture benchmarks: four 1024x1024 views with colour
// and depth, in a run that captures every other frame (colour and depth of each view). The
// pictures are converted, encoded and written by the simulator's writer thread meanwhile;
// headless runs never drop a capture, so when the writer falls behind the captured frames wait
// for it, and that shows in their times.
#include <cstdint>
#include <vector>

#include "gfx_device.h"
#include "zerin_lib.h"

namespace ZerinBench {

class SimulatorFrames {
 public:
  static constexpr uint32_t kSide = 1024;
  static constexpr int kViews = 4;

  // Configures the simulator (before its first call) and opens a session with the swap chains.
  SimulatorFrames();
  ~SimulatorFrames();  // ends the session, which writes what is pending
  bool ready() const;

  // One frame; the seconds its zerin_EndFrameWithLayers took, and whether it was captured.
  double frame(bool& captured);

 private:
  ZerinSim::Gfx::Device gpu;
  ZerinSession session = nullptr;
  ZerinFrameInfo* frameInfo = nullptr;
  ZerinSubmitInfo* submitInfo = nullptr;
  std::vector<ZerinSwapChain> colourChains, depthChains;
  ZerinDepthExtension depthExtensions[kViews];
  ZerinRuntimeView views[kViews]{};
  ZerinRuntimeLayer layer{};
};

}  // namespace ZerinBench
