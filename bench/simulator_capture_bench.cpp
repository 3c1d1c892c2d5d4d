#include "simulator_capture_bench.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace ZerinBench {

namespace Gfx = ZerinSim::Gfx;

SimulatorFrames::SimulatorFrames() {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "zerin-bench-simulator";
  std::filesystem::create_directories(folder);
  const std::filesystem::path config = folder / "ZerinSimulator.json";
  std::ofstream(config) << R"({"capture": {"every": 2, "depth": true}, "output": ")" +
                               (folder / "output").generic_string() + "\"}";
  // putenv keeps the text it is given, on both targets.
  static std::string variable;
  variable = "ZERIN_SIMULATOR_CONFIG=" + config.string();
  putenv(&variable[0]);
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

SimulatorFrames::~SimulatorFrames() {
  if (session) zerin_SessionShutDown(session);
}

bool SimulatorFrames::ready() const { return gpu && session && colourChains.size() == kViews && colourChains.back(); }

double SimulatorFrames::frame(bool& captured) {
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

}  // namespace ZerinBench
