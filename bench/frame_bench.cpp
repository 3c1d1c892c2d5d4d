#include "frame_bench.h"

#include <cstddef>
#include <cstring>

#include "allocation_counter.h"
#include "gfx_textures.h"
#include "core/runtime_records.h"
#include "zerin_sim_control.h"

namespace ZerinBench {

using ZerinSim::Gfx::Ref;

constexpr int32_t kKeptFrames = 32;

std::string describe(const FrameShape& shape) {
  return std::to_string(shape.layers) + "x4 views" + (shape.depth ? ", depth" : "");
}

// The plug-in's exports, and the render-event callback they hand out, which this thread calls
// as the render thread.
struct FrameBench::Exports : ZerinSim::BridgeExports {
  ZerinBridgeRenderEventFunc renderEvent = nullptr;
};

// What the floor needs ready before its first frame: the session's swap chains by handle, its
// own frame records and layer records, a depth-stencil view for every depth image, and the
// depth pass's pipeline objects (the plug-in's own, read back from the context).
struct FrameBench::Floor {
  static constexpr int kImages = ZERINSIM_SWAPCHAIN_IMAGE_COUNT;
  struct View {
    ZerinSwapChain colour = nullptr;
    ZerinSwapChain depth = nullptr;
    Ref<ID3D11DepthStencilView> targets[kImages];
  };

  ZerinSession session = nullptr;
  ID3D11Device* device = nullptr;
  ID3D11Resource* colourTexture = nullptr;
  ZerinFrameInfo* frameInfo = nullptr;
  ZerinSubmitInfo* submitInfo = nullptr;
  Ref<ID3D11VertexShader> vertexShader;
  Ref<ID3D11PixelShader> pixelShader;
  Ref<ID3D11DepthStencilState> depthState;
  Ref<ID3D11RasterizerState> rasterState;
  Ref<ID3D11ShaderResourceView> input;
  D3D11_VIEWPORT viewport{};
  View views[Zerin::kMaxLayers * Zerin::kViewsPerLayer];

  ZerinMatrix poses[3];
  ZerinSwapChainImage colourImages[Zerin::kMaxLayers * Zerin::kViewsPerLayer];
  ZerinSwapChainImage depthImages[Zerin::kMaxLayers * Zerin::kViewsPerLayer];
  int32_t depthIndex[Zerin::kMaxLayers * Zerin::kViewsPerLayer] = {};
  ZerinLayerSubmit submit{};
  const ZerinRuntimeLayer* layerPointers[Zerin::kMaxLayers] = {};
  ZerinRuntimeLayer runtimeLayers[Zerin::kMaxLayers] = {};
  ZerinRuntimeView runtimeViews[Zerin::kMaxLayers * Zerin::kViewsPerLayer] = {};
  ZerinDepthExtension depthExtensions[Zerin::kMaxLayers * Zerin::kViewsPerLayer] = {};

  ~Floor() {
    if (frameInfo) zerin_FreeFrameInfo(frameInfo);
    if (submitInfo) zerin_FreeSubmitInfo(submitInfo);
  }
};

FrameBench::FrameBench(FrameShape frameShape) : shape(frameShape), exports(std::make_unique<Exports>()) {}

FrameBench::~FrameBench() {
  floor.reset();
  if (sessionOpen) {
    for (Zerin::SwapchainSlot* slot : slots) exports->QueueDestroySwapchain(slot);
    exports->renderEvent(13);
    exports->EndSession();
  }
  colour.reset();
  engineDepth.reset();
  if (engine) engine->unload();
}

bool FrameBench::fail(const std::string& why) {
  problem = describe(shape) + ": " + why;
  return false;
}

bool FrameBench::open() {
  if (shape.layers < 1 || shape.layers > Zerin::kMaxLayers) return fail("1 to 4 layers");
  zerinsim_Reset();
  zerinsim_SetCallLogging(0);
  zerinsim_SetFrameRate(0);
  // Nothing reads the records back beyond the last frame: a few keep them in the cache.
  zerinsim_SetKeptFrameCount(kKeptFrames);
  engine = std::make_unique<ZerinSim::EngineHost>(ZerinSim::EngineOptions{true, true, true});
  if (!engine->device()) return fail("no device: " + engine->error());
  if (!engine->load()) return fail("the plug-in did not load: " + engine->error());
  static_cast<ZerinSim::BridgeExports&>(*exports) = engine->exports();
  exports->renderEvent = exports->GetRenderEventFunc();
  if (!exports->renderEvent) return fail("no render-event callback");
  if (!exports->InitSession()) return fail("no session");
  sessionOpen = true;

  ID3D11Device* device = engine->device();
  colour = ZerinSim::Gfx::createTexture(device, shape.size, shape.size, DXGI_FORMAT_R8G8B8A8_UNORM,
                                        D3D11_BIND_SHADER_RESOURCE, nullptr);
  engineDepth = ZerinSim::Gfx::createTexture(device, shape.size, shape.size, DXGI_FORMAT_R32G8X24_TYPELESS,
                                             D3D11_BIND_DEPTH_STENCIL | D3D11_BIND_SHADER_RESOURCE, nullptr);
  if (!colour || !engineDepth) return fail("no engine textures");

  const Zerin::SwapchainConfig colourConfig{shape.size, shape.size, DXGI_FORMAT_R8G8B8A8_UNORM, 1, 1,
                                            ZERIN_SWAPCHAIN_USAGE_COLOUR};
  const Zerin::SwapchainConfig depthConfig{shape.size, shape.size, DXGI_FORMAT_R32_TYPELESS, 1, 1,
                                           ZERIN_SWAPCHAIN_USAGE_DEPTH};
  const auto size = static_cast<int32_t>(shape.size);
  layers.assign(static_cast<size_t>(shape.layers), Zerin::SubmissionLayer{});
  for (size_t l = 0; l < layers.size(); ++l) {
    Zerin::SubmissionLayer& layer = layers[l];
    layer.layerParam0 = static_cast<int32_t>(l);
    for (Zerin::SubmissionView& view : layer.views) {
      view.colourSlot = exports->QueueCreateD3D11Swapchain(&colourConfig);
      slots.push_back(view.colourSlot);
      view.colourViewport = {0, 0, size, size, 0};
      view.colourTexture = colour.get();
      if (shape.depth) {
        view.hasDepth = 1;
        view.depthSlot = exports->QueueCreateD3D11Swapchain(&depthConfig);
        slots.push_back(view.depthSlot);
        view.depthViewport = view.colourViewport;
        view.depthTexture = engineDepth.get();
        const int64_t params[4] = {1, 2, 3, 4};
        std::memcpy(view.depthParams, params, sizeof params);
      }
    }
  }
  exports->renderEvent(13);
  for (const Zerin::SwapchainSlot* slot : slots)
    if (!slot || !slot->handle) return fail("a swap chain was not made");

  // The first frame makes the depth pass's objects and views; it is no steady frame.
  queueSubmission();
  pluginFrame();
  if (!checkLastFrame("the plug-in's frame")) return false;
  if (!openFloor()) return false;
  floorFrame();
  return checkLastFrame("the floor's frame");
}

bool FrameBench::checkLastFrame(const char* which) {
  const int32_t count = zerinsim_SubmittedFrameCount();
  ZerinSimSubmittedFrame frame{};
  if (count < 1 || !zerinsim_GetSubmittedFrame(count - 1, &frame)) return fail(std::string(which) + " was not submitted");
  if (frame.error != 0) return fail(std::string(which) + " was refused with error " + std::to_string(frame.error));
  if (frame.submit.layerCount != shape.layers) return fail(std::string(which) + " has the wrong layer count");
  for (int i = 0; i < shape.layers * Zerin::kViewsPerLayer; ++i)
    if (frame.views[i].hasDepth != (shape.depth ? 1 : 0)) return fail(std::string(which) + " lost its depth");
  zerinsim_ClearSubmittedFrames();
  return true;
}

bool FrameBench::openFloor() {
  floor = std::make_unique<Floor>();
  Floor& f = *floor;
  f.session = static_cast<ZerinSession>(exports->GetSession());
  f.device = engine->device();
  f.colourTexture = colour.get();
  f.frameInfo = zerin_CreateFrameInfo(f.session);
  f.submitInfo = zerin_CreateSubmitInfo(f.session);
  if (!f.frameInfo || !f.submitInfo) return fail("no frame records for the floor");
  f.submitInfo->flags = ZERIN_SUBMIT_DEFAULT;
  zerin_LayoutDefaultViewports(f.session, f.submitInfo->viewports);

  f.viewport.Width = static_cast<float>(shape.size);
  f.viewport.Height = static_cast<float>(shape.size);
  f.viewport.MaxDepth = 1.0f;
  if (shape.depth) {
    // The plug-in's pipeline objects stay bound after its frame.
    Ref<ID3D11DeviceContext> context;
    f.device->GetImmediateContext(context.put());
    context->VSGetShader(f.vertexShader.put(), nullptr, nullptr);
    context->PSGetShader(f.pixelShader.put(), nullptr, nullptr);
    UINT reference = 0;
    context->OMGetDepthStencilState(f.depthState.put(), &reference);
    context->RSGetState(f.rasterState.put());
    if (!f.vertexShader || !f.pixelShader || !f.depthState || !f.rasterState) return fail("no depth pipeline");
    D3D11_SHADER_RESOURCE_VIEW_DESC inputDesc{};
    inputDesc.Format = DXGI_FORMAT_R32_FLOAT_X8X24_TYPELESS;
    inputDesc.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2D;
    inputDesc.Texture2D.MipLevels = 1;
    if (FAILED(f.device->CreateShaderResourceView(engineDepth.get(), &inputDesc, f.input.put())))
      return fail("no depth input view");
  }

  D3D11_DEPTH_STENCIL_VIEW_DESC targetDesc{};
  targetDesc.Format = DXGI_FORMAT_D32_FLOAT;
  targetDesc.ViewDimension = D3D11_DSV_DIMENSION_TEXTURE2D;
  for (size_t l = 0; l < layers.size(); ++l) {
    ZerinRuntimeLayer& runtimeLayer = f.runtimeLayers[l];
    runtimeLayer.type = ZERIN_LAYER_PROJECTION;
    runtimeLayer.sortOrder = layers[l].layerParam0;
    runtimeLayer.viewCount = Zerin::kViewsPerLayer;
    runtimeLayer.views = &f.runtimeViews[l * Zerin::kViewsPerLayer];
    for (int v = 0; v < Zerin::kViewsPerLayer; ++v) {
      const Zerin::SubmissionView& view = layers[l].views[v];
      const size_t i = l * Zerin::kViewsPerLayer + static_cast<size_t>(v);
      Floor::View& floorView = f.views[i];
      floorView.colour = view.colourSlot->handle;
      ZerinRuntimeView& runtimeView = f.runtimeViews[i];
      runtimeView.pose = Zerin::recordAs<ZerinMatrix>(view.matrix0);
      runtimeView.projection = Zerin::recordAs<ZerinMatrix>(view.matrix1);
      runtimeView.colour = {floorView.colour, 0, 0, view.colourViewport.width, view.colourViewport.height, 0, 0};
      if (!shape.depth) continue;
      floorView.depth = view.depthSlot->handle;
      for (int32_t image = 0; image < Floor::kImages; ++image) {
        ID3D11Texture2D* texture = zerin_ToD3D11Texture(zerin_GetSwapChainImage(floorView.depth, image));
        if (!texture || FAILED(f.device->CreateDepthStencilView(texture, &targetDesc, floorView.targets[image].put())))
          return fail("no depth target view");
      }
      ZerinDepthExtension& depth = f.depthExtensions[i];
      depth.type = ZERIN_EXTENSION_DEPTH;
      std::memcpy(&depth.nearZ, view.depthParams, sizeof view.depthParams);
      depth.depth = {floorView.depth, 0, 0, view.depthViewport.width, view.depthViewport.height, 0, 0};
      runtimeView.extensions = reinterpret_cast<const ZerinExtensionHeader*>(&depth);
    }
  }
  for (int l = 0; l < Zerin::kMaxLayers; ++l) f.layerPointers[l] = &f.runtimeLayers[l];
  f.submit.layerCount = shape.layers;
  f.submit.layers = f.layerPointers;
  return true;
}

void FrameBench::queueSubmission() { exports->QueueSubmission(shape.layers, layers.data()); }

void FrameBench::queueSubmission(int32_t count, const Zerin::SubmissionLayer* given) {
  exports->QueueSubmission(count, given);
}

void FrameBench::renderEvent(int32_t eventId) { exports->renderEvent(eventId); }

void FrameBench::pluginFrame() {
  exports->renderEvent(20);
  exports->renderEvent(10);
  exports->renderEvent(11);
}

int FrameBench::pollEvents() {
  exports->renderEvent(14);
  int64_t type = 0;
  int taken = 0;
  while (exports->PollEvent(&type)) ++taken;
  return taken;
}

void FrameBench::floorFrame() {
  Floor& f = *floor;
  const ZerinSession session = f.session;
  const int views = shape.layers * Zerin::kViewsPerLayer;

  // Event 20: the entry check, the frame sync, three poses, the event drain, the exit check.
  zerin_GetError(session);
  zerin_WaitSync(session, f.frameInfo);
  for (int64_t kind = 1; kind <= 3; ++kind) f.poses[kind - 1] = zerin_FrameGetPose(session, kind);
  ZerinEvent event{};
  while (zerin_PollEvent(session, &event) == 1) {
  }
  zerin_GetError(session);

  // Event 10.
  zerin_GetError(session);
  zerin_BeginFrame(session, f.submitInfo);
  zerin_GetError(session);

  // Event 11: images, copies and depth passes, release, end of frame.
  zerin_GetError(session);
  ID3D11DeviceContext* context = nullptr;
  f.device->GetImmediateContext(&context);
  for (int i = 0; i < views; ++i) {
    int32_t index = 0;
    zerin_AcquireSwapChainImage(f.views[i].colour, &index);
    f.colourImages[i] = zerin_GetSwapChainImage(f.views[i].colour, index);
    if (!shape.depth) continue;
    index = 0;
    zerin_AcquireSwapChainImage(f.views[i].depth, &index);
    f.depthImages[i] = zerin_GetSwapChainImage(f.views[i].depth, index);
    f.depthIndex[i] = index;
  }
  ID3D11RenderTargetView* savedTarget = nullptr;
  ID3D11DepthStencilView* savedDepth = nullptr;
  for (int i = 0; i < views; ++i) {
    context->CopySubresourceRegion(zerin_ToD3D11Texture(f.colourImages[i]), 0, 0, 0, 0, f.colourTexture, 0, nullptr);
    if (!shape.depth) continue;
    zerin_ToD3D11Texture(f.depthImages[i]);
    if (i == 0) context->OMGetRenderTargets(1, &savedTarget, &savedDepth);
    context->IASetVertexBuffers(0, 0, nullptr, nullptr, nullptr);
    context->IASetIndexBuffer(nullptr, DXGI_FORMAT_UNKNOWN, 0);
    context->IASetInputLayout(nullptr);
    context->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    context->VSSetShader(f.vertexShader.get(), nullptr, 0);
    context->PSSetShader(f.pixelShader.get(), nullptr, 0);
    context->OMSetRenderTargets(0, nullptr, f.views[i].targets[f.depthIndex[i]].get());
    ID3D11ShaderResourceView* input = f.input.get();
    context->PSSetShaderResources(0, 1, &input);
    context->OMSetDepthStencilState(f.depthState.get(), 0);
    context->OMSetBlendState(nullptr, nullptr, 0xFFFFFFFFu);
    context->RSSetState(f.rasterState.get());
    context->RSSetViewports(1, &f.viewport);
    context->Draw(3, 0);
  }
  for (int i = 0; i < views; ++i) {
    zerin_ReleaseSwapChainImage(f.views[i].colour);
    if (shape.depth) zerin_ReleaseSwapChainImage(f.views[i].depth);
  }
  f.submit.frameIndex = f.submitInfo->frameIndex;
  zerin_EndFrameWithLayers(session, &f.submit);
  if (shape.depth) {
    context->OMSetRenderTargets(1, &savedTarget, savedDepth);
    if (savedTarget) savedTarget->Release();
    if (savedDepth) savedDepth->Release();
  }
  context->Release();
  zerin_GetError(session);
}

void timeFrames(FrameBench& bench, int frames, Samples& plugin, Samples& floor) {
  // A clock whose steps are a good part of a frame times the frames as one batch instead, their
  // submissions queued before it.
  if (clockResolution() > 20) {
    for (int i = 0; i < frames; ++i) bench.queueSubmission();
    Clock::time_point start = Clock::now();
    for (int i = 0; i < frames; ++i) bench.pluginFrame();
    plugin.add(spanSince(start) / frames);
    start = Clock::now();
    for (int i = 0; i < frames; ++i) bench.floorFrame();
    floor.add(spanSince(start) / frames);
    return;
  }
  for (int i = 0; i < frames; ++i) {
    bench.queueSubmission();
    const Clock::time_point start = Clock::now();
    bench.pluginFrame();
    plugin.add(spanSince(start));
  }
  for (int i = 0; i < frames; ++i) {
    const Clock::time_point start = Clock::now();
    bench.floorFrame();
    floor.add(spanSince(start));
  }
}

FrameAllocations countFrameAllocations(FrameBench& bench, int frames, int events) {
  constexpr int kWarmFrames = 4;
  FrameAllocations counted;
  ZerinEvent event{};
  event.type = 1;
  for (int i = 0; i < kWarmFrames; ++i) {
    for (int e = 0; e < events; ++e) zerinsim_QueueEvent(&event);
    bench.queueSubmission();
    bench.pluginFrame();
    bench.pollEvents();
  }
  for (int i = 0; i < frames; ++i) {
    for (int e = 0; e < events; ++e) zerinsim_QueueEvent(&event);
    ZerinTest::startCounting();
    bench.queueSubmission();
    counted.script += ZerinTest::stopCounting();
    ZerinTest::startCounting();
    bench.pluginFrame();
    counted.eventsTaken += bench.pollEvents();
    counted.render += ZerinTest::stopCounting();
  }
  return counted;
}

QueueBench::QueueBench(FrameBench& frameBench)
    : bench(frameBench),
      layers(Zerin::kMaxLayers, Zerin::SubmissionLayer{}),
      source(sizeof(Zerin::SubmissionEntry)),
      targets(16, std::vector<unsigned char>(sizeof(Zerin::SubmissionEntry))) {
  static_assert(sizeof(Zerin::SubmissionEntry) == 6440, "");
  for (auto& layer : layers)
    for (auto& view : layer.views)
      for (double& cell : view.matrix0.m) cell = 0.5;
  std::memcpy(source.data() + offsetof(Zerin::SubmissionEntry, layers), layers.data(),
              sizeof(Zerin::SubmissionLayer) * layers.size());
}

void QueueBench::time(int calls, Samples& queue, Samples& copy) {
  Clock::time_point start = Clock::now();
  for (int i = 0; i < calls; ++i) bench.queueSubmission(Zerin::kMaxLayers, layers.data());
  queue.add(spanSince(start) / calls);
  for (int i = 0; i < calls; ++i) bench.renderEvent(11);
  start = Clock::now();
  for (int i = 0; i < calls; ++i) {
    unsigned char* target = targets[static_cast<size_t>(i) % targets.size()].data();
    std::memcpy(target, source.data(), source.size());
    escape(target);
  }
  copy.add(spanSince(start) / calls);
}

uint64_t QueueBench::countAllocations(int calls) {
  uint64_t allocations = 0;
  for (int i = 0; i < calls; ++i) {
    ZerinTest::startCounting();
    bench.queueSubmission(Zerin::kMaxLayers, layers.data());
    allocations += ZerinTest::stopCounting();
    bench.renderEvent(11);
  }
  return allocations;
}

}  // namespace ZerinBench
