// Captures and the report of a run, through a client of the runtime's API in a child process
// (this program again): what it submitted, as pictures and as counts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <tuple>

#include "child_process.h"
#include "gfx_device.h"
#include "gfx_textures.h"
#include "simulator_harness.h"
#include "zerin_lib.h"

namespace {

namespace Gfx = ZerinSim::Gfx;

// The client's swap chains: RGBA with two slices (a part of slice 1 is shown), BGRA sRGB, depth,
// and a format no picture is made of.
constexpr uint32_t kRgbaWidth = 8, kRgbaHeight = 6;
constexpr ZerinSwapchainViewport kRgbaView{nullptr, 2, 1, 4, 3, 1, 0};
constexpr uint32_t kSide = 4;

uint8_t texelByte(int64_t frame, uint32_t slice, uint32_t x, uint32_t y, int channel) {
  return static_cast<uint8_t>(frame * 7 + slice * 50 + x * 16 + y * 3 + channel * 60);
}

float depthValue(int64_t frame, uint32_t x, uint32_t y) {
  const uint32_t i = y * kSide + x;
  if (i == 1) return -0.5f;  // clamped to black
  if (i == 2) return 2.0f;   // clamped to white
  if (i == 3) return std::numeric_limits<float>::quiet_NaN();
  return float(i + frame) / 32.0f;
}

uint8_t depthGrey(float value) { return value > 0.0f ? uint8_t(std::lround(std::min(value, 1.0f) * 255.0f)) : 0; }

// Fills every slice of the acquired image of `chain` with the frame's texels.
void fill(ID3D11Device* device, ZerinSwapChain chain, int64_t frame, bool depth) {
  int32_t index = -1;
  zerin_AcquireSwapChainImage(chain, &index);
  ID3D11Texture2D* image = zerin_ToD3D11Texture(zerin_GetSwapChainImage(chain, index));
  D3D11_TEXTURE2D_DESC desc;
  image->GetDesc(&desc);
  const UINT texel = Gfx::bytesPerTexel(desc.Format);
  std::vector<uint8_t> texels(size_t(desc.Width) * desc.Height * desc.ArraySize * texel);
  for (uint32_t s = 0; s < desc.ArraySize; ++s)
    for (uint32_t y = 0; y < desc.Height; ++y)
      for (uint32_t x = 0; x < desc.Width; ++x) {
        uint8_t* out = &texels[((size_t(s) * desc.Height + y) * desc.Width + x) * texel];
        if (depth) {
          const float value = depthValue(frame, x, y);
          std::memcpy(out, &value, 4);
        } else {
          for (UINT c = 0; c < texel; ++c) out[c] = texelByte(frame, s, x, y, int(c % 4));
        }
      }
  D3D11_TEXTURE2D_DESC sourceDesc = desc;
  sourceDesc.BindFlags = D3D11_BIND_SHADER_RESOURCE;
  const Gfx::Ref<ID3D11Texture2D> source = Gfx::createTexture(device, sourceDesc, texels.data());
  Gfx::Ref<ID3D11DeviceContext> context;
  device->GetImmediateContext(context.put());
  context->CopyResource(image, source.get());
  zerin_ReleaseSwapChainImage(chain);
}

// Frames 1 to 6; frame 5 is synced and never submitted. Even frames have a second layer.
void runClient(bool shutDown) {
  Gfx::Device gpu = Gfx::createDevice();
  ASSERT_TRUE(gpu);
  ZerinSession session = zerin_SessionInit();
  ASSERT_NE(session, nullptr) << zerin_GetErrorDesc(zerin_GetError(nullptr));
  ZerinFrameInfo* frameInfo = zerin_CreateFrameInfo(session);
  ZerinSubmitInfo* submitInfo = zerin_CreateSubmitInfo(session);
  const ZerinSwapChainConfig configs[] = {
      {kRgbaWidth, kRgbaHeight, DXGI_FORMAT_R8G8B8A8_UNORM, 2, 1, ZERIN_SWAPCHAIN_USAGE_COLOUR},
      {kSide, kSide, DXGI_FORMAT_B8G8R8A8_UNORM_SRGB, 1, 1, ZERIN_SWAPCHAIN_USAGE_COLOUR},
      {kSide, kSide, DXGI_FORMAT_D32_FLOAT, 1, 1, ZERIN_SWAPCHAIN_USAGE_DEPTH},
      {kSide, kSide, DXGI_FORMAT_R16G16B16A16_FLOAT, 1, 1, ZERIN_SWAPCHAIN_USAGE_COLOUR}};
  ZerinSwapChain chains[4];
  for (int i = 0; i < 4; ++i)
    ASSERT_NE(chains[i] = zerin_D3D11CreateSwapChain(session, gpu.device.get(), &configs[i]), nullptr);

  for (int64_t frame = 1; frame <= 6; ++frame) {
    zerin_WaitSync(session, frameInfo);
    ASSERT_EQ(frameInfo->frameIndex, frame);
    if (frame == 5) continue;
    zerin_BeginFrame(session, submitInfo);
    for (int i = 0; i < 4; ++i) fill(gpu.device.get(), chains[i], frame, i == 2);
    ZerinDepthExtension depth{ZERIN_EXTENSION_DEPTH,
                              nullptr,
                              0.1,
                              100.0,
                              0.0,
                              1.0,
                              {chains[2], 1, 0, int32_t(kSide) - 1, int32_t(kSide), 0, 0}};
    ZerinRuntimeView views[3]{};
    views[0].colour = kRgbaView;
    views[0].colour.swapChain = chains[0];
    views[0].extensions = reinterpret_cast<const ZerinExtensionHeader*>(&depth);
    views[1].colour = {chains[1], 0, 0, int32_t(kSide), int32_t(kSide), 0, 0};
    views[2].colour = {chains[3], 0, 0, int32_t(kSide), int32_t(kSide), 0, 0};
    const ZerinRuntimeLayer first{ZERIN_LAYER_PROJECTION, 0, 0, 2, 0, &views[0]};
    const ZerinRuntimeLayer second{ZERIN_LAYER_PROJECTION, 0, 1, 1, 0, &views[2]};
    const ZerinRuntimeLayer* layers[4] = {&first, &second, &second, &second};
    const ZerinLayerSubmit submit{submitInfo->frameIndex, 0, frame % 2 == 0 ? 2 : 1, 0, layers};
    zerin_EndFrameWithLayers(session, &submit);
    ASSERT_EQ(zerin_GetError(session), 0) << "frame " << frame;
  }
  if (shutDown) zerin_SessionShutDown(session);
}

TEST(SimulatorClient, DISABLED_RunsAndShutsDown) { runClient(true); }
TEST(SimulatorClient, DISABLED_RunsAndExits) { runClient(false); }

const char* kConfig = R"({"capture": {"frames": [2], "every": 3, "depth": true}})";

ZerinTest::SimulatorRun runClientProcess(const std::string& name, const std::string& test) {
  ZerinTest::SimulatorRunOptions options;
  options.program = ZerinTest::programPath();
  options.arguments = {"--gtest_also_run_disabled_tests", "--gtest_filter=SimulatorClient.DISABLED_" + test};
  options.config = kConfig;
  return ZerinTest::runWithSimulator(name, options);
}

std::vector<std::string> expectedCaptures() {
  std::vector<std::string> names;
  for (const char* frame : {"000002", "000003", "000006"})
    for (const char* view : {"layer0-view0-colour", "layer0-view0-depth", "layer0-view1-colour"})
      names.push_back(std::string("frame-") + frame + "-" + view + ".png");
  return names;
}

class SimulatorCaptures : public ::testing::TestWithParam<const char*> {};

// Both ends of a run write everything: the session's end, and the process's end without it.
TEST_P(SimulatorCaptures, WriteEachAskedViewAsReceivedAndTheReportCountsTheRun) {
  const ZerinTest::SimulatorRun run = runClientProcess(std::string("client-") + GetParam(), GetParam());
  ASSERT_EQ(run.exitCode, 0) << [&] {
    std::string all;
    for (auto& l : run.output) all += l + "\n";
    return all;
  }();
  ASSERT_FALSE(run.report.is_null()) << run.reportProblem;
  EXPECT_EQ(ZerinTest::filesIn(run.outputFolder, ".png"), expectedCaptures());
  const nlohmann::json& report = run.report;
  EXPECT_EQ(report["runtime"], "ZerinSimulator");
  EXPECT_EQ(report["configuration"], ZerinTest::joinPath(run.folder, "ZerinSimulator.json"));
  EXPECT_EQ(report["framesReceived"], 5);
  EXPECT_EQ(report["framesAccepted"], 5);
  EXPECT_EQ(report["missedFrames"], 1) << "frame 5 was synced and never submitted";
  EXPECT_EQ(report["layersPerFrame"], nlohmann::json::parse(R"({"1": 2, "2": 3})"));
  EXPECT_EQ(report["viewsPerFrame"], nlohmann::json::parse(R"({"2": 2, "3": 3})"));
  EXPECT_EQ(report["captures"], nlohmann::json(expectedCaptures()));
  EXPECT_EQ(report["capturesDropped"], 0);
  EXPECT_GE(report["frameIntervalMilliseconds"]["p99"].get<double>(),
            report["frameIntervalMilliseconds"]["median"].get<double>());
  EXPECT_TRUE(report["events"].is_array() && report["findings"].is_array());

  // Frame 2's pictures: the viewports' parts (of slice 1), BGRA turned to RGBA, depth as grey.
  const auto rgba = ZerinTest::readPicture(run.outputFile("frame-000002-layer0-view0-colour.png"));
  const auto bgra = ZerinTest::readPicture(run.outputFile("frame-000002-layer0-view1-colour.png"));
  const auto depth = ZerinTest::readPicture(run.outputFile("frame-000002-layer0-view0-depth.png"));
  ASSERT_TRUE(rgba && bgra && depth);
  ASSERT_EQ(std::make_tuple(rgba->width, rgba->height, rgba->channels), std::make_tuple(4, 3, 4));
  ASSERT_EQ(std::make_tuple(bgra->width, bgra->height, bgra->channels), std::make_tuple(4, 4, 4));
  ASSERT_EQ(std::make_tuple(depth->width, depth->height, depth->channels), std::make_tuple(3, 4, 1));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x)
      for (int c = 0; c < 4; ++c)
        ASSERT_EQ(rgba->pixels[(y * 4 + x) * 4 + c], texelByte(2, 1, x + 2, y + 1, c)) << x << "," << y << "," << c;
  for (int i = 0; i < 16; ++i) {
    const int swapped[4] = {2, 1, 0, 3};
    for (int c = 0; c < 4; ++c) ASSERT_EQ(bgra->pixels[i * 4 + c], texelByte(2, 0, i % 4, i / 4, swapped[c])) << i;
  }
  for (int i = 0; i < 12; ++i) ASSERT_EQ(depth->pixels[i], depthGrey(depthValue(2, i % 3 + 1, i / 3))) << i;
}

INSTANTIATE_TEST_SUITE_P(Ends, SimulatorCaptures, ::testing::Values("RunsAndShutsDown", "RunsAndExits"));

}  // namespace
