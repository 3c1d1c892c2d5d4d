// Frames with depth through the plug-in's exports, the engine host's render thread and a real
// device: what lands in the runtime's depth images, the depth records the runtime receives, the
// engine's targets around the frame, and the depth copy objects across device shutdown and
// unload.
#include <cstring>

#include "render_fixture.h"

#if !defined(_WIN32)
#include "gfx_soft_control.h"
#endif

namespace ZerinTest {
namespace {

namespace Gfx = ZerinSim::Gfx;
using Lines = std::vector<std::string>;

constexpr uint32_t kEngineWidth = 64, kEngineHeight = 48;
constexpr uint32_t kImageWidth = 160, kImageHeight = 40;
constexpr uint32_t kColourWidth = 64, kColourHeight = 32;  // fits the colour images
constexpr int kImages = ZERINSIM_SWAPCHAIN_IMAGE_COUNT;

const char* const kGoodbye =
    "Cleanup done. Final message before cleaning up log pointer.\n"
    "This conversation can serve no purpose any more. Goodbye.";

std::vector<float> depthPattern(size_t count, unsigned seed) {
  std::vector<float> values(count);
  for (size_t index = 0; index < count; ++index)
    values[index] = 0.001f + 0.998f * static_cast<float>((index * 7919 + seed * 104729) % 65536) / 65536.0f;
  return values;
}

std::vector<float> asFloats(const std::vector<uint8_t>& bytes) {
  std::vector<float> values(bytes.size() / sizeof(float));
  if (!values.empty()) std::memcpy(values.data(), bytes.data(), values.size() * sizeof(float));
  return values;
}

class DepthFrame : public RenderTest {
 protected:
  void SetUp() override {
    RenderTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_NO_FATAL_FAILURE(openSession());
    colour = makeSwapchain(colourConfig(kImageWidth, kImageHeight));
    depth = makeSwapchain({kImageWidth, kImageHeight, DXGI_FORMAT_D32_FLOAT, 1, 1, ZERIN_SWAPCHAIN_USAGE_DEPTH});
    ASSERT_TRUE(colour && depth);
    engineValues = depthPattern(kEngineWidth * kEngineHeight, 1);
    engineDepth = host->createDepthTexture(kEngineWidth, kEngineHeight, engineValues, 0x5a);
    ASSERT_TRUE(engineDepth);
    std::vector<uint32_t> pixels(kColourWidth * kColourHeight);
    for (uint32_t i = 0; i < pixels.size(); ++i) pixels[i] = 0xff000000u | (i * 0x010305u + 0x204060u);
    engineColourPixels = pixels;
    engineColour = colourTexture(kColourWidth, kColourHeight, pixels);
    ASSERT_TRUE(engineColour);
    ASSERT_NO_FATAL_FAILURE(fillDepthImages());
    clearLogs();
  }

  // Gives every image of the depth swap chain values of its own, so that untouched texels show.
  // The render thread is idle: the test may use the immediate context meanwhile.
  void fillDepthImages() {
    for (int i = 0; i < kImages; ++i) {
      imageValues[i] = depthPattern(kImageWidth * kImageHeight, 10 + i);
      ID3D11Texture2D* image = zerin_ToD3D11Texture(zerin_GetSwapChainImage(handle(depth), i));
      ASSERT_NE(image, nullptr);
      auto source = Gfx::createTexture(device(), kImageWidth, kImageHeight, DXGI_FORMAT_R32_TYPELESS,
                                       D3D11_BIND_SHADER_RESOURCE, Gfx::floatTexels(imageValues[i]).data());
      ASSERT_TRUE(source);
      context()->CopyResource(image, source.get());
      ASSERT_EQ(asFloats(ZerinSim::readSwapChainImage(handle(depth), i)), imageValues[i]);
    }
  }

  // Four views: each copies the engine's colour; views with depth name the depth swap chain and
  // the engine's depth texture.
  SubmissionLayer layer(std::initializer_list<int> depthViews, ImageViewport viewport) const {
    SubmissionLayer out = colourLayer({colour, colour, colour, colour}, engineColour.get(), 8, 8);
    for (int v : depthViews) {
      SubmissionView& view = out.views[v];
      view.hasDepth = 1;
      view.depthSlot = depth;
      view.depthViewport = viewport;
      view.depthTexture = engineDepth.get();
    }
    return out;
  }

  ZerinSimSubmittedFrame submitOne(const SubmissionLayer& submitted) {
    zerinsim_ClearSubmittedFrames();
    plugin.QueueSubmission(1, &submitted);
    run({20, 10, 11});
    const auto all = frames();
    EXPECT_EQ(all.size(), 1u);
    return all.empty() ? ZerinSimSubmittedFrame{} : all.back();
  }

  // Every texel of depth image `image`: the engine's depth inside (0, 0, width, height), the
  // image's own values outside.
  void expectDepthImage(int image, int32_t width, int32_t height, const std::vector<float>& engine) {
    ASSERT_GE(image, 0);
    ASSERT_LT(image, kImages);
    const std::vector<float> after = asFloats(ZerinSim::readSwapChainImage(handle(depth), image));
    ASSERT_EQ(after.size(), size_t(kImageWidth) * kImageHeight);
    size_t wrong = 0;
    for (int32_t y = 0; y < int32_t(kImageHeight); ++y)
      for (int32_t x = 0; x < int32_t(kImageWidth); ++x) {
        const float expected =
            (x < width && y < height) ? engine[y * kEngineWidth + x] : imageValues[image][y * kImageWidth + x];
        if (after[y * kImageWidth + x] != expected && ++wrong <= 5)
          ADD_FAILURE() << "depth image " << image << " at " << x << "," << y << ": " << after[y * kImageWidth + x]
                        << " instead of " << expected;
      }
    EXPECT_EQ(wrong, 0u);
  }

  void expectColourImage(int image) {
    const auto pixels = Gfx::rgbaPixels(ZerinSim::readSwapChainImage(handle(colour), image));
    ASSERT_EQ(pixels.size(), size_t(kImageWidth) * kImageHeight);
    for (uint32_t y = 0; y < kColourHeight; ++y)
      for (uint32_t x = 0; x < kColourWidth; ++x)
        ASSERT_EQ(pixels[y * kImageWidth + x], engineColourPixels[y * kColourWidth + x]) << x << "," << y;
  }

  // The objects the depth pass leaves bound on the context, each with a reference of ours.
  struct BoundPipeline {
    Ref<ID3D11VertexShader> vs;
    Ref<ID3D11PixelShader> ps;
    Ref<ID3D11DepthStencilState> depthState;
    Ref<ID3D11RasterizerState> rasterState;
  };
  BoundPipeline boundPipeline() {
    BoundPipeline bound;
    context()->VSGetShader(bound.vs.put(), nullptr, nullptr);
    context()->PSGetShader(bound.ps.put(), nullptr, nullptr);
    UINT stencilRef = 0;
    context()->OMGetDepthStencilState(bound.depthState.put(), &stencilRef);
    context()->RSGetState(bound.rasterState.put());
    return bound;
  }

  Ref<ID3D11ShaderResourceView> boundInput() {
    Ref<ID3D11ShaderResourceView> input;
    context()->PSGetShaderResources(0, 1, input.put());
    return input;
  }

  // How many objects of the device exist: the software device counts them; on the system's
  // device every object made by it holds a reference to it.
  size_t deviceObjects() {
#if defined(_WIN32)
    return Gfx::referenceCount(device());
#else
    return Gfx::liveObjects(device());
#endif
  }

  SwapchainSlot* colour = nullptr;
  SwapchainSlot* depth = nullptr;
  std::vector<float> engineValues;
  std::vector<uint32_t> engineColourPixels;
  std::vector<float> imageValues[kImages];
  Ref<ID3D11Texture2D> engineDepth;
  Ref<ID3D11Texture2D> engineColour;
};

// ---- what lands in the images --------------------------------------------------------------------

class DepthFrameViewports : public DepthFrame, public ::testing::WithParamInterface<int32_t> {};

// The engine renders with its own depth texture bound as depth target. After the frame its
// depth is in the depth image from (0, 0), whatever the viewport's x; the colour is copied as
// well, and the engine's targets are bound again.
TEST_P(DepthFrameViewports, TheEnginesDepthFillsTheViewportRectangleFromTheOrigin) {
  const int32_t x = GetParam();
  Ref<ID3D11RenderTargetView> engineRtv;
  ASSERT_EQ(device()->CreateRenderTargetView(engineColour.get(), nullptr, engineRtv.put()), S_OK);
  D3D11_DEPTH_STENCIL_VIEW_DESC dsvDesc{};
  dsvDesc.Format = DXGI_FORMAT_D32_FLOAT_S8X24_UINT;
  dsvDesc.ViewDimension = D3D11_DSV_DIMENSION_TEXTURE2D;
  Ref<ID3D11DepthStencilView> engineDsv;
  ASSERT_EQ(device()->CreateDepthStencilView(engineDepth.get(), &dsvDesc, engineDsv.put()), S_OK);
  ID3D11RenderTargetView* rtv = engineRtv.get();
  context()->OMSetRenderTargets(1, &rtv, engineDsv.get());

  const ZerinSimSubmittedFrame frame = submitOne(layer({1}, {x, 0, 40, 30, 0}));
  EXPECT_EQ(frame.error, 0);
  ASSERT_EQ(frame.views[1].hasDepth, 1);
  const ZerinSwapchainViewport expected{handle(depth), x, 0, 40, 30, 0, 0};
  EXPECT_EQ(std::memcmp(&frame.views[1].depth.depth, &expected, sizeof expected), 0);
  expectDepthImage(frame.views[1].depthImage, 40, 30, engineValues);
  expectColourImage(frame.views[0].colourImage);

  Ref<ID3D11RenderTargetView> boundRtv;
  Ref<ID3D11DepthStencilView> boundDsv;
  context()->OMGetRenderTargets(1, boundRtv.put(), boundDsv.put());
  EXPECT_EQ(boundRtv.get(), engineRtv.get());
  EXPECT_EQ(boundDsv.get(), engineDsv.get());
#if !defined(_WIN32)
  EXPECT_EQ(Gfx::problems(device()), Lines{}) << "nothing was refused or ignored";
#endif
}

INSTANTIATE_TEST_SUITE_P(X, DepthFrameViewports, ::testing::Values(0, 100));

TEST_F(DepthFrame, EachFrameDrawsIntoTheImageItAcquired) {
  for (int round = 0; round < kImages; ++round) {
    engineValues = depthPattern(kEngineWidth * kEngineHeight, 20 + round);
    engineDepth = host->createDepthTexture(kEngineWidth, kEngineHeight, engineValues);
    ASSERT_TRUE(engineDepth);
    const ZerinSimSubmittedFrame frame = submitOne(layer({0, 3}, {0, 0, 20 + 10 * round, 10 + round, 0}));
    ASSERT_EQ(frame.views[3].depthImage, round);
    expectDepthImage(round, 20 + 10 * round, 10 + round, engineValues);
  }
}

// ---- the records the runtime receives ------------------------------------------------------------

TEST_F(DepthFrame, DepthExtensionsCarryTheScriptsValuesAndOnlyViewsWithDepthHaveThem) {
  SubmissionLayer submitted = layer({0, 1, 3}, {0, 0, 8, 8, 0});
  for (int v = 0; v < 4; ++v) {
    SubmissionView& view = submitted.views[v];
    view.depthViewport = {10 * v + 1, v + 2, 30 - v, 20 + v, 0};
    for (int i = 0; i < 4; ++i) view.depthParams[i] = (int64_t(v + 1) << 40) - 7 * i;
    view.extraDepthParams[0] = -int64_t(v) - 1;
    view.extraDepthParams[1] = int64_t(0x7ff8000000000001) + v;  // NaN bits pass unchanged
  }
  submitted.views[0].hasExtraDepthParams = 1;
  submitted.views[1].hasExtraDepthParams = 0;
  submitted.views[2].hasExtraDepthParams = 1;  // but no depth
  submitted.views[2].depthSlot = nullptr;
  submitted.views[3].hasExtraDepthParams = 7;

  const ZerinSimSubmittedFrame frame = submitOne(submitted);
  EXPECT_EQ(frame.error, 0);
  for (int v : {0, 1, 3}) {
    SCOPED_TRACE(v);
    const ZerinSimSubmittedView& view = frame.views[v];
    ASSERT_EQ(view.hasDepth, 1);
    EXPECT_EQ(view.depth.type, 1);
    EXPECT_EQ(std::memcmp(&view.depth.nearZ, submitted.views[v].depthParams, 32), 0);
    const ImageViewport& viewport = submitted.views[v].depthViewport;
    const ZerinSwapchainViewport expected{handle(depth), viewport.x, viewport.y, viewport.width, viewport.height,
                                          viewport.arrayIndex, 0};
    EXPECT_EQ(std::memcmp(&view.depth.depth, &expected, sizeof expected), 0);
  }
  for (int v : {0, 3}) {
    SCOPED_TRACE(v);
    ASSERT_EQ(frame.views[v].hasExtraDepth, 1);
    EXPECT_EQ(frame.views[v].extraDepth.type, 2);
    EXPECT_EQ(frame.views[v].extraDepth.next, nullptr);
    EXPECT_EQ(std::memcmp(&frame.views[v].extraDepth.depthScale, submitted.views[v].extraDepthParams, 16), 0);
  }
  EXPECT_EQ(frame.views[1].hasExtraDepth, 0);
  EXPECT_EQ(frame.views[1].depth.next, nullptr) << "depth without extra parameters ends the chain";
  EXPECT_EQ(frame.views[2].view.extensions, nullptr) << "no depth, no extension, extra parameters or not";
  EXPECT_EQ(frame.views[2].hasDepth, 0);
}

// ---- the pipeline and the view caches --------------------------------------------------------------

TEST_F(DepthFrame, ThePipelineIsMadeOnceAndViewsAreMadeOncePerTexture) {
  auto otherValues = depthPattern(kEngineWidth * kEngineHeight, 2);
  auto otherDepth = host->createDepthTexture(kEngineWidth, kEngineHeight, otherValues);
  ASSERT_TRUE(otherDepth);
#if !defined(_WIN32)
  Gfx::clearCompiles();
  Gfx::clearCalls(device());
#endif

  // Frame 1: three views share one engine depth texture and one image.
  ZerinSimSubmittedFrame frame = submitOne(layer({0, 1, 2}, {0, 0, 40, 30, 0}));
  const BoundPipeline first = boundPipeline();
  ASSERT_TRUE(first.vs && first.ps && first.depthState && first.rasterState);
  const Ref<ID3D11ShaderResourceView> engineInput = boundInput();
  ASSERT_TRUE(engineInput);
  context()->ClearState();
  const size_t afterFirst = deviceObjects();
#if !defined(_WIN32)
  EXPECT_EQ(Gfx::callCount(device(), "CreateShaderResourceView"), 1u) << "one input view for three views";
  EXPECT_EQ(Gfx::callCount(device(), "CreateDepthStencilView"), 1u) << "one target view for three views";
#endif

  // Frames 2 to 4: a second engine texture beside the first; the images come round again.
  Ref<ID3D11ShaderResourceView> otherInput;
  for (int round = 1; round <= kImages; ++round) {
    SubmissionLayer next = layer({0, 3}, {0, 0, 40, 30, 0});
    next.views[3].depthTexture = otherDepth.get();
    frame = submitOne(next);
    EXPECT_EQ(frame.views[3].depthImage, round % kImages);
    const BoundPipeline later = boundPipeline();
    EXPECT_EQ(later.vs.get(), first.vs.get());
    EXPECT_EQ(later.ps.get(), first.ps.get());
    EXPECT_EQ(later.depthState.get(), first.depthState.get());
    EXPECT_EQ(later.rasterState.get(), first.rasterState.get());
    const Ref<ID3D11ShaderResourceView> input = boundInput();  // of view 3, the last pass
    if (round == 1) otherInput = input;
    EXPECT_EQ(input.get(), otherInput.get()) << "round " << round;
  }
  EXPECT_NE(otherInput.get(), engineInput.get());
  expectDepthImage(frame.views[3].depthImage, 40, 30, otherValues);
  submitOne(layer({2}, {0, 0, 40, 30, 0}));
  EXPECT_EQ(boundInput().get(), engineInput.get()) << "the first texture's view was kept";
  otherInput.reset();
  context()->ClearState();
  EXPECT_EQ(deviceObjects(), afterFirst + 3) << "one more input view and two more target views, nothing else";
#if !defined(_WIN32)
  EXPECT_EQ(Gfx::compiles().size(), 2u);
  EXPECT_EQ(Gfx::callCount(device(), "CreateVertexShader"), 1u);
  EXPECT_EQ(Gfx::callCount(device(), "CreatePixelShader"), 1u);
  EXPECT_EQ(Gfx::callCount(device(), "CreateDepthStencilState"), 1u);
  EXPECT_EQ(Gfx::callCount(device(), "CreateRasterizerState"), 1u);
  EXPECT_EQ(Gfx::callCount(device(), "CreateShaderResourceView"), 2u);
  EXPECT_EQ(Gfx::callCount(device(), "CreateDepthStencilView"), 3u);
  EXPECT_EQ(Gfx::callCount(device(), "Draw"), 3u + 2u * kImages + 1u);
#endif
}

// ---- device shutdown and unload --------------------------------------------------------------------

TEST_F(DepthFrame, DeviceShutdownReleasesEverythingAndTheNextDeviceBuildsThePipelineAfresh) {
  const size_t objectsBefore = deviceObjects();
  submitOne(layer({0, 2}, {0, 0, 40, 30, 0}));
  BoundPipeline pipeline = boundPipeline();
  ASSERT_TRUE(pipeline.vs && pipeline.ps && pipeline.depthState && pipeline.rasterState);
  Ref<ID3D11ShaderResourceView> input = boundInput();
  ASSERT_TRUE(input);
  context()->ClearState();  // the context's bindings are not the plug-in's references
  const ULONG counts[] = {Gfx::referenceCount(pipeline.vs.get()), Gfx::referenceCount(pipeline.ps.get()),
                          Gfx::referenceCount(pipeline.depthState.get()),
                          Gfx::referenceCount(pipeline.rasterState.get())};
  const ULONG inputCount = Gfx::referenceCount(input.get());
  EXPECT_EQ(deviceObjects(), objectsBefore + 6) << "four pipeline objects, one input view, one target view";
  clearLogs();

  host->sendDeviceEvent(kUnityGfxDeviceEventShutdown);
  EXPECT_EQ(callbackMessages(), (Lines{"GraphicsEvent received: 1", kGoodbye}));
  EXPECT_EQ(Gfx::referenceCount(pipeline.vs.get()), counts[0] - 1);
  EXPECT_EQ(Gfx::referenceCount(pipeline.ps.get()), counts[1] - 1);
  EXPECT_EQ(Gfx::referenceCount(pipeline.depthState.get()), counts[2] - 1);
  EXPECT_EQ(Gfx::referenceCount(pipeline.rasterState.get()), counts[3] - 1);
  EXPECT_EQ(Gfx::referenceCount(input.get()), inputCount - 1);
  pipeline = BoundPipeline{};
  input.reset();
  EXPECT_EQ(deviceObjects(), objectsBefore) << "pipeline objects and cached views are gone";
#if !defined(_WIN32)
  Gfx::clearCompiles();
  Gfx::clearCalls(device());
#endif

  // The device comes back; the next depth frame starts from nothing.
  host->sendDeviceEvent(kUnityGfxDeviceEventInitialize);
  engineValues = depthPattern(kEngineWidth * kEngineHeight, 30);
  engineDepth = host->createDepthTexture(kEngineWidth, kEngineHeight, engineValues);
  ASSERT_TRUE(engineDepth);
  const ZerinSimSubmittedFrame frame = submitOne(layer({1}, {100, 0, 50, 40, 0}));
  EXPECT_EQ(frame.views[1].hasDepth, 1);
  expectDepthImage(frame.views[1].depthImage, 50, 40, engineValues);
#if !defined(_WIN32)
  EXPECT_EQ(Gfx::compiles().size(), 2u);
  for (const char* method : {"CreateVertexShader", "CreatePixelShader", "CreateDepthStencilState",
                             "CreateRasterizerState", "CreateShaderResourceView", "CreateDepthStencilView"})
    EXPECT_EQ(Gfx::callCount(device(), method), 1u) << method;
#endif
}

TEST_F(DepthFrame, UnloadingThePlugInReleasesTheDepthCopyObjects) {
  ID3D11Texture2D* image = zerin_ToD3D11Texture(zerin_GetSwapChainImage(handle(depth), 0));
  // Kept alive by us beyond the swap chain's end.
  auto imageRef = Ref<ID3D11Texture2D>::share(image);
  submitOne(layer({0}, {0, 0, 40, 30, 0}));
  BoundPipeline pipeline = boundPipeline();
  ASSERT_TRUE(pipeline.vs && pipeline.ps && pipeline.depthState && pipeline.rasterState);
  context()->ClearState();
  const ULONG counts[] = {Gfx::referenceCount(pipeline.vs.get()), Gfx::referenceCount(pipeline.ps.get()),
                          Gfx::referenceCount(pipeline.depthState.get()),
                          Gfx::referenceCount(pipeline.rasterState.get())};

  // The script ends its session, then the engine unloads the plug-in.
  for (SwapchainSlot* slot : madeSlots) plugin.QueueDestroySwapchain(slot);
  madeSlots.clear();
  run({11, 13});
  plugin.EndSession();
  clearLogs();
  const size_t objectsBefore = deviceObjects();
  host->unload();
  plugin = ZerinSim::BridgeExports{};
  EXPECT_EQ(callbackMessages(), (Lines{"GraphicsEvent received: 1", kGoodbye}));
  EXPECT_EQ(Gfx::referenceCount(pipeline.vs.get()), counts[0] - 1);
  EXPECT_EQ(Gfx::referenceCount(pipeline.ps.get()), counts[1] - 1);
  EXPECT_EQ(Gfx::referenceCount(pipeline.depthState.get()), counts[2] - 1);
  EXPECT_EQ(Gfx::referenceCount(pipeline.rasterState.get()), counts[3] - 1);
  // Our references keep the pipeline objects; the cached views go.
  EXPECT_EQ(deviceObjects(), objectsBefore - 2) << "the input view and the target view are gone";
}

// ---- compile failures (the software compiler can be made to fail) ----------------------------------

#if !defined(_WIN32)
TEST_F(DepthFrame, ACompileFailureSkipsThePassKeepsTheExtensionAndIsRetriedAtTheNextDepthView) {
  const char* message = "PS(2,3): error X3004: undeclared identifier 'inputTex'\n";
  Gfx::failNextCompile("PS", message);
  Gfx::clearCompiles();
  Gfx::clearCalls(device());
  const ZerinSimSubmittedFrame frame = submitOne(layer({2}, {0, 0, 40, 30, 0}));
  EXPECT_EQ(frame.views[2].hasDepth, 1) << "the extension reaches the runtime all the same";
  EXPECT_EQ(Gfx::callCount(device(), "Draw"), 0u);
  EXPECT_EQ(Gfx::callCount(device(), "OMGetRenderTargets"), 0u) << "no pass, nothing saved or bound again";
  EXPECT_EQ(debugOutput(), Lines{message});
  expectDepthImage(frame.views[2].depthImage, 0, 0, engineValues);

  const ZerinSimSubmittedFrame next = submitOne(layer({2}, {0, 0, 40, 30, 0}));
  std::vector<std::string> stages;
  for (const auto& record : Gfx::compiles()) stages.push_back(record.entryPoint);
  EXPECT_EQ(stages, (Lines{"VS", "PS", "PS"}));
  EXPECT_EQ(Gfx::callCount(device(), "Draw"), 1u);
  expectDepthImage(next.views[2].depthImage, 40, 30, engineValues);
}
#endif

}  // namespace
}  // namespace ZerinTest
