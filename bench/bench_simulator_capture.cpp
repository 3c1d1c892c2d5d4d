// What a capture costs the render thread: zerin_EndFrameWithLayers of the headset simulator for
// a frame it captures against one it does not, in one run that captures every other frame
// (colour and depth of four 1024x1024 views). The pictures are converted, encoded and written
// by the simulator's writer thread meanwhile; headless runs never drop a capture, so when the
// writer falls behind the captured frames wait for it, and that shows here.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "gfx_device.h"
#include "gfx_textures.h"
#include "zerin_lib.h"

namespace {

namespace Gfx = ZerinSim::Gfx;
constexpr uint32_t kSide = 1024;
constexpr int kViews = 4;

class SimulatorFrames {
 public:
  SimulatorFrames() {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "zerin-bench-simulator";
    std::filesystem::create_directories(folder);
    const std::filesystem::path config = folder / "ZerinSimulator.json";
    std::ofstream(config) << R"({"capture": {"every": 2, "depth": true}, "output": ")" +
                                 (folder / "output").generic_string() + "\"}";
#if defined(_WIN32)
    _putenv_s("ZERIN_SIMULATOR_CONFIG", config.string().c_str());
#else
    setenv("ZERIN_SIMULATOR_CONFIG", config.string().c_str(), 1);
#endif
    gpu = Gfx::createDevice();
    session = zerin_SessionInit();
    if (!gpu || !session) return;
    frameInfo = zerin_CreateFrameInfo(session);
    submitInfo = zerin_CreateSubmitInfo(session);
    const ZerinSwapChainConfig colour{kSide, kSide, DXGI_FORMAT_R8G8B8A8_UNORM_SRGB,
                                      1,     1,     ZERIN_SWAPCHAIN_USAGE_COLOUR};
    const ZerinSwapChainConfig depth{kSide, kSide, DXGI_FORMAT_D32_FLOAT, 1, 1, ZERIN_SWAPCHAIN_USAGE_DEPTH};
    for (int v = 0; v < kViews; ++v) {
      colourChains.push_back(zerin_D3D11CreateSwapChain(session, gpu.device.get(), &colour));
      depthChains.push_back(zerin_D3D11CreateSwapChain(session, gpu.device.get(), &depth));
      depthExtensions[v] = ZerinDepthExtension{ZERIN_EXTENSION_DEPTH,
                                               nullptr,
                                               0.1,
                                               100.0,
                                               0.0,
                                               1.0,
                                               {depthChains[v], 0, 0, int32_t(kSide), int32_t(kSide), 0, 0}};
      views[v].colour = {colourChains[v], 0, 0, int32_t(kSide), int32_t(kSide), 0, 0};
      views[v].extensions = reinterpret_cast<const ZerinExtensionHeader*>(&depthExtensions[v]);
    }
    layer = ZerinRuntimeLayer{ZERIN_LAYER_PROJECTION, 0, 0, kViews, 0, views};
  }
  ~SimulatorFrames() {
    if (session) zerin_SessionShutDown(session);  // writes what is pending
  }
  bool ready() const { return gpu && session && colourChains.size() == kViews && colourChains.back(); }

  // One frame; the seconds its zerin_EndFrameWithLayers took, and whether it was captured.
  double frame(bool& captured) {
    zerin_WaitSync(session, frameInfo);
    zerin_BeginFrame(session, submitInfo);
    for (auto* chains : {&colourChains, &depthChains})
      for (ZerinSwapChain chain : *chains) {
        int32_t index = 0;
        zerin_AcquireSwapChainImage(chain, &index);
        zerin_ReleaseSwapChainImage(chain);
      }
    const ZerinRuntimeLayer* layers[4] = {&layer, &layer, &layer, &layer};
    const ZerinLayerSubmit submit{submitInfo->frameIndex, 0, 1, 0, layers};
    captured = submitInfo->frameIndex % 2 == 0;
    const auto start = std::chrono::steady_clock::now();
    zerin_EndFrameWithLayers(session, &submit);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }

 private:
  Gfx::Device gpu;
  ZerinSession session = nullptr;
  ZerinFrameInfo* frameInfo = nullptr;
  ZerinSubmitInfo* submitInfo = nullptr;
  std::vector<ZerinSwapChain> colourChains, depthChains;
  ZerinDepthExtension depthExtensions[kViews];
  ZerinRuntimeView views[kViews]{};
  ZerinRuntimeLayer layer{};
};

SimulatorFrames& frames() {
  static SimulatorFrames made;
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
