// Frame submission through the exports: what reaches the runtime for each queued submission
// (the layer records byte for byte, the acquire and release order of the images), the colour in
// the swap-chain images, and the frame cycle of events 10 and 11.
#include <algorithm>
#include <cstring>

#include "render_fixture.h"

#if !defined(_WIN32)
#include "gfx_soft_control.h"
#endif

namespace ZerinTest {
namespace {

using Lines = std::vector<std::string>;

// Bytes that tell every cell of every matrix apart, NaN patterns included: they must pass
// through untouched.
void fillMatrix(ZerinBridgeMatrix& matrix, unsigned seed) {
  auto* bytes = reinterpret_cast<uint8_t*>(&matrix);
  for (size_t i = 0; i < sizeof matrix; ++i) bytes[i] = static_cast<uint8_t>(i * 29 + seed * 113 + 0xF0);
}

int64_t int64At(const void* record, size_t offset) {
  int64_t value;
  std::memcpy(&value, static_cast<const uint8_t*>(record) + offset, sizeof value);
  return value;
}

class FrameSubmit : public RenderTest {
 protected:
  void SetUp() override {
    RenderTest::SetUp();
    ASSERT_NO_FATAL_FAILURE(openSession());
  }

  // One submitted frame after events 20, 10 and 11; fails the test when there is none.
  ZerinSimSubmittedFrame submitOne(int32_t count, const SubmissionLayer* layers) {
    zerinsim_ClearSubmittedFrames();
    plugin.QueueSubmission(count, layers);
    run({20, 10, 11});
    const auto submitted = frames();
    EXPECT_EQ(submitted.size(), 1u);
    return submitted.empty() ? ZerinSimSubmittedFrame{} : submitted.back();
  }
};

TEST_F(FrameSubmit, TheRecordedLayersEqualWhatTheScriptQueuedByteForByte) {
  SwapchainSlot* a = makeSwapchain(colourConfig(64, 64));
  SwapchainSlot* b = makeSwapchain(colourConfig(64, 64, 2));
  auto texture = colourTexture(8, 8, std::vector<uint32_t>(64, 0xff00ff00));
  SubmissionLayer layers[2] = {colourLayer({a, a, b, b}, texture.get(), 8, 8, 7),
                               colourLayer({b, a, b, a}, texture.get(), 16, 4, 9)};
  for (int l = 0; l < 2; ++l)
    for (int v = 0; v < 4; ++v) {
      fillMatrix(layers[l].views[v].matrix0, l * 8 + v);
      fillMatrix(layers[l].views[v].matrix1, l * 8 + v + 4);
      if (layers[l].views[v].colourSlot == b) layers[l].views[v].colourViewport.arrayIndex = 1;
    }
  const SubmissionLayer queued[2] = {layers[0], layers[1]};
  plugin.QueueSubmission(2, layers);
  std::memset(layers, 0, sizeof layers);  // the queue holds its own copy

  run({20, 10, 11});
  const auto submitted = frames();
  ASSERT_EQ(submitted.size(), 1u);
  const ZerinSimSubmittedFrame& frame = submitted[0];
  EXPECT_EQ(frame.error, 0) << "the runtime accepted the frame";
  const auto* info = static_cast<const ZerinSubmitInfo*>(zerinsim_FindObject("submitInfo#1"));
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(frame.submit.frameIndex, int64At(info, 24));
  EXPECT_EQ(frame.submit.frameIndex, 1);
  EXPECT_EQ(frame.submit.reserved0, 0);
  EXPECT_EQ(frame.submit.layerCount, 2);
  EXPECT_EQ(frame.submit.reserved1, 0);
  for (int l = 0; l < 4; ++l) {
    EXPECT_NE(frame.layerPointers[l], nullptr) << "all four layer pointers are set";
    for (int other = 0; other < l; ++other) EXPECT_NE(frame.layerPointers[l], frame.layerPointers[other]);
  }

  for (int l = 0; l < 2; ++l) {
    const ZerinRuntimeLayer& layer = frame.layers[l];
    EXPECT_EQ(layer.type, 1);
    EXPECT_EQ(layer.flags, queued[l].layerParam1);
    EXPECT_EQ(layer.sortOrder, queued[l].layerParam0);
    EXPECT_EQ(layer.viewCount, 4);
    EXPECT_EQ(layer.views, frame.layers[0].views + l * 4) << "sixteen consecutive views";
    for (int v = 0; v < 4; ++v) {
      const SubmissionView& script = queued[l].views[v];
      const ZerinRuntimeView& view = frame.views[l * 4 + v].view;
      EXPECT_EQ(view.extensions, nullptr);
      EXPECT_EQ(std::memcmp(&view.pose, &script.matrix0, sizeof(ZerinMatrix)), 0) << l << "/" << v;
      EXPECT_EQ(std::memcmp(&view.projection, &script.matrix1, sizeof(ZerinMatrix)), 0) << l << "/" << v;
      const ZerinSwapchainViewport expected{script.colourSlot->handle, script.colourViewport.x,
                                            script.colourViewport.y, script.colourViewport.width,
                                            script.colourViewport.height, script.colourViewport.arrayIndex, 0};
      EXPECT_EQ(std::memcmp(&view.colour, &expected, sizeof expected), 0) << l << "/" << v;
      EXPECT_EQ(frame.views[l * 4 + v].hasDepth, 0);
    }
  }
}

TEST_F(FrameSubmit, TheLayerParametersCrossAndAreSignExtended) {
  SwapchainSlot* a = makeSwapchain(colourConfig(16, 16));
  SubmissionLayer layer = colourLayer({a, a, a, a}, nullptr, 4, 4);
  layer.layerParam0 = 5;
  layer.layerParam1 = -1;
  const ZerinSimSubmittedFrame frame = submitOne(1, &layer);
  EXPECT_EQ(int64At(&frame.layers[0], 8), -1) << "offset 4 of the script's layer goes to the second field";
  EXPECT_EQ(int64At(&frame.layers[0], 16), 5) << "offset 0 goes to the third";
}

TEST_F(FrameSubmit, SixLayersAreStoredAsFour) {
  SwapchainSlot* a = makeSwapchain(colourConfig(16, 16));
  SubmissionLayer layers[6];
  for (int l = 0; l < 6; ++l) layers[l] = colourLayer({a, a, a, a}, nullptr, 4, 4, l + 1);
  const ZerinSimSubmittedFrame frame = submitOne(6, layers);
  EXPECT_EQ(frame.submit.layerCount, 4);
  for (int l = 0; l < 4; ++l) EXPECT_EQ(frame.layers[l].sortOrder, l + 1);
  EXPECT_EQ(swapChainsOf("zerin_AcquireSwapChainImage").size(), 16u);
}

TEST_F(FrameSubmit, ZeroLayersEndAnEmptyFrameWithFourLayerPointersAndNegativeCountsToo) {
  for (int32_t count : {0, -3}) {
    zerinsim_ClearCalls();
    const ZerinSimSubmittedFrame frame = submitOne(count, nullptr);
    EXPECT_EQ(frame.error, 0);
    EXPECT_EQ(frame.submit.layerCount, 0);
    for (int l = 0; l < 4; ++l) EXPECT_NE(frame.layerPointers[l], nullptr);
    EXPECT_TRUE(swapChainsOf("zerin_AcquireSwapChainImage").empty()) << "nothing to acquire";
    EXPECT_EQ(ZerinSim::callsTo("zerin_EndFrameWithLayers").size(), 1u);
  }
}

TEST_F(FrameSubmit, AnEntryNamingASlotThatStillReadsZeroIsDroppedWholeWithNothingAcquired) {
  SwapchainSlot* a = makeSwapchain(colourConfig(16, 16));
  const SwapchainConfig config = colourConfig(16, 16);
  SwapchainSlot* pending = plugin.QueueCreateD3D11Swapchain(&config);
  SubmissionLayer layers[2] = {colourLayer({a, a, a, a}, nullptr, 4, 4, 1),
                               colourLayer({a, a, a, pending}, nullptr, 4, 4, 2)};
  plugin.QueueSubmission(2, layers);
  SubmissionLayer next = colourLayer({a, a, a, a}, nullptr, 4, 4, 3);
  plugin.QueueSubmission(1, &next);
  zerinsim_ClearCalls();
  run({20, 10, 11});
  EXPECT_TRUE(frames().empty());
  for (const char* function : {"zerin_AcquireSwapChainImage", "zerin_GetSwapChainImage", "zerin_ToD3D11Texture",
                               "zerin_ReleaseSwapChainImage", "zerin_EndFrameWithLayers"})
    EXPECT_TRUE(ZerinSim::callsTo(function).empty()) << function;
  EXPECT_TRUE(callbackMessages().empty()) << "dropped without a message";

  // The dropped entry is gone: the next frame takes the one behind it.
  run({20, 10, 11});
  const auto submitted = frames();
  ASSERT_EQ(submitted.size(), 1u);
  EXPECT_EQ(submitted[0].layers[0].sortOrder, 3);
  plugin.QueueDestroySwapchain(pending);
}

TEST_F(FrameSubmit, ViewsNamingOneSwapChainAcquireAndReleaseItOncePerViewInViewOrder) {
  SwapchainSlot* a = makeSwapchain(colourConfig(32, 32));  // swapChain#1
  SwapchainSlot* b = makeSwapchain(colourConfig(32, 32));  // swapChain#2
  SwapchainSlot* c = makeSwapchain(colourConfig(32, 32));  // swapChain#3
  auto texture = colourTexture(4, 4, std::vector<uint32_t>(16, 0x80808080));
  SubmissionLayer layers[2] = {colourLayer({a, a, a, a}, texture.get(), 4, 4),
                               colourLayer({b, a, b, c}, texture.get(), 4, 4)};
  zerinsim_ClearCalls();
  const ZerinSimSubmittedFrame frame = submitOne(2, layers);
  EXPECT_EQ(frame.error, 0);
  const Lines order{"swapChain#1", "swapChain#1", "swapChain#1", "swapChain#1",
                    "swapChain#2", "swapChain#1", "swapChain#2", "swapChain#3"};
  EXPECT_EQ(swapChainsOf("zerin_AcquireSwapChainImage"), order);
  EXPECT_EQ(swapChainsOf("zerin_GetSwapChainImage"), order);
  EXPECT_EQ(swapChainsOf("zerin_ReleaseSwapChainImage"), order);

  // Every image is taken before the first copy, and given back before the frame is ended.
  const Lines called = calledFunctions();
  auto first = [&](const std::string& name) { return std::find(called.begin(), called.end(), name) - called.begin(); };
  auto last = [&](const std::string& name) {
    return called.rend() - std::find(called.rbegin(), called.rend(), name) - 1;
  };
  EXPECT_LT(last("zerin_GetSwapChainImage"), first("zerin_ToD3D11Texture"));
  EXPECT_LT(last("zerin_ToD3D11Texture"), first("zerin_ReleaseSwapChainImage"));
  EXPECT_LT(last("zerin_ReleaseSwapChainImage"), first("zerin_EndFrameWithLayers"));

  ZerinSimSwapChainState state{};
  ASSERT_EQ(zerinsim_GetSwapChainState(handle(a), &state), 1);
  EXPECT_EQ(state.acquires, 5);
  EXPECT_EQ(state.releases, 5);
  EXPECT_EQ(state.acquired, 0);
}

TEST_F(FrameSubmit, TheEnginesColourLandsAtTheOriginOfEachImage) {
  SwapchainSlot* a = makeSwapchain(colourConfig(16, 8));
  SwapchainSlot* b = makeSwapchain(colourConfig(16, 8, 2));
  std::vector<uint32_t> first(8 * 4), second(8 * 4);
  for (uint32_t i = 0; i < first.size(); ++i) {
    first[i] = 0xff000000u | (i * 0x010203u + 0x102030u);
    second[i] = 0x7f000000u | (i * 0x030201u + 0x405060u);
  }
  auto engineFirst = colourTexture(8, 4, first);
  auto engineSecond = colourTexture(8, 4, second);
  // View 1 lies in the right half of a and view 3 in slice 1 of b; the copy still goes to the
  // origin of subresource 0, the viewport only tells the runtime where to look.
  SubmissionLayer layer = colourLayer({a, a, b, b}, engineFirst.get(), 8, 4);
  layer.views[1].colourViewport = {8, 4, 8, 4, 0};
  layer.views[3].colourTexture = engineSecond.get();
  layer.views[3].colourViewport = {0, 0, 8, 4, 1};

  for (int round = 0; round < 2; ++round) {
    const ZerinSimSubmittedFrame frame = submitOne(1, &layer);
    EXPECT_EQ(frame.error, 0);
    EXPECT_EQ(frame.views[0].colourImage, round) << "each frame takes the next image";
    const auto imageA = ZerinSim::Gfx::rgbaPixels(ZerinSim::readSwapChainImage(handle(a), frame.views[0].colourImage));
    const auto imageB = ZerinSim::Gfx::rgbaPixels(ZerinSim::readSwapChainImage(handle(b), frame.views[2].colourImage));
    ASSERT_EQ(imageA.size(), 16u * 8u);
    ASSERT_EQ(imageB.size(), 16u * 8u);
    for (uint32_t y = 0; y < 4; ++y)
      for (uint32_t x = 0; x < 8; ++x) {
        ASSERT_EQ(imageA[y * 16 + x], first[y * 8 + x]) << "a at " << x << "," << y;
        // Views 2 and 3 both land in b's slice 0; view 3 copies last.
        ASSERT_EQ(imageB[y * 16 + x], second[y * 8 + x]) << "b at " << x << "," << y;
      }
  }
#if !defined(_WIN32)
  for (const auto& copy : ZerinSim::Gfx::calls(device(), "CopySubresourceRegion")) {
    if (copy.objects[1] != engineFirst.get() && copy.objects[1] != engineSecond.get()) continue;  // read-backs
    EXPECT_EQ(copy.values, (std::vector<double>{0, 0, 0, 0, 0, 0})) << "subresource 0 at (0, 0, 0), no box";
    EXPECT_TRUE(copy.problem.empty()) << copy.problem;
  }
#endif
}

TEST_F(FrameSubmit, AViewWithoutDepthNeverTouchesItsDepthFields) {
  SwapchainSlot* a = makeSwapchain(colourConfig(16, 16));
  SubmissionLayer layer = colourLayer({a, a, a, a}, nullptr, 4, 4);
  for (SubmissionView& view : layer.views) {
    view.depthSlot = reinterpret_cast<SwapchainSlot*>(uintptr_t(16));  // would fault if read
    view.hasExtraDepthParams = 1;
  }
  const ZerinSimSubmittedFrame frame = submitOne(1, &layer);
  EXPECT_EQ(frame.error, 0);
  for (int v = 0; v < 4; ++v) EXPECT_EQ(frame.views[v].view.extensions, nullptr) << "no extension at all";
}

TEST_F(FrameSubmit, TheEnginesDepthIsDrawnIntoTheDepthImageFromItsOrigin) {
  SwapchainSlot* a = makeSwapchain(colourConfig(16, 16));
  SwapchainSlot* depth = makeSwapchain({16, 16, DXGI_FORMAT_D32_FLOAT, 1, 1, ZERIN_SWAPCHAIN_USAGE_DEPTH});
  std::vector<float> values(8 * 8);
  for (size_t i = 0; i < values.size(); ++i) values[i] = 0.01f + 0.015f * static_cast<float>(i);
  auto engineDepth = ZerinSim::Gfx::createTexture(device(), 8, 8, DXGI_FORMAT_R32G8X24_TYPELESS,
                                                  D3D11_BIND_DEPTH_STENCIL | D3D11_BIND_SHADER_RESOURCE,
                                                  ZerinSim::Gfx::depthStencilTexels(values, 0x5a).data());
  ASSERT_TRUE(engineDepth);
  SubmissionLayer layer = colourLayer({a, a, a, a}, nullptr, 4, 4);
  SubmissionView& view = layer.views[1];
  view.hasDepth = 1;
  view.depthSlot = depth;
  view.depthViewport = {8, 8, 6, 5, 0};  // x and y only tell the runtime where the view lies
  view.depthTexture = engineDepth.get();
  const ZerinSimSubmittedFrame frame = submitOne(1, &layer);
  EXPECT_EQ(frame.error, 0);
  ASSERT_EQ(frame.views[1].hasDepth, 1);
  EXPECT_EQ(frame.views[1].depth.depth.swapChain, handle(depth));

  const std::vector<uint8_t> bytes = ZerinSim::readSwapChainImage(handle(depth), frame.views[1].depthImage);
  ASSERT_EQ(bytes.size(), 16u * 16u * 4u);
  std::vector<float> image(16 * 16);
  std::memcpy(image.data(), bytes.data(), bytes.size());
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) ASSERT_EQ(image[y * 16 + x], values[y * 8 + x]) << "at " << x << "," << y;
}

TEST_F(FrameSubmit, TheFrameValueIsReadFromTheSubmitInfoAtEverySubmission) {
  SwapchainSlot* a = makeSwapchain(colourConfig(16, 16));
  SubmissionLayer layer = colourLayer({a, a, a, a}, nullptr, 4, 4);
  plugin.QueueSubmission(1, &layer);
  run({20, 10});
  auto* info = static_cast<ZerinSubmitInfo*>(zerinsim_FindObject("submitInfo#1"));
  ASSERT_NE(info, nullptr);
  const int64_t value = 0x123456789A;
  std::memcpy(reinterpret_cast<uint8_t*>(info) + 24, &value, sizeof value);
  run({11});
  const auto submitted = frames();
  ASSERT_EQ(submitted.size(), 1u);
  EXPECT_EQ(submitted[0].submit.frameIndex, value);
  EXPECT_EQ(callbackMessages(), (Lines{"Error: (-2) Invalid argument"})) << "the runtime sees the mismatch";
}

TEST_F(FrameSubmit, TwoEvents10InARowSubmitTheOldestEntryBeforeBeginningTheNextFrame) {
  SwapchainSlot* a = makeSwapchain(colourConfig(16, 16));
  SubmissionLayer older = colourLayer({a, a, a, a}, nullptr, 4, 4, 1);
  SubmissionLayer newer = colourLayer({a, a, a, a}, nullptr, 4, 4, 2);
  plugin.QueueSubmission(1, &older);
  plugin.QueueSubmission(1, &newer);
  run({20, 10});
  zerinsim_ClearCalls();
  run({20, 10});
  Lines frameCalls;
  for (const auto& name : calledFunctions())
    if (name == "zerin_BeginFrame" || name == "zerin_EndFrameWithLayers") frameCalls.push_back(name);
  EXPECT_EQ(frameCalls, (Lines{"zerin_EndFrameWithLayers", "zerin_BeginFrame"}));
  auto submitted = frames();
  ASSERT_EQ(submitted.size(), 1u);
  EXPECT_EQ(submitted[0].layers[0].sortOrder, 1);
  EXPECT_EQ(submitted[0].begunFrameIndex, 1);
  run({11});
  submitted = frames();
  ASSERT_EQ(submitted.size(), 2u);
  EXPECT_EQ(submitted[1].layers[0].sortOrder, 2);
  EXPECT_EQ(submitted[1].begunFrameIndex, 2);
  EXPECT_EQ(submitted[1].error, 0);
}

TEST_F(FrameSubmit, AnEvent11WithAnEmptyQueueTouchesNothingAndStillEndsTheBegunState) {
  SwapchainSlot* a = makeSwapchain(colourConfig(16, 16));
  run({20, 10});
#if !defined(_WIN32)
  ZerinSim::Gfx::clearCalls(device());
#endif
  zerinsim_ClearCalls();
  run({11});
  EXPECT_EQ(calledFunctions(), (Lines{"zerin_GetError", "zerin_GetError"}));
#if !defined(_WIN32)
  EXPECT_TRUE(ZerinSim::Gfx::calls(device()).empty()) << "the device is not asked for its context";
#endif
  // No frame is begun now: an event 10 only begins one, it submits nothing.
  SubmissionLayer layer = colourLayer({a, a, a, a}, nullptr, 4, 4);
  plugin.QueueSubmission(1, &layer);
  run({10});
  EXPECT_TRUE(frames().empty());
  run({11});
  EXPECT_EQ(frames().size(), 1u);
}

TEST_F(FrameSubmit, TwoEntriesBeforeOneEvent11AreSubmittedOneAFrame) {
  SwapchainSlot* a = makeSwapchain(colourConfig(16, 16));
  SubmissionLayer layers[2] = {colourLayer({a, a, a, a}, nullptr, 4, 4, 1), colourLayer({a, a, a, a}, nullptr, 4, 4, 2)};
  plugin.QueueSubmission(1, &layers[0]);
  plugin.QueueSubmission(1, &layers[1]);
  run({20, 10, 11});
  ASSERT_EQ(frames().size(), 1u);
  run({20, 10, 11});
  const auto submitted = frames();
  ASSERT_EQ(submitted.size(), 2u);
  EXPECT_EQ(submitted[0].layers[0].sortOrder, 1);
  EXPECT_EQ(submitted[1].layers[0].sortOrder, 2);
}

}  // namespace
}  // namespace ZerinTest
