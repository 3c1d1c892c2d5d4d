#include "render_fixture.h"

namespace ZerinTest {

SwapchainConfig colourConfig(uint32_t width, uint32_t height, uint32_t arraySize) {
  return SwapchainConfig{width, height, DXGI_FORMAT_R8G8B8A8_UNORM, arraySize, 1, ZERIN_BRIDGE_SWAPCHAIN_USAGE_COLOUR};
}

std::string firstArgument(const std::string& line) {
  const size_t open = line.find('(');
  const size_t end = line.find_first_of(",)", open);
  return open == std::string::npos || end == std::string::npos ? "" : line.substr(open + 1, end - open - 1);
}

std::vector<std::string> swapChainsOf(const std::string& function) {
  std::vector<std::string> names;
  for (const auto& line : ZerinSim::callsTo(function)) names.push_back(firstArgument(line));
  return names;
}

std::vector<std::string> calledFunctions() {
  std::vector<std::string> names;
  for (const auto& line : ZerinSim::calls()) names.push_back(line.substr(0, line.find('(')));
  return names;
}

ZerinSim::EngineOptions RenderTest::engineOptions() const {
  ZerinSim::EngineOptions options;
  options.createDevice = true;
  return options;
}

void RenderTest::SetUp() {
  PluginTest::SetUp();
  // Frame syncs return at once unless a test sets a rate.
  zerinsim_SetFrameRate(0);
  if (engineOptions().createDevice) {
    ASSERT_NE(host->device(), nullptr) << host->error();
  }
  ASSERT_NO_FATAL_FAILURE(loadPlugin());
  ASSERT_TRUE(host->startRendering()) << host->error();
}

void RenderTest::TearDown() {
  if (host && plugin.IsSessionNull && !plugin.IsSessionNull()) {
    // The script gives its swap chains back, and no frame stays begun for a later test of the
    // same process.
    for (SwapchainSlot* slot : madeSlots) plugin.QueueDestroySwapchain(slot);
    run({11, 13});
    plugin.EndSession();
  }
  if (host) host->renderThread().stop();
  PluginTest::TearDown();
}

void RenderTest::run(std::initializer_list<int32_t> events) {
  for (int32_t id : events) host->renderThread().issuePluginEvent(id);
  host->renderThread().waitUntilIdle();
}

void RenderTest::openSession() {
  ASSERT_TRUE(plugin.InitSession());
  clearLogs();
}

SwapchainSlot* RenderTest::makeSwapchain(const SwapchainConfig& config) {
  SwapchainSlot* slot = plugin.QueueCreateD3D11Swapchain(&config);
  EXPECT_NE(slot, nullptr);
  if (!slot) return nullptr;
  run({13});
  EXPECT_NE(slot->handle, nullptr) << "the swap chain was not made";
  madeSlots.push_back(slot);
  return slot;
}

Ref<ID3D11Texture2D> RenderTest::colourTexture(uint32_t width, uint32_t height, const std::vector<uint32_t>& pixels) {
  auto texture = ZerinSim::Gfx::createTexture(device(), width, height, DXGI_FORMAT_R8G8B8A8_UNORM,
                                              D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET,
                                              ZerinSim::Gfx::rgbaTexels(pixels).data());
  EXPECT_TRUE(texture);
  return texture;
}

SubmissionLayer RenderTest::colourLayer(SwapchainSlot* const (&slots)[4], ID3D11Resource* texture, int32_t width,
                                        int32_t height, int32_t tag) {
  SubmissionLayer layer{};
  layer.layerParam0 = tag;
  layer.layerParam1 = -tag;
  for (int v = 0; v < 4; ++v) {
    SubmissionView& view = layer.views[v];
    for (int cell = 0; cell < 16; ++cell) {
      view.matrix0.m[cell] = tag * 1000 + v * 100 + cell + 0.5;
      view.matrix1.m[cell] = -(tag * 1000 + v * 100 + cell + 0.25);
    }
    view.colourSlot = slots[v];
    view.colourViewport = {v, 2 * v, width, height, 0};
    view.colourTexture = texture;
  }
  return layer;
}

ID3D11DeviceContext* RenderTest::context() const {
  ID3D11DeviceContext* immediate = nullptr;
  device()->GetImmediateContext(&immediate);
  // The device keeps the context; handing out the plain pointer is enough for a test.
  immediate->Release();
  return immediate;
}

}  // namespace ZerinTest
