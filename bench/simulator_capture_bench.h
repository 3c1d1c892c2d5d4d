#pragma once
// A client of the headset simulator for the capture benchmarks: four 512x512 views with colour
// and depth, in a run that captures every other frame (colour and depth of each view). The run
// keeps the real clock at 20 Hz, as a desk run does, so that the writer thread converts, encodes
// and writes between frames and the times are the render thread's own: copies and maps. (A
// headless run on the virtual clock never drops a capture: there a writer behind makes the
// render thread wait, which says how fast the writer is, not what the render thread pays.)
#include <cstdint>
#include <vector>

#include "gfx_device.h"
#include "zerin_lib.h"

namespace ZerinBench {

class SimulatorFrames {
 public:
  static constexpr uint32_t kSide = 512;
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
