#include "demo.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "device_timer.h"
#include "engine_host.h"
#include "frame_picture.h"
#include "gfx_textures.h"
#include "plugin_log_route.h"
#include "program_manager_service.h"
#include "scene.h"
#include "time_plot.h"
#include "zerin/engine_bridge.h"
#include "zerin/tracker_link.h"
#include "zerin_sim_control.h"

namespace ZerinDemo {

namespace {

using Clock = std::chrono::steady_clock;
using ZerinSim::Gfx::Ref;

constexpr UINT kImageSize = 128;  // engine textures and swap-chain images, square (the Linux stand-in draws depth on the CPU)
constexpr int kViews = ZERIN_BRIDGE_VIEWS_PER_LAYER;
constexpr int32_t kFrameSync = ZERIN_BRIDGE_RENDER_EVENT_FRAME_SYNC,
                  kFrameStart = ZERIN_BRIDGE_RENDER_EVENT_FRAME_START,
                  kFrameSubmit = ZERIN_BRIDGE_RENDER_EVENT_FRAME_SUBMIT,
                  kSwapchainRequests = ZERIN_BRIDGE_RENDER_EVENT_SWAPCHAIN_REQUESTS,
                  kEventPoll = ZERIN_BRIDGE_RENDER_EVENT_EVENT_POLL;

// The plug-in's log reaches the script callback, one message at a time: the demo counts the
// messages and shows those that report errors, or all of them when asked to.
struct PluginLogCount {
  std::atomic<int64_t> lines{0};
  std::atomic<int64_t> errors{0};
};

bool reportsError(const char* message) {
  return !std::strncmp(message, "Error:", 6) || !std::strncmp(message, "Got an error", 12);
}

void showPluginMessage(const char* message) {
  std::string text = "  plug-in: ";
  for (const char* c = message; *c; ++c) text += *c == '\n' ? std::string("\n           ") : std::string(1, *c);
  std::printf("%s\n", text.c_str());
  std::fflush(stdout);
}

std::atomic<int64_t> streamFrames{0};
void onStreamFrame(const void* frame, void* userData) {
  if (frame && userData == &streamFrames) ++streamFrames;
}

std::atomic<int64_t> programManagerMessages{0};
void onProgramManagerMessage(int32_t, const char* name, int32_t nameLength, const uint8_t*, int32_t) {
  if (name && nameLength > 0) ++programManagerMessages;
}

// The engine's own textures for one view: the colour it renders and its depth.
struct EngineView {
  Ref<ID3D11Texture2D> colour;
  Ref<ID3D11RenderTargetView> colourTarget;
  Ref<ID3D11Texture2D> depth;
  Ref<ID3D11DepthStencilView> depthTarget;
};

bool createEngineView(ID3D11Device* device, EngineView& view) {
  view.colour = ZerinSim::Gfx::createTexture(device, kImageSize, kImageSize, DXGI_FORMAT_R8G8B8A8_UNORM,
                                             D3D11_BIND_RENDER_TARGET | D3D11_BIND_SHADER_RESOURCE, nullptr);
  view.depth = ZerinSim::Gfx::createTexture(device, kImageSize, kImageSize, DXGI_FORMAT_R32G8X24_TYPELESS,
                                            D3D11_BIND_DEPTH_STENCIL | D3D11_BIND_SHADER_RESOURCE, nullptr);
  if (!view.colour || !view.depth) return false;
  if (FAILED(device->CreateRenderTargetView(view.colour.get(), nullptr, view.colourTarget.put()))) return false;
  D3D11_DEPTH_STENCIL_VIEW_DESC desc{};
  desc.Format = DXGI_FORMAT_D32_FLOAT_S8X24_UINT;
  desc.ViewDimension = D3D11_DSV_DIMENSION_TEXTURE2D;
  return SUCCEEDED(device->CreateDepthStencilView(view.depth.get(), &desc, view.depthTarget.put()));
}

// What the engine renders, made once: the scene's frames as textures to copy from, since
// writing texels from the CPU every frame would wait for the device each time.
struct SceneTextures {
  std::vector<EngineView> frames[kViews];  // [view][frame of the scene]; only the textures are set
};

bool createSceneTextures(ID3D11Device* device, SceneTextures& scene) {
  for (int v = 0; v < kViews; ++v) {
    for (int64_t frame = 0; frame < kSceneFrames; ++frame) {
      const ViewImage image = renderView(frame, v, kImageSize);
      EngineView view;
      view.colour = ZerinSim::Gfx::createTexture(device, kImageSize, kImageSize, DXGI_FORMAT_R8G8B8A8_UNORM,
                                                 D3D11_BIND_SHADER_RESOURCE, ZerinSim::Gfx::rgbaTexels(image.colour).data());
      view.depth = ZerinSim::Gfx::createTexture(device, kImageSize, kImageSize, DXGI_FORMAT_R32G8X24_TYPELESS,
                                                D3D11_BIND_SHADER_RESOURCE,
                                                ZerinSim::Gfx::depthStencilTexels(image.depth).data());
      if (!view.colour || !view.depth) return false;
      scene.frames[v].push_back(std::move(view));
    }
  }
  return true;
}

// Draws frame `frame` into the engine's textures, then binds the first view's targets, as an
// engine leaves them between passes.
void drawFrame(ID3D11DeviceContext* context, EngineView (&views)[kViews], const SceneTextures& scene, int64_t frame) {
  for (int v = 0; v < kViews; ++v) {
    const EngineView& source = scene.frames[v][static_cast<size_t>(sceneFrame(frame))];
    context->CopyResource(views[v].colour.get(), source.colour.get());
    context->CopyResource(views[v].depth.get(), source.depth.get());
  }
  ID3D11RenderTargetView* target = views[0].colourTarget.get();
  context->OMSetRenderTargets(1, &target, views[0].depthTarget.get());
}

struct RenderTiming {
  std::mutex mutex;  // guards events
  std::vector<std::pair<int32_t, double>> events;  // plug-in event and its microseconds, in order
};

// The plug-in's render-thread time of each frame: its frame events (10, 11 and 14) between one
// frame sync and the next; and the frame syncs' waits.
void frameTimes(RenderTiming& timing, std::vector<double>& plugin, std::vector<double>& sync) {
  std::lock_guard<std::mutex> lock(timing.mutex);
  for (const auto& [eventId, micros] : timing.events) {
    if (eventId == kFrameSync) {
      plugin.push_back(0);
      sync.push_back(micros);
    } else if (!plugin.empty() && (eventId == kFrameStart || eventId == kFrameSubmit || eventId == kEventPoll)) {
      plugin.back() += micros;
    }
  }
}

// The views of one submitted frame as the runtime holds them: each view's colour and depth
// image, read back from the swap-chain image the frame record names.
std::vector<ReceivedView> readSubmittedViews(const ZerinSimSubmittedFrame& frame, int layers) {
  std::vector<ReceivedView> views;
  for (int i = 0; i < layers * kViews; ++i) {
    const ZerinSimSubmittedView& submitted = frame.views[i];
    ReceivedView view;
    ZerinSimSwapChainState state{};
    if (zerinsim_GetSwapChainState(submitted.view.colour.swapChain, &state)) {
      view.width = state.config.width;
      view.height = state.config.height;
      view.colour = ZerinSim::Gfx::rgbaPixels(ZerinSim::readSwapChainImage(
          submitted.view.colour.swapChain, submitted.colourImage, static_cast<uint32_t>(submitted.view.colour.arrayIndex)));
    }
    if (submitted.hasDepth) {
      const auto texels = ZerinSim::readSwapChainImage(submitted.depth.depth.swapChain, submitted.depthImage,
                                                       static_cast<uint32_t>(submitted.depth.depth.arrayIndex));
      view.depth.resize(texels.size() / 4);
      if (!texels.empty()) std::memcpy(view.depth.data(), texels.data(), view.depth.size() * 4);
      view.minDepth = submitted.depth.minDepth;
      view.maxDepth = submitted.depth.maxDepth;
    }
    views.push_back(std::move(view));
  }
  return views;
}

std::string capitalised(std::string text) {
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 'a' + 'A');
  return text;
}

std::string pathIn(const std::string& directory, const std::string& name) {
  return (std::filesystem::path(directory) / name).generic_string();  // one kind of slash on both targets
}

std::string trackedDeviceLine(uint32_t index, const vr::TrackedDevicePose_t& pose) {
  static const char* const classes[] = {"invalid", "HMD", "controller", "tracker", "base station", "display"};
  const auto deviceClass = Zerin::openVR::GetTrackedDeviceClass(index);
  char model[128] = "", serial[128] = "";
  vr::ETrackedPropertyError error{};
  Zerin::openVR::GetStringTrackedDeviceProperty(index, vr::Prop_ModelNumber_String, model, sizeof model, &error);
  Zerin::openVR::GetStringTrackedDeviceProperty(index, vr::Prop_SerialNumber_String, serial, sizeof serial, &error);
  const auto role = Zerin::openVR::GetControllerRoleForTrackedDeviceIndex(index);
  const auto& m = pose.mDeviceToAbsoluteTracking.m;
  char line[512];
  std::snprintf(line, sizeof line, "[%u] %-10s %s%s  model \"%s\"  serial %s  at (%.2f, %.2f, %.2f)%s", index,
                static_cast<int>(deviceClass) < 6 ? classes[deviceClass] : "?",
                role == vr::TrackedControllerRole_LeftHand ? "(left) " : role == vr::TrackedControllerRole_RightHand ? "(right) " : "",
                "", model, serial, m[0][3], m[1][3], m[2][3], pose.bPoseIsValid ? "" : " (no pose)");
  return line;
}

void readTrackedDevices(Summary& summary) {
  if (!Zerin::openVR::init()) {
    summary.failures.push_back("OpenVR did not initialise");
    return;
  }
  vr::TrackedDevicePose_t poses[vr::k_unMaxTrackedDeviceCount]{};
  Zerin::openVR::GetDeviceToAbsoluteTrackingPose(vr::TrackingUniverseStanding, 0.0f, poses, vr::k_unMaxTrackedDeviceCount);
  for (uint32_t index = 0; index < vr::k_unMaxTrackedDeviceCount; ++index) {
    if (Zerin::openVR::GetTrackedDeviceClass(index) == vr::TrackedDeviceClass_Invalid) continue;
    ++summary.trackedDevices;
    summary.trackedDeviceLines.push_back(trackedDeviceLine(index, poses[index]));
  }
  Zerin::openVR::shutdown();
  if (summary.trackedDevices == 0) summary.failures.push_back("OpenVR reported no tracked device");
}

// One run of the demo, phase after phase, as an application lives: it finds its output folder,
// the engine loads the plug-in, the application opens a session, makes its swap chains, starts
// what else it uses, renders its frames and shuts down; then the run writes its pictures and
// checks what it saw. Each phase notes in the summary what it expected and did not see; the
// first four end the run when they fail.
class DemoRun {
 public:
  DemoRun(const Options& options, Summary& summary) : options(options), summary(summary), layers(options.layers) {}

  bool openOutput();
  bool loadPlugin();
  bool openSession();
  bool makeSwapChains();
  void startApplication();
  void runFrames();
  void shutDown();
  void measureRenderThread();
  void writeOutputs();
  void checkResults();

 private:
  bool expect(bool condition, const std::string& what) {
    if (!condition) summary.failures.push_back(what);
    return condition;
  }
  ZerinSim::RenderThread& render() { return host->renderThread(); }
  void submitFrame(const ZerinBridgeFramePoseData& poseData);
  void readBackOnRenderThread(int64_t frame, int64_t poseFrame);

  const Options& options;
  Summary& summary;
  const int layers;
  const Clock::time_point started = Clock::now();

  // Declared in the order they are made: each is gone before what it depends on (the engine's
  // textures before the host and its device, the host before the log's route).
  PluginLogCount logCount;
  std::optional<ZerinSim::PluginLogRoute> logRoute;
  RenderTiming timing;
  std::optional<ZerinSim::ProgramManagerService> service;
  bool serviceRunning = false;
  std::optional<ZerinSim::EngineHost> host;
  ZerinSim::BridgeExports api;  // the plug-in's exports, once it is loaded
  ID3D11Device* device = nullptr;
  std::vector<ZerinBridgeSwapchainSlot*> colourSlots, depthSlots;
  EngineView views[kViews];
  SceneTextures scene;
  std::unique_ptr<DeviceTimer> deviceTimer;
  bool streamStarted = false;
  int32_t client = 0;

  // What the frames saw; the counts are written on the render thread and read once it is idle.
  std::set<int64_t> poseFrames;
  std::vector<ZerinBridgeSubmissionLayer> submission;
  int64_t received = 0, rejected = 0, layersReceived = 0;
  std::vector<ReceivedView> pictured;
  std::vector<double> deviceTimes, pluginTimes, ownTimes, syncTimes;
};

// The output folder, and the plug-in's log: each message through its callback, and standard
// error (where the plug-in writes the same messages without line ends) in a file, until the
// plug-in is gone.
bool DemoRun::openOutput() {
  std::error_code madeDirectory;
  std::filesystem::create_directories(options.outputDirectory, madeDirectory);
  if (!expect(std::filesystem::is_directory(options.outputDirectory),
              "the output directory " + options.outputDirectory + " could not be made")) {
    return false;
  }
  // The libraries' shared logger prints whole lines to the console; they belong to --verbose.
  if (!options.verbose) ZerinSim::keepLoggerOffConsole();

  summary.standardErrorPath = pathIn(options.outputDirectory, "standard-error.txt");
  logRoute.emplace(
      [&count = logCount, verbose = options.verbose](const char* message) {
        ++count.lines;
        const bool error = reportsError(message);
        if (error) ++count.errors;
        if (verbose || error) showPluginMessage(message);
      },
      summary.standardErrorPath);
  if (!logRoute->standardErrorMoved()) summary.standardErrorPath.clear();
  return true;
}

// The program manager service the runtime would run beside the application, and the engine:
// it loads the plug-in with a Direct3D 11 device, as it does at start-up, and starts rendering.
bool DemoRun::loadPlugin() {
  service.emplace();
  serviceRunning = expect(service->start(), "the program manager service could not create its pipe");

  host.emplace(ZerinSim::EngineOptions{true, true, true});
  if (!expect(host->openLibrary(), "the plug-in did not load: " + host->error())) return false;
  api = host->exports();
  logRoute->install(*host);
  summary.pluginLoaded = expect(host->callPluginLoad(), "UnityPluginLoad failed");
  device = host->device();
  if (!expect(summary.pluginLoaded && device, "no graphics device")) return false;

  render().setEventObserver([this](int32_t eventId, std::chrono::nanoseconds duration) {
    std::lock_guard<std::mutex> lock(timing.mutex);
    timing.events.emplace_back(eventId, std::chrono::duration<double, std::micro>(duration).count());
  });
  expect(host->startRendering(), "the render thread did not start");
  return true;
}

bool DemoRun::openSession() {
  zerinsim_SetFrameRate(options.frameRate);
  zerinsim_SetCallLogging(0);  // a long run must not grow the runtime's call log
  summary.sessionOpened = expect(api.InitSession(), "InitSession failed");
  return summary.sessionOpened;
}

// One colour and one depth swap chain per view of every layer; the engine's textures, made on
// the render thread like everything of the device; and the timer of the device's share of the
// plug-in's frame work.
bool DemoRun::makeSwapChains() {
  const ZerinBridgeSwapchainConfig colourConfig{kImageSize, kImageSize, DXGI_FORMAT_R8G8B8A8_UNORM,
                                                1,          1,          ZERIN_BRIDGE_SWAPCHAIN_USAGE_COLOUR};
  const ZerinBridgeSwapchainConfig depthConfig{kImageSize, kImageSize, DXGI_FORMAT_R32_TYPELESS,
                                               1,          1,          ZERIN_BRIDGE_SWAPCHAIN_USAGE_DEPTH};
  for (int i = 0; i < layers * kViews; ++i) {
    colourSlots.push_back(api.QueueCreateD3D11Swapchain(&colourConfig));
    depthSlots.push_back(api.QueueCreateD3D11Swapchain(&depthConfig));
  }
  render().issuePluginEvent(kSwapchainRequests);

  bool texturesMade = false;
  render().issueTask([&] {
    texturesMade = createSceneTextures(device, scene);
    for (auto& view : views) texturesMade = createEngineView(device, view) && texturesMade;
    deviceTimer = std::make_unique<DeviceTimer>(device);
  });
  render().waitUntilIdle();
  bool swapChainsMade = true;
  for (int i = 0; i < layers * kViews; ++i)
    swapChainsMade = swapChainsMade && colourSlots[i] && colourSlots[i]->handle && depthSlots[i] && depthSlots[i]->handle;
  if (!expect(texturesMade, "the engine textures could not be made") ||
      !expect(swapChainsMade, "the runtime did not make every swap chain")) {
    api.EndSession();
    return false;
  }
  return true;
}

// Everything else a VR application starts with.
void DemoRun::startApplication() {
  expect(api.InitGaze(), "InitGaze failed");
  summary.mixedRealityAvailable = api.MRIsAvailable();
  if (expect(summary.mixedRealityAvailable, "mixed reality is not available") &&
      expect(api.MRSupportsDataStream(1), "no camera stream of kind 1 is offered")) {
    streamStarted = expect(api.MRStartDataStream(1, onStreamFrame, &streamFrames), "MRStartDataStream(1) failed");
  }
  for (int32_t view = 0; view < 2; ++view) {
    int32_t vertices = 0;
    void* data = nullptr;
    ZerinOcclusionMesh* mesh = api.CreateOcclusionMesh(view, &vertices, &data);
    if (expect(mesh && data && vertices > 0, "no occlusion mesh for view " + std::to_string(view))) {
      summary.occlusionVertices[view] = vertices;
      api.FreeOcclusionMesh(mesh);
    }
  }
  api.SetProgramManagerUnityMessageHandler(onProgramManagerMessage);
  client = api.ProgramManagerClient_Create();
  // Connect waits for the service's pipe without end, as the engine's scripts expect; without
  // a service there is nothing to wait for.
  summary.programManagerConnected =
      serviceRunning && expect(api.ProgramManagerClient_Connect(client), "the program manager client did not connect");
  if (summary.programManagerConnected) {
    api.ProgramManagerClient_RestartActiveClient(client);
    service->push(service->lastClientId(), "ActiveClientChanged", {1, 0, 0, 0});
  }
}

// The application: one frame per runtime sync, and a progress line a second.
void DemoRun::runFrames() {
  const int64_t frames = options.frameCount();
  summary.pictureFrame = options.chosenFrame();
  ZerinBridgeGazeSample gaze{};
  submission.resize(static_cast<size_t>(layers));
  auto nextProgress = Clock::now() + std::chrono::seconds(1);
  std::printf("Running %.1f s at %.0f Hz: %d layer%s of %d views with colour and depth, %ux%u images\n",
              options.seconds, options.frameRate, layers, layers == 1 ? "" : "s", kViews, kImageSize, kImageSize);
  std::fflush(stdout);

  for (int64_t frame = 0; frame < frames; ++frame) {
    render().issuePluginEvent(kFrameSync);
    api.SyncRenderThread();
    ZerinBridgeFramePoseData poseData{};
    api.GetFramePoseData(&poseData);
    const auto poseFrame = static_cast<int64_t>(std::llround(poseData.views[0].pose.m[3]));
    poseFrames.insert(poseFrame);

    // Draw: each view's colour and depth follow the frame the pose belongs to.
    render().issueTask([this, poseFrame] {
      Ref<ID3D11DeviceContext> context;
      host->device()->GetImmediateContext(context.put());
      drawFrame(context.get(), views, scene, poseFrame);
    });
    submitFrame(poseData);
    render().issueTask([this, frame] { deviceTimer->begin(frame); });
    render().issuePluginEvent(kFrameStart);
    render().issuePluginEvent(kFrameSubmit);
    render().issueTask([this, frame] { deviceTimer->end(frame); });
    render().issuePluginEvent(kEventPoll);
    render().issueTask([this, frame, poseFrame] { readBackOnRenderThread(frame, poseFrame); });

    int64_t type = 0;
    while (api.PollEvent(&type)) ++summary.eventsDelivered;
    while (api.GetOldestGazeIfAvailable(&gaze)) ++summary.gazeSamples;
    summary.framesIssued = frame + 1;

    if (Clock::now() >= nextProgress) {
      nextProgress += std::chrono::seconds(1);
      std::printf("  frame %5lld  pose frame %lld  events %lld  gaze samples %lld  stream frames %lld\n",
                  static_cast<long long>(frame + 1), static_cast<long long>(poseFrame),
                  static_cast<long long>(summary.eventsDelivered), static_cast<long long>(summary.gazeSamples),
                  static_cast<long long>(streamFrames.load()));
      std::fflush(stdout);
    }
  }
  render().issueTask([this] {
    deviceTimes = deviceTimer->finish();
    deviceTimer.reset();
  });
  render().waitUntilIdle();
}

// Every layer's four views: the frame's poses, the engine's textures and the swap chains for them.
void DemoRun::submitFrame(const ZerinBridgeFramePoseData& poseData) {
  const double depthParams[4] = {0.1, 100.0, 0.0, 1.0};  // near and far planes, then the depth range
  const double extraDepthParams[2] = {1.0, 0.0};
  for (int l = 0; l < layers; ++l) {
    ZerinBridgeSubmissionLayer& layer = submission[static_cast<size_t>(l)];
    std::memset(&layer, 0, sizeof layer);
    layer.layerParam0 = l;  // sort order: later layers on top
    layer.layerParam1 = 0;
    for (int v = 0; v < kViews; ++v) {
      ZerinBridgeSubmissionView& view = layer.views[v];
      const int i = l * kViews + v;
      view.matrix0 = poseData.views[v].pose;
      view.matrix1 = poseData.views[v].projection;
      view.colourSlot = colourSlots[static_cast<size_t>(i)];
      view.colourViewport = {0, 0, static_cast<int32_t>(kImageSize), static_cast<int32_t>(kImageSize), 0};
      view.colourTexture = views[v].colour.get();
      view.hasDepth = 1;
      view.depthSlot = depthSlots[static_cast<size_t>(i)];
      view.depthViewport = view.colourViewport;
      view.depthTexture = views[v].depth.get();
      std::memcpy(view.depthParams, depthParams, sizeof depthParams);
      std::memcpy(view.extraDepthParams, extraDepthParams, sizeof extraDepthParams);
      view.hasExtraDepthParams = l == 0;
    }
  }
  api.QueueSubmission(layers, submission.data());
}

// What the runtime received, read on the render thread right after the submission: every
// frame's record, and for the chosen frame the images its swap chains hold for it.
void DemoRun::readBackOnRenderThread(int64_t frame, int64_t poseFrame) {
  const auto submitted = ZerinSim::submittedFrames();
  for (const auto& record : submitted) {
    ++received;
    layersReceived += record.submit.layerCount;
    if (record.error != 0) ++rejected;
  }
  zerinsim_ClearSubmittedFrames();
  if (frame + 1 != summary.pictureFrame || submitted.empty()) return;
  summary.picturePoseFrame = poseFrame;
  summary.pictureRuntimeFrame = submitted.back().submit.frameIndex;
  pictured = readSubmittedViews(submitted.back(), layers);
  for (int i = 0; i < layers * kViews; ++i) {
    const ViewImage drawn = renderView(poseFrame, i % kViews, kImageSize);
    const ReceivedView& view = pictured[static_cast<size_t>(i)];
    summary.colourPixelsChecked += static_cast<int64_t>(drawn.colour.size());
    summary.depthPixelsChecked += static_cast<int64_t>(drawn.depth.size());
    if (view.colour.size() == drawn.colour.size())
      for (size_t t = 0; t < drawn.colour.size(); ++t) summary.colourPixelsMatched += view.colour[t] == drawn.colour[t];
    if (view.depth.size() == drawn.depth.size())
      for (size_t t = 0; t < drawn.depth.size(); ++t) summary.depthPixelsMatched += view.depth[t] == drawn.depth[t];
  }
  Ref<ID3D11DeviceContext> context;
  host->device()->GetImmediateContext(context.put());
  ID3D11RenderTargetView* boundTarget = nullptr;
  ID3D11DepthStencilView* boundDepth = nullptr;
  context->OMGetRenderTargets(1, &boundTarget, &boundDepth);
  summary.engineTargetsRestored =
      boundTarget == views[0].colourTarget.get() && boundDepth == views[0].depthTarget.get();
  if (boundTarget) boundTarget->Release();
  if (boundDepth) boundDepth->Release();
}

// Shut down as an application does: streams, program manager, swap chains, session; then the
// engine unloads the plug-in and the service stops.
void DemoRun::shutDown() {
  if (streamStarted) api.MRStopDataStream(1);
  summary.streamFrames = streamFrames;
  const uint64_t serviceClient = service->lastClientId();
  service->waitUntil([&] { return service->frames("RestartActiveClient").size() >= 1; }, std::chrono::seconds(2));
  api.ProgramManagerClient_Destroy(client);
  for (const auto& frame : service->frames("RestartActiveClient")) summary.serviceRestartRequests += frame.size == 43;
  summary.servicePings = service->client(serviceClient).pings;
  summary.programManagerMessages = programManagerMessages;
  for (size_t i = 0; i < colourSlots.size(); ++i) {
    api.QueueDestroySwapchain(colourSlots[i]);
    api.QueueDestroySwapchain(depthSlots[i]);
  }
  render().issuePluginEvent(kSwapchainRequests);
  render().waitUntilIdle();
  api.EndSession();
  render().issueTask([this] {
    for (auto& view : views) view = EngineView{};
    scene = SceneTextures{};
  });
  render().waitUntilIdle();
  host->unload();
  service->stop();
}

// The render thread's time per frame, split into the plug-in's own and the device's.
void DemoRun::measureRenderThread() {
  frameTimes(timing, pluginTimes, syncTimes);
  deviceTimes.resize(pluginTimes.size(), NAN);
  ownTimes = pluginTimes;
  if (DeviceTimer::onRenderThread())
    for (size_t i = 0; i < ownTimes.size(); ++i) ownTimes[i] -= deviceTimes[i];
  summary.pluginMicroseconds = percentiles(pluginTimes);
  summary.ownMicroseconds = percentiles(ownTimes);
  summary.deviceMicroseconds = percentiles(deviceTimes);
  summary.syncMicroseconds = percentiles(syncTimes);
}

// The pictures: the chosen frame as the runtime received it, and the time per frame.
void DemoRun::writeOutputs() {
  if (expect(!pictured.empty(), "frame " + std::to_string(summary.pictureFrame) + " was not read back")) {
    summary.picturePath = pathIn(options.outputDirectory, "frame-" + std::to_string(summary.pictureFrame) + ".png");
    if (!expect(writeFile(summary.picturePath, encodePng(composeFrame(pictured, layers, kViews))),
                "the picture could not be written to " + summary.picturePath))
      summary.picturePath.clear();
  }
  summary.plotPath = pathIn(options.outputDirectory, "render-thread.svg");
  const std::string ownTitle = DeviceTimer::onRenderThread() ? "The plug-in's own code (render thread, device calls taken out)"
                                                             : "The plug-in's time on the render thread";
  const std::string plot = timePlotSvg(
      "Render thread per frame: " + std::to_string(pluginTimes.size()) + " frames, " + std::to_string(layers) +
          " layer" + (layers == 1 ? "" : "s") + " of " + std::to_string(kViews) + " views, " +
          std::to_string(kImageSize) + "x" + std::to_string(kImageSize),
      {{ownTitle, ownTimes}, {capitalised(DeviceTimer::description()), deviceTimes}});
  if (!expect(writeFile(summary.plotPath, plot), "the time plot could not be written to " + summary.plotPath))
    summary.plotPath.clear();
}

// The counts of the run, and what it expected of them.
void DemoRun::checkResults() {
  summary.framesSubmitted = received;
  summary.framesRejected = rejected;
  summary.framesDropped = summary.framesIssued - received;
  summary.layersSubmitted = layersReceived;
  summary.poseFramesSeen = static_cast<int64_t>(poseFrames.size());
  summary.pluginLogLines = logCount.lines;
  summary.pluginErrorLines = logCount.errors;
  summary.seconds = std::chrono::duration<double>(Clock::now() - started).count();

  expect(received == summary.framesIssued, "the runtime received " + std::to_string(received) + " of " +
                                               std::to_string(summary.framesIssued) + " frames");
  expect(rejected == 0, std::to_string(rejected) + " frames were rejected by the runtime");
  expect(layersReceived == received * layers, "layers went missing on the way to the runtime");
  expect(summary.poseFramesSeen == summary.framesIssued, "GetFramePoseData did not show a new frame every frame");
  expect(summary.colourPixelsChecked > 0 && summary.colourPixelsMatched == summary.colourPixelsChecked,
         "the colour images do not hold what the engine rendered");
  expect(summary.depthPixelsChecked > 0 && summary.depthPixelsMatched == summary.depthPixelsChecked,
         "the depth images do not hold the engine's depth");
  expect(summary.engineTargetsRestored, "the engine's render targets were not bound again after the frame");
  expect(summary.eventsDelivered > 0, "no runtime event reached the application");
  expect(summary.gazeSamples > 0, "no gaze sample was read");
  expect(!streamStarted || summary.streamFrames > 0, "no camera stream frame arrived");
  expect(summary.programManagerMessages >= 2, "the engine callback did not receive the service's messages");
  expect(summary.serviceRestartRequests == 1, "the service did not read exactly one restart request");
  expect(options.seconds < 1.5 || summary.servicePings >= 1, "the service received no ping");
  expect(summary.pluginErrorLines == 0, std::to_string(summary.pluginErrorLines) + " runtime errors were logged");
}

}  // namespace

Summary runDemo(const Options& options) {
  Summary summary;
  DemoRun run(options, summary);
  if (!run.openOutput() || !run.loadPlugin() || !run.openSession() || !run.makeSwapChains()) return summary;
  run.startApplication();
  run.runFrames();
  run.shutDown();
  readTrackedDevices(summary);
  run.measureRenderThread();
  run.writeOutputs();
  run.checkResults();
  return summary;
}

void printSummary(const Options& options, const Summary& s) {
  const auto count = [](int64_t value) { return static_cast<long long>(value); };
  std::printf("\nSummary (%.1f s)\n", s.seconds);
  std::printf("  frames           %lld issued, %lld received by the runtime, %lld rejected, %lld dropped (%lld layers)\n",
              count(s.framesIssued), count(s.framesSubmitted), count(s.framesRejected), count(s.framesDropped),
              count(s.layersSubmitted));
  const auto times = [](const Percentiles& p) {
    char text[96];
    std::snprintf(text, sizeof text, "median %.0f us, 99th percentile %.0f us, max %.0f us", p.median, p.p99, p.max);
    return std::string(text);
  };
  if (DeviceTimer::onRenderThread()) {
    std::printf("  render thread    the plug-in's own code per frame: %s\n", times(s.ownMicroseconds).c_str());
    std::printf("                   %s, on top: %s\n", DeviceTimer::description(), times(s.deviceMicroseconds).c_str());
  } else {
    std::printf("  render thread    in the plug-in per frame: %s\n", times(s.pluginMicroseconds).c_str());
    std::printf("                   %s, off the render thread: %s\n", DeviceTimer::description(),
                times(s.deviceMicroseconds).c_str());
  }
  std::printf("                   waiting for the frame sync: median %.2f ms\n", s.syncMicroseconds.median / 1000.0);
  std::printf("  images           frame %lld: colour %lld/%lld pixels and depth %lld/%lld texels read back as rendered\n",
              count(s.pictureFrame), count(s.colourPixelsMatched), count(s.colourPixelsChecked),
              count(s.depthPixelsMatched), count(s.depthPixelsChecked));
  std::printf("  engine targets   %s\n", s.engineTargetsRestored ? "bound again after the frame" : "NOT restored");
  std::printf("  poses            %lld distinct frames read with GetFramePoseData\n", count(s.poseFramesSeen));
  std::printf("  events           %lld delivered\n", count(s.eventsDelivered));
  std::printf("  gaze             %lld samples\n", count(s.gazeSamples));
  std::printf("  mixed reality    %s; %lld camera stream frames\n", s.mixedRealityAvailable ? "available" : "not available",
              count(s.streamFrames));
  std::printf("  occlusion mesh   %d vertices (left), %d (right)\n", s.occlusionVertices[0], s.occlusionVertices[1]);
  std::printf("  program manager  %s; %lld messages to the engine; the service read %lld pings and %lld restart request%s\n",
              s.programManagerConnected ? "connected" : "NOT connected", count(s.programManagerMessages),
              count(s.servicePings), count(s.serviceRestartRequests), s.serviceRestartRequests == 1 ? "" : "s");
  std::printf("  tracked devices  %d\n", s.trackedDevices);
  for (const auto& line : s.trackedDeviceLines) std::printf("                   %s\n", line.c_str());
  std::printf("  plug-in log      %lld lines%s, %lld runtime errors\n", count(s.pluginLogLines),
              options.verbose ? "" : " (all of them with --verbose)", count(s.pluginErrorLines));
  if (!s.standardErrorPath.empty())
    std::printf("                   the raw standard error of the run: %s\n", s.standardErrorPath.c_str());
  if (!s.picturePath.empty()) {
    std::printf("  picture          %s\n", s.picturePath.c_str());
    std::printf("                   frame %lld as the runtime received it (its frame %lld, pose frame %lld): a row per layer,\n"
                "                   views 0-%d in colour on the left, their depth on the right (white near, black far)\n",
                count(s.pictureFrame), count(s.pictureRuntimeFrame), count(s.picturePoseFrame), kViews - 1);
  }
  if (!s.plotPath.empty()) {
    std::printf("  time plot        %s\n", s.plotPath.c_str());
    std::printf("                   the render thread's time per frame in the plug-in and the device's, median and 99th\n"
                "                   percentile marked (open it in a web browser)\n");
  }
  if (s.failures.empty()) {
    // "Result: OK" and "Result: FAILED" are the demo's own text (its end-to-end test matches
    // them): must not be corrected.
    std::printf("Result: OK (%d layer%s, %.0f Hz)\n", options.layers, options.layers == 1 ? "" : "s", options.frameRate);
  } else {
    std::printf("Result: FAILED\n");
    for (const auto& failure : s.failures) std::printf("  - %s\n", failure.c_str());
  }
  std::fflush(stdout);
}

}  // namespace ZerinDemo
