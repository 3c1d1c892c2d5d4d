// The depth side of a submission, driven from the plug-in's own library on the test's thread:
// the depth extensions that reach the runtime, the depth pass run per depth view, and the
// engine's render targets saved once and bound again after the frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "gfx_device.h"
#include "gfx_textures.h"
#include "plugin/plugin_lifecycle.h"
#include "plugin/session.h"
#include "render/depth_copy_objects.h"
#include "render/render_events.h"
#include "render/render_requests.h"
#include "zerin_sim_control.h"

#if !defined(_WIN32)
#include "gfx_soft_control.h"
#endif

namespace {

namespace Gfx = ZerinSim::Gfx;
using Gfx::Ref;

ID3D11Device* engineDevice = nullptr;
ID3D11Device* getEngineDevice() { return engineDevice; }
IUnityGraphicsD3D11 engineGraphics{};

std::vector<std::string> firstArguments(const char* function) {
  std::vector<std::string> names;
  for (const auto& line : ZerinSim::callsTo(function)) {
    const size_t open = line.find('(');
    names.push_back(line.substr(open + 1, line.find_first_of(",)", open) - open - 1));
  }
  return names;
}

class DepthSubmit : public ::testing::Test {
 protected:
  void SetUp() override {
    zerinsim_Reset();
    zerinsim_SetFrameRate(0);
    gpu = Gfx::createDevice();
    ASSERT_TRUE(gpu) << "D3D11CreateDevice failed: 0x" << std::hex << gpu.result;
    engineDevice = gpu.device.get();
    engineGraphics.GetDevice = &getEngineDevice;
    Zerin::unityGraphicsD3D11.store(&engineGraphics);
    ASSERT_TRUE(Zerin::initSession());

    colour = make({16, 16, DXGI_FORMAT_R8G8B8A8_UNORM, 1, 1, ZERIN_SWAPCHAIN_USAGE_COLOUR});
    depth = make({16, 16, DXGI_FORMAT_D32_FLOAT, 1, 1, ZERIN_SWAPCHAIN_USAGE_DEPTH});
    for (auto* texture : {&engineDepthA, &engineDepthB}) {
      *texture = Gfx::createTexture(engineDevice, 8, 8, DXGI_FORMAT_R32G8X24_TYPELESS,
                                    D3D11_BIND_DEPTH_STENCIL | D3D11_BIND_SHADER_RESOURCE,
                                    Gfx::depthStencilTexels(std::vector<float>(64, 0.25f)).data());
      ASSERT_TRUE(*texture);
    }

    // The engine's own targets, bound when the frame is submitted.
    engineColour = Gfx::createTexture(engineDevice, 8, 8, DXGI_FORMAT_R8G8B8A8_UNORM, D3D11_BIND_RENDER_TARGET, nullptr);
    engineTarget = Gfx::createTexture(engineDevice, 8, 8, DXGI_FORMAT_D32_FLOAT, D3D11_BIND_DEPTH_STENCIL, nullptr);
    ASSERT_TRUE(engineColour && engineTarget);
    ASSERT_EQ(engineDevice->CreateRenderTargetView(engineColour.get(), nullptr, renderTarget.put()), S_OK);
    ASSERT_EQ(engineDevice->CreateDepthStencilView(engineTarget.get(), nullptr, depthStencil.put()), S_OK);
    ID3D11RenderTargetView* targets[] = {renderTarget.get()};
    gpu.context->OMSetRenderTargets(1, targets, depthStencil.get());
  }

  void TearDown() override {
    if (gpu) gpu.context->ClearState();
    if (Zerin::session.load()) {
      for (Zerin::SwapchainSlot* slot : {colour, depth})
        if (slot) Zerin::queueDestroySwapchain(slot);
      Zerin::onRenderEvent(11);
      Zerin::onRenderEvent(13);
      Zerin::endSession();
    }
    // As the device's shutdown does: the pass's objects belong to this test's device.
    Zerin::releaseDepthCopyObjects();
    Zerin::unityGraphicsD3D11.store(nullptr);
    zerinsim_Reset();
  }

  Zerin::SwapchainSlot* make(const Zerin::SwapchainConfig& config) {
    Zerin::SwapchainSlot* slot = Zerin::queueCreateD3D11Swapchain(&config);
    Zerin::onRenderEvent(13);
    EXPECT_NE(slot->handle, nullptr);
    return slot;
  }

  // Four colour views; views 0 and 2 also have depth, view 0 with the extra parameters.
  Zerin::SubmissionLayer layerWithDepth() const {
    Zerin::SubmissionLayer layer{};
    for (int v = 0; v < 4; ++v) {
      Zerin::SubmissionView& view = layer.views[v];
      view.colourSlot = colour;
      view.colourViewport = {0, 0, 8, 8, 0};
      if (v % 2 == 1) continue;
      view.hasDepth = 1;
      view.depthSlot = depth;
      view.depthViewport = {v, 2, 4, 4, 0};
      view.depthTexture = (v == 0 ? engineDepthA : engineDepthB).get();
      for (int i = 0; i < 4; ++i) view.depthParams[i] = int64_t(0x0102030405060708) * (i + 1) + v;
      view.extraDepthParams[0] = -5;
      view.extraDepthParams[1] = int64_t(0x7ff8000000000001);  // a NaN's bits pass unchanged
      view.hasExtraDepthParams = v == 0;
    }
    return layer;
  }

  ZerinSimSubmittedFrame submit(const Zerin::SubmissionLayer& layer) {
    Zerin::queueSubmission(1, &layer);
    for (int id : {20, 10, 11}) Zerin::onRenderEvent(id);
    ZerinSimSubmittedFrame frame{};
    EXPECT_EQ(zerinsim_SubmittedFrameCount(), 1);
    zerinsim_GetSubmittedFrame(0, &frame);
    return frame;
  }

  Gfx::Device gpu;
  Zerin::SwapchainSlot* colour = nullptr;
  Zerin::SwapchainSlot* depth = nullptr;
  Ref<ID3D11Texture2D> engineDepthA, engineDepthB, engineColour, engineTarget;
  Ref<ID3D11RenderTargetView> renderTarget;
  Ref<ID3D11DepthStencilView> depthStencil;
};

TEST_F(DepthSubmit, DepthExtensionsCarryTheScriptsParametersAndTheDepthSwapChain) {
  const Zerin::SubmissionLayer layer = layerWithDepth();
  zerinsim_ClearCalls();
  const ZerinSimSubmittedFrame frame = submit(layer);
  EXPECT_EQ(frame.error, 0);

  for (int v : {0, 2}) {
    const ZerinSimSubmittedView& view = frame.views[v];
    ASSERT_EQ(view.hasDepth, 1) << v;
    EXPECT_EQ(view.depth.type, 1);
    EXPECT_EQ(std::memcmp(&view.depth.nearZ, layer.views[v].depthParams, 32), 0) << "passed through unchanged";
    const ZerinSwapchainViewport expected{depth->handle, v, 2, 4, 4, 0, 0};
    EXPECT_EQ(std::memcmp(&view.depth.depth, &expected, sizeof expected), 0);
    EXPECT_EQ(view.depthImage, 0);
  }
  ASSERT_EQ(frame.views[0].hasExtraDepth, 1);
  EXPECT_EQ(frame.views[0].extraDepth.type, 2);
  EXPECT_EQ(frame.views[0].extraDepth.next, nullptr);
  EXPECT_EQ(std::memcmp(&frame.views[0].extraDepth.depthScale, layer.views[0].extraDepthParams, 16), 0);
  EXPECT_EQ(frame.views[2].hasExtraDepth, 0);
  EXPECT_EQ(frame.views[2].depth.next, nullptr) << "no extra parameters, no second extension";
  EXPECT_EQ(frame.views[1].view.extensions, nullptr);
  EXPECT_EQ(frame.views[3].view.extensions, nullptr);

  // Colour then depth, view by view, given back in the same order.
  const std::vector<std::string> order{"swapChain#1", "swapChain#2", "swapChain#1",
                                       "swapChain#1", "swapChain#2", "swapChain#1"};
  EXPECT_EQ(firstArguments("zerin_AcquireSwapChainImage"), order);
  EXPECT_EQ(firstArguments("zerin_ReleaseSwapChainImage"), order);
  // The pass draws into the depth image of each depth view.
  EXPECT_EQ(firstArguments("zerin_ToD3D11Texture"),
            (std::vector<std::string>{"swapChain#1", "swapChain#2", "swapChain#1", "swapChain#1", "swapChain#2",
                                      "swapChain#1"}));
}

TEST_F(DepthSubmit, TheEnginesTargetsAreSavedOnceAndBoundAgainAfterTheFrame) {
  const ULONG targetReferences = Gfx::referenceCount(renderTarget.get());
  const ULONG depthReferences = Gfx::referenceCount(depthStencil.get());
#if !defined(_WIN32)
  Gfx::clearCalls(engineDevice);
#endif
  const ZerinSimSubmittedFrame frame = submit(layerWithDepth());
  EXPECT_EQ(frame.error, 0);
  EXPECT_NE(Zerin::depthCopyPS, nullptr) << "the first depth view made the pipeline";

  ID3D11RenderTargetView* boundTarget = nullptr;
  ID3D11DepthStencilView* boundDepth = nullptr;
  gpu.context->OMGetRenderTargets(1, &boundTarget, &boundDepth);
  EXPECT_EQ(boundTarget, renderTarget.get());
  EXPECT_EQ(boundDepth, depthStencil.get());
  if (boundTarget) boundTarget->Release();
  if (boundDepth) boundDepth->Release();
  EXPECT_EQ(Gfx::referenceCount(renderTarget.get()), targetReferences) << "saving took references, binding gave them back";
  EXPECT_EQ(Gfx::referenceCount(depthStencil.get()), depthReferences);
#if !defined(_WIN32)
  EXPECT_EQ(Gfx::callCount(engineDevice, "OMGetRenderTargets"), 2u) << "saved once (the other is this test's)";
  EXPECT_EQ(Gfx::callCount(engineDevice, "Draw"), 2u) << "one pass per depth view";
  const auto binds = Gfx::calls(engineDevice, "OMSetRenderTargets");
  ASSERT_EQ(binds.size(), 3u) << "two passes, then the engine's targets once";
  EXPECT_EQ(binds[2].objects, (std::vector<const void*>{renderTarget.get(), depthStencil.get()}));
#endif
}

#if !defined(_WIN32)
TEST_F(DepthSubmit, AViewWhosePixelShaderFailedIsSubmittedWithoutItsPassAndTheNextViewTriesAgain) {
  Gfx::failNextCompile("PS", "PS(1,1): error X3000: syntax error\n");
  Gfx::clearCalls(engineDevice);
  const ZerinSimSubmittedFrame frame = submit(layerWithDepth());
  EXPECT_EQ(frame.error, 0);
  EXPECT_EQ(frame.views[0].hasDepth, 1) << "the extension goes to the runtime all the same";
  EXPECT_EQ(frame.views[2].hasDepth, 1);
  EXPECT_EQ(Gfx::callCount(engineDevice, "Draw"), 1u) << "view 2 made the shader and drew";
  EXPECT_EQ(Gfx::callCount(engineDevice, "OMGetRenderTargets"), 1u);
}
#endif

TEST_F(DepthSubmit, ADepthViewNamingAnEmptySlotMakesTheEntryInvalid) {
  Zerin::SubmissionLayer layer = layerWithDepth();
  Zerin::SwapchainSlot empty{nullptr};
  layer.views[2].depthSlot = &empty;
  Zerin::queueSubmission(1, &layer);
  zerinsim_ClearCalls();
  for (int id : {20, 10, 11}) Zerin::onRenderEvent(id);
  EXPECT_EQ(zerinsim_SubmittedFrameCount(), 0);
  EXPECT_TRUE(ZerinSim::callsTo("zerin_AcquireSwapChainImage").empty());
  EXPECT_EQ(Zerin::depthCopyPS, nullptr) << "no pass was prepared for a dropped entry";
}

// ---- textures that come and go -------------------------------------------------------------

// An engine that re-creates its depth texture and a script that re-creates its depth swap chain,
// frame after frame: the views cached for them go with them, while a texture that stays keeps
// its view however long it is used.
TEST_F(DepthSubmit, ReCreatedTexturesAndSwapChainsLeaveNeitherViewsNorTexturesBehind) {
  constexpr int kRecreations = 1000;
  constexpr int kImages = ZERINSIM_SWAPCHAIN_IMAGE_COUNT;
  const Zerin::SwapchainConfig depthConfig{16, 16, DXGI_FORMAT_D32_FLOAT, 1, 1, ZERIN_SWAPCHAIN_USAGE_DEPTH};
  zerinsim_SetCallLogging(0);
  size_t objectsAfterFirstRound = 0;
  std::atomic<int> enginesGone{0}, imagesGone{0};
  size_t largestInputCache = 0, largestTargetCache = 0;
  Zerin::SubmissionLayer layer = layerWithDepth();
  layer.views[2].hasDepth = 0;
  Ref<ID3D11Texture2D> engineDepth;  // the engine lets go of each when it makes the next
  for (int round = 0; round < kRecreations; ++round) {
    engineDepth = Gfx::createTexture(engineDevice, 8, 8, DXGI_FORMAT_R32G8X24_TYPELESS,
                                     D3D11_BIND_DEPTH_STENCIL | D3D11_BIND_SHADER_RESOURCE, nullptr);
    ASSERT_TRUE(engineDepth && Gfx::countDestruction(engineDepth.get(), enginesGone));
    Zerin::queueDestroySwapchain(depth);
    depth = make(depthConfig);
    ASSERT_NE(depth->handle, nullptr);
    for (int32_t image = 0; image < kImages; ++image) {
      ID3D11Texture2D* texture = zerin_ToD3D11Texture(zerin_GetSwapChainImage(depth->handle, image));
      ASSERT_TRUE(Gfx::countDestruction(texture, imagesGone));
    }

    layer.views[0].depthTexture = engineDepth.get();
    layer.views[0].depthSlot = depth;
    Zerin::queueSubmission(1, &layer);
    for (int id : {20, 10, 11}) Zerin::onRenderEvent(id);
    largestInputCache = std::max(largestInputCache, Zerin::depthSrvCache.size());
    largestTargetCache = std::max(largestTargetCache, Zerin::depthDsvCache.size());
#if !defined(_WIN32)
    if (round == 0) objectsAfterFirstRound = Gfx::liveObjects(engineDevice);
#endif
  }
  EXPECT_EQ(zerinsim_SubmittedFrameCount(), kRecreations);
  EXPECT_LE(largestInputCache, 1u);
  EXPECT_LE(largestTargetCache, 1u);
  // Only the last round's are left: its engine texture and its swap chain.
  EXPECT_EQ(enginesGone.load(), kRecreations - 1);
  EXPECT_EQ(imagesGone.load(), (kRecreations - 1) * kImages);
#if !defined(_WIN32)
  EXPECT_EQ(Gfx::liveObjects(engineDevice), objectsAfterFirstRound);
#else
  (void)objectsAfterFirstRound;
#endif

  // Textures that stay keep their views past every periodic look (the engine texture, and the
  // images of the last swap chain, taken in turn), while one that the engine lets go of without
  // making another goes at the next look.
  layer.views[0].depthTexture = engineDepthA.get();
  for (int frame = 0; frame < kImages; ++frame) {
    Zerin::queueSubmission(1, &layer);
    for (int id : {20, 10, 11}) Zerin::onRenderEvent(id);
  }
  ID3D11ShaderResourceView* const input = Zerin::depthSrvCache.at(engineDepthA.get());
  const auto targets = Zerin::depthDsvCache;
  EXPECT_EQ(targets.size(), size_t(kImages));
  engineDepth.reset();
#if !defined(_WIN32)
  Gfx::clearCalls(engineDevice);
#endif
  for (int frame = 0; frame < 600; ++frame) {
    Zerin::queueSubmission(1, &layer);
    for (int id : {20, 10, 11}) Zerin::onRenderEvent(id);
  }
  EXPECT_EQ(enginesGone.load(), kRecreations);
  EXPECT_EQ(Zerin::depthSrvCache.size(), 1u);
  EXPECT_EQ(Zerin::depthSrvCache.at(engineDepthA.get()), input);
  EXPECT_EQ(Zerin::depthDsvCache, targets);
#if !defined(_WIN32)
  EXPECT_EQ(Gfx::callCount(engineDevice, "CreateShaderResourceView"), 0u);
  EXPECT_EQ(Gfx::callCount(engineDevice, "CreateDepthStencilView"), 0u);
  EXPECT_EQ(Gfx::callCount(engineDevice, "Draw"), 600u);
#endif
}

}  // namespace
