// The simulated runtime's frame road through its API and control surface: the frame clock, the
// frame cycle and its record of submissions, swap chains of real textures, queued events.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>
#include <thread>

#include "gfx_device.h"
#include "gfx_textures.h"
#include "zerin_sim_control.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace Gfx = ZerinSim::Gfx;

ZerinSwapChainConfig colourConfig(uint32_t width, uint32_t height, uint32_t arraySize = 1) {
  return ZerinSwapChainConfig{width, height, DXGI_FORMAT_R8G8B8A8_UNORM, arraySize, 1, ZERIN_SWAPCHAIN_USAGE_COLOUR};
}

class SimFrames : public ::testing::Test {
 protected:
  void SetUp() override {
    zerinsim_Reset();
    zerinsim_SetFrameRate(0);
    session = zerin_SessionInit();
    ASSERT_NE(session, nullptr);
    frameInfo = zerin_CreateFrameInfo(session);
    submitInfo = zerin_CreateSubmitInfo(session);
    ASSERT_TRUE(frameInfo && submitInfo);
  }
  void TearDown() override { zerinsim_Reset(); }

  ZerinSession session = nullptr;
  ZerinFrameInfo* frameInfo = nullptr;
  ZerinSubmitInfo* submitInfo = nullptr;
};

// Frame views and poses carry their frame: that is what lets the plug-in's tests catch a mix.
TEST_F(SimFrames, EverySyncIsANewFrameWhoseViewsAndPosesCarryItsIndex) {
  for (int64_t frame = 1; frame <= 3; ++frame) {
    zerin_WaitSync(session, frameInfo);
    EXPECT_EQ(frameInfo->frameIndex, frame);
    for (int view = 0; view < ZERIN_VIEW_COUNT; ++view) {
      EXPECT_EQ(frameInfo->views[view].pose.m[3], double(frame));
      EXPECT_EQ(frameInfo->views[view].pose.m[7], double(view));
    }
    for (int64_t kind = 1; kind <= 3; ++kind) {
      const ZerinMatrix pose = zerin_FrameGetPose(session, kind);
      EXPECT_EQ(pose.m[3], double(frame));
      EXPECT_EQ(pose.m[7], double(kind));
    }
  }
  EXPECT_NE(frameInfo->views[0].pose.m[0], 1.0) << "the rotation changes from frame to frame";
  EXPECT_EQ(frameInfo->views[2].viewport.height, 1152) << "viewports stay as laid out";
  zerin_FrameGetPose(session, 4);
  EXPECT_EQ(zerin_GetError(session), ZERIN_ERROR_INVALID_ARGUMENT);
}

TEST_F(SimFrames, TheClockPacesSyncsAtItsRate) {
  zerinsim_SetFrameRate(50.0);
  const auto start = Clock::now();
  std::vector<int64_t> displayTimes;
  for (int i = 0; i < 6; ++i) {
    zerin_WaitSync(session, frameInfo);
    displayTimes.push_back(frameInfo->predictedDisplayTime);
  }
  // Six syncs fall on six different ticks after the start: at least five periods of 20 ms.
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(99));
  EXPECT_EQ(frameInfo->frameIndex, 6);
  for (size_t i = 1; i < displayTimes.size(); ++i) {
    const int64_t gap = displayTimes[i] - displayTimes[i - 1];
    EXPECT_GE(gap, 19999000) << "a tick apart at least";
    EXPECT_EQ((gap + 1000) % 20000000 / 2000, 0) << "on the clock's ticks: " << gap;
  }
}

TEST_F(SimFrames, AWaitingSyncReturnsWhenItsSessionCloses) {
  zerinsim_SetFrameRate(0.01);  // the next tick is far away
  auto waiting = std::async(std::launch::async, [this] { zerin_WaitSync(session, frameInfo); });
  EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
  zerin_SessionShutDown(session);  // other calls go on while one waits
  EXPECT_EQ(waiting.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(zerin_GetError(nullptr), ZERIN_ERROR_INVALID_SESSION);
}

TEST_F(SimFrames, BeginWritesTheFrameBegunAndEndRecordsTheSubmissionDeeply) {
  zerin_WaitSync(session, frameInfo);
  zerin_WaitSync(session, frameInfo);
  zerin_BeginFrame(session, submitInfo);
  EXPECT_EQ(submitInfo->frameIndex, 2);

  // A layer of no views' worth of swap chains fails the end; its bytes are recorded all the same.
  ZerinRuntimeView views[4]{};
  for (int v = 0; v < 4; ++v) views[v].pose.m[0] = 100 + v;
  ZerinExtraDepthExtension extra{ZERIN_EXTENSION_EXTRA_DEPTH, nullptr, 0.5, 0.25};
  ZerinDepthExtension depth{ZERIN_EXTENSION_DEPTH, reinterpret_cast<const ZerinExtensionHeader*>(&extra),
                            0.1, 50.0, 0.0, 1.0, {}};
  views[1].extensions = reinterpret_cast<const ZerinExtensionHeader*>(&depth);
  ZerinRuntimeLayer layer{ZERIN_LAYER_PROJECTION, -1, 5, 4, 0, views};
  ZerinRuntimeLayer unused{};
  const ZerinRuntimeLayer* pointers[4] = {&layer, &unused, &unused, &unused};
  ZerinLayerSubmit submit{2, 0, 1, 0, pointers};
  zerin_EndFrameWithLayers(session, &submit);
  EXPECT_EQ(zerin_GetError(session), ZERIN_ERROR_INVALID_ARGUMENT) << "the views name no swap chain";

  ZerinSimSubmittedFrame frame{};
  ASSERT_EQ(zerinsim_SubmittedFrameCount(), 1);
  ASSERT_EQ(zerinsim_GetSubmittedFrame(0, &frame), 1);
  EXPECT_EQ(frame.begunFrameIndex, 2);
  EXPECT_EQ(frame.error, ZERIN_ERROR_INVALID_ARGUMENT);
  EXPECT_EQ(std::memcmp(&frame.submit, &submit, sizeof submit), 0);
  EXPECT_EQ(frame.layerPointers[0], &layer);
  EXPECT_EQ(frame.layerPointers[3], &unused);
  EXPECT_EQ(std::memcmp(&frame.layers[0], &layer, sizeof layer), 0);
  for (int v = 0; v < 4; ++v) EXPECT_EQ(frame.views[v].view.pose.m[0], 100 + v);
  EXPECT_EQ(frame.views[0].hasDepth, 0);
  ASSERT_EQ(frame.views[1].hasDepth, 1);
  ASSERT_EQ(frame.views[1].hasExtraDepth, 1);
  EXPECT_EQ(frame.views[1].depth.farZ, 50.0);
  EXPECT_EQ(frame.views[1].extraDepth.depthOffset, 0.25);

  zerin_EndFrameWithLayers(session, &submit);
  EXPECT_EQ(zerin_GetError(session), ZERIN_ERROR_INVALID_STATE) << "no frame is begun";
}

// The record is a ring: once full, each frame takes the oldest one's place, whose copies are
// zeroed first; readers still see the kept frames oldest first.
TEST_F(SimFrames, KeptFramesAreTheLatestOldestFirstInSlotsZeroedAnew) {
  zerinsim_SetKeptFrameCount(3);
  ZerinRuntimeView views[4]{};
  views[2].pose.m[0] = 7;
  ZerinRuntimeLayer layer{ZERIN_LAYER_PROJECTION, 0, 0, 4, 0, views};
  const ZerinRuntimeLayer* pointers[4] = {&layer, &layer, &layer, &layer};
  for (int64_t marker = 1; marker <= 5; ++marker) {
    // The first frame fills a layer's copies; the later ones have no layers.
    ZerinLayerSubmit submit{marker, 0, marker == 1 ? 1 : 0, 0, pointers};
    zerin_EndFrameWithLayers(session, &submit);
  }
  ASSERT_EQ(zerinsim_SubmittedFrameCount(), 3);
  for (int32_t i = 0; i < 3; ++i) {
    ZerinSimSubmittedFrame frame{};
    ASSERT_EQ(zerinsim_GetSubmittedFrame(i, &frame), 1);
    EXPECT_EQ(frame.submit.frameIndex, 3 + i);
    EXPECT_EQ(frame.views[2].view.pose.m[0], 0.0) << "frame " << i << " holds copies of an older frame";
  }
  zerinsim_Reset();
  EXPECT_EQ(zerinsim_SubmittedFrameCount(), 0);
}

TEST_F(SimFrames, QueuedEventsArePolledOldestFirst) {
  ZerinEvent first{ZERIN_EVENT_VISIBILITY, 10, {}};
  first.data.u32 = 1;
  ZerinEvent second{ZERIN_EVENT_BUTTON, 20, {}};
  second.data.i64 = 0x200000007;
  zerinsim_QueueEvent(&first);
  zerinsim_QueueEvent(&second);
  EXPECT_EQ(zerinsim_PendingEventCount(), 2);
  ZerinEvent event{};
  ASSERT_EQ(zerin_PollEvent(session, &event), 1);
  EXPECT_EQ(std::memcmp(&event, &first, sizeof event), 0);
  ASSERT_EQ(zerin_PollEvent(session, &event), 1);
  EXPECT_EQ(std::memcmp(&event, &second, sizeof event), 0);
  EXPECT_EQ(zerin_PollEvent(session, &event), 0);
  EXPECT_EQ(zerin_PollEvent(session, nullptr), 0);
  EXPECT_EQ(zerin_GetError(session), ZERIN_ERROR_INVALID_ARGUMENT);
}

class SimSwapChains : public SimFrames {
 protected:
  void SetUp() override {
    SimFrames::SetUp();
    gpu = Gfx::createDevice();
    ASSERT_TRUE(gpu) << "D3D11CreateDevice failed: 0x" << std::hex << gpu.result;
  }
  // Swap chains go before the device does.
  void TearDown() override {
    zerinsim_Reset();
    gpu = Gfx::Device{};
  }

  Gfx::Device gpu;
};

TEST_F(SimSwapChains, ImagesAreTexturesOfTheDeviceAsConfigured) {
  const ZerinSwapChainConfig colour = colourConfig(64, 32, 2);
  ZerinSwapChain chain = zerin_D3D11CreateSwapChain(session, gpu.device.get(), &colour);
  ASSERT_NE(chain, nullptr);
  EXPECT_EQ(zerinsim_LiveObjectCount("swapChain"), 1);
  const ZerinSwapChainImage image = zerin_GetSwapChainImage(chain, 2);
  EXPECT_EQ(image.index, 2);
  EXPECT_EQ(image.width, 64u);
  ID3D11Texture2D* texture = zerin_ToD3D11Texture(image);
  ASSERT_NE(texture, nullptr);
  D3D11_TEXTURE2D_DESC desc;
  texture->GetDesc(&desc);
  EXPECT_EQ(desc.Height, 32u);
  EXPECT_EQ(desc.ArraySize, 2u);
  EXPECT_EQ(desc.Format, DXGI_FORMAT_R8G8B8A8_UNORM);
  EXPECT_EQ(desc.BindFlags, UINT(D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET));
  ID3D11Device* owner = nullptr;
  texture->GetDevice(&owner);
  EXPECT_EQ(owner, gpu.device.get());
  owner->Release();

  const ZerinSwapChainConfig depth{16, 16, DXGI_FORMAT_D32_FLOAT, 1, 1, ZERIN_SWAPCHAIN_USAGE_DEPTH};
  ZerinSwapChain depthChain = zerin_D3D11CreateSwapChain(session, gpu.device.get(), &depth);
  ASSERT_NE(depthChain, nullptr);
  zerin_ToD3D11Texture(zerin_GetSwapChainImage(depthChain, 0))->GetDesc(&desc);
  EXPECT_EQ(desc.Format, DXGI_FORMAT_R32_TYPELESS);
  EXPECT_EQ(desc.BindFlags, UINT(D3D11_BIND_DEPTH_STENCIL | D3D11_BIND_SHADER_RESOURCE));
  EXPECT_EQ(zerin_GetError(session), 0);

  zerin_FreeSwapChain(chain);
  // A freed swap chain belongs to no session any more: its errors are the library's.
  EXPECT_EQ(zerin_ToD3D11Texture(image), nullptr) << "a freed swap chain's images are gone";
  EXPECT_EQ(zerin_GetError(nullptr), ZERIN_ERROR_INVALID_ARGUMENT);
  zerin_FreeSwapChain(chain);
  EXPECT_EQ(zerin_GetError(nullptr), ZERIN_ERROR_INVALID_ARGUMENT) << "a second free is caught";
  EXPECT_EQ(zerin_GetError(session), 0);
  zerin_SessionShutDown(session);
  EXPECT_EQ(zerinsim_LiveObjectCount("swapChain"), 0) << "the session's swap chains end with it";
}

TEST_F(SimSwapChains, BadConfigurationsAreRefused) {
  const ZerinSwapChainConfig bad[] = {
      colourConfig(0, 8),
      colourConfig(8, 8, 0),
      {8, 8, DXGI_FORMAT_R8G8B8A8_UNORM, 1, 4, ZERIN_SWAPCHAIN_USAGE_COLOUR},
      {8, 8, DXGI_FORMAT_R8G8B8A8_UNORM, 1, 1, 0},
      {8, 8, DXGI_FORMAT_R8G8B8A8_UNORM, 1, 1, ZERIN_SWAPCHAIN_USAGE_DEPTH},
  };
  for (const auto& config : bad) {
    EXPECT_EQ(zerin_D3D11CreateSwapChain(session, gpu.device.get(), &config), nullptr);
    EXPECT_EQ(zerin_GetError(session), ZERIN_ERROR_INVALID_ARGUMENT);
  }
  const ZerinSwapChainConfig good = colourConfig(8, 8);
  EXPECT_EQ(zerin_D3D11CreateSwapChain(session, nullptr, &good), nullptr);
  EXPECT_EQ(zerin_D3D11CreateSwapChain(session, gpu.device.get(), nullptr), nullptr);
  EXPECT_EQ(zerinsim_LiveObjectCount("swapChain"), 0);
}

TEST_F(SimSwapChains, RepeatedAcquiresWithinAFrameShareAnImageAndReleasesAdvanceIt) {
  const ZerinSwapChainConfig config = colourConfig(8, 8);
  ZerinSwapChain chain = zerin_D3D11CreateSwapChain(session, gpu.device.get(), &config);
  ASSERT_NE(chain, nullptr);
  ZerinSimSwapChainState state{};
  std::vector<int32_t> shown;
  for (int frame = 0; frame < 4; ++frame) {
    int32_t first = -1, second = -1;
    zerin_AcquireSwapChainImage(chain, &first);
    zerin_AcquireSwapChainImage(chain, &second);
    EXPECT_EQ(first, second);
    zerin_ReleaseSwapChainImage(chain);
    ASSERT_EQ(zerinsim_GetSwapChainState(chain, &state), 1);
    EXPECT_EQ(state.acquired, 1);
    EXPECT_EQ(state.lastReleased, frame == 0 ? -1 : shown.back()) << "shown only once all are released";
    zerin_ReleaseSwapChainImage(chain);
    ASSERT_EQ(zerinsim_GetSwapChainState(chain, &state), 1);
    shown.push_back(state.lastReleased);
  }
  EXPECT_EQ(shown, (std::vector<int32_t>{0, 1, 2, 0}));
  EXPECT_EQ(state.acquires, 8);
  EXPECT_EQ(state.releases, 8);
  EXPECT_EQ(zerin_GetError(session), 0);
  zerin_ReleaseSwapChainImage(chain);
  EXPECT_EQ(zerin_GetError(session), ZERIN_ERROR_INVALID_STATE) << "nothing is acquired";
}

TEST_F(SimSwapChains, ImagesReadBackTexelForTexel) {
  const ZerinSwapChainConfig config = colourConfig(4, 2, 2);
  ZerinSwapChain chain = zerin_D3D11CreateSwapChain(session, gpu.device.get(), &config);
  ASSERT_NE(chain, nullptr);
  const std::vector<uint32_t> pixels = {0x11223344, 0x55667788, 0x99aabbcc, 0xddeeff00,
                                        0x01020304, 0x05060708, 0x090a0b0c, 0x0d0e0f10};
  auto source = Gfx::createTexture(gpu.device.get(), 4, 2, DXGI_FORMAT_R8G8B8A8_UNORM, D3D11_BIND_SHADER_RESOURCE,
                                   Gfx::rgbaTexels(pixels).data());
  ASSERT_TRUE(source);
  ID3D11Texture2D* image = zerin_ToD3D11Texture(zerin_GetSwapChainImage(chain, 1));
  // Into the second array slice of image 1.
  gpu.context->CopySubresourceRegion(image, 1, 0, 0, 0, source.get(), 0, nullptr);

  EXPECT_EQ(Gfx::rgbaPixels(ZerinSim::readSwapChainImage(chain, 1, 1)), pixels);
  EXPECT_EQ(zerinsim_ReadSwapChainImage(chain, 1, 0, nullptr, 0), 32);
  EXPECT_EQ(zerinsim_ReadSwapChainImage(chain, 3, 0, nullptr, 0), 0) << "three images";
  EXPECT_EQ(zerinsim_ReadSwapChainImage(chain, 0, 2, nullptr, 0), 0) << "two slices";
}

}  // namespace
