// The simulated runtime's frame cycle and swap chains: a frame clock behind zerin_WaitSync,
// frames whose views and poses carry their index, begin and end of frames with a deep record of
// every submission, and swap chains whose images are textures of the client's device.
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <iterator>

#include "runtime_state.h"
#include "simulator_hooks.h"

using ZerinSim::Call;
using ZerinSim::FrameInfoRecord;
using ZerinSim::FrameRoad;
using ZerinSim::Rule;
using ZerinSim::RuntimeState;
using ZerinSim::SwapChainRecord;

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kRotationPerFrame = 0.01;  // radians about the y axis
constexpr int kMaxLayers = 4;
constexpr int kMaxExtensions = 8;  // a longer chain is taken for a loop

// A pose for the session's latest frame: the frame index in the x translation, `tag` in the y
// translation.
ZerinMatrix frameMatrix(const ZerinSim::SessionFrames& frames, double tag) {
  ZerinMatrix matrix{};
  const int64_t frame = frames.synced;
  matrix.m[0] = frames.cosine;
  matrix.m[2] = frames.sine;
  matrix.m[5] = 1.0;
  matrix.m[8] = -frames.sine;
  matrix.m[10] = frames.cosine;
  matrix.m[15] = 1.0;
  matrix.m[3] = static_cast<double>(frame);
  matrix.m[7] = tag;
  return matrix;
}

// A right-handed perspective projection for the view's aspect, near 0.01 and far 100.
ZerinMatrix projection(const ZerinViewport& viewport) {
  const double nearZ = 0.01, farZ = 100.0;
  const double aspect = viewport.height > 0 ? double(viewport.width) / double(viewport.height) : 1.0;
  ZerinMatrix matrix{};
  matrix.m[0] = 1.0 / aspect;
  matrix.m[5] = 1.0;
  matrix.m[10] = farZ / (nearZ - farZ);
  matrix.m[11] = nearZ * farZ / (nearZ - farZ);
  matrix.m[14] = -1.0;
  return matrix;
}

// The first tick of the frame clock after `now`; `now` itself when the clock does not run.
Clock::time_point nextTick(const FrameRoad& road, Clock::time_point now) {
  if (road.frameRate <= 0.0) return now;
  const double since = std::chrono::duration<double>(now - road.clockEpoch).count();
  const double ticks = std::floor(since * road.frameRate) + 1.0;
  return road.clockEpoch +
         std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(ticks / road.frameRate));
}

int64_t nanosecondsSince(Clock::time_point epoch, Clock::time_point at) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(at - epoch).count();
}

// Releases a swap chain's textures and its names; the record stays as a tombstone.
void retire(RuntimeState& state, ZerinSwapChain handle, SwapChainRecord& record) {
  for (auto& image : record.images) state.forget(image.get());
  record.images.clear();
  record.acquired = 0;
  state.forget(handle);
}

// A live swap chain's errors are its session's, like those of the calls that name the session.
void errorsToSessionOf(Call& call, ZerinSwapChain handle) {
  if (const SwapChainRecord* record = call.state().frames.liveSwapChain(handle)) call.errorsTo(record->session);
}

// True when `device` made the session's live swap chains, or the session has none.
bool sessionDevice(const RuntimeState& state, ZerinSession session, ID3D11Device* device) {
  for (const auto& [handle, record] : state.frames.swapChains) {
    if (record->session != session || record->images.empty()) continue;
    ZerinSim::Gfx::Ref<ID3D11Device> owner;
    record->images.front()->GetDevice(owner.put());
    return owner.get() == device;
  }
  return true;
}

bool imageDescription(const ZerinSwapChainConfig& config, D3D11_TEXTURE2D_DESC& desc) {
  if (config.width == 0 || config.height == 0 || config.arraySize == 0 || config.sampleCount > 1) return false;
  desc = D3D11_TEXTURE2D_DESC{};
  desc.Width = config.width;
  desc.Height = config.height;
  desc.MipLevels = 1;
  desc.ArraySize = config.arraySize;
  desc.SampleDesc.Count = 1;
  desc.Usage = D3D11_USAGE_DEFAULT;
  switch (config.usage) {
    case ZERIN_SWAPCHAIN_USAGE_COLOUR:
      desc.Format = static_cast<DXGI_FORMAT>(config.format);
      desc.BindFlags = D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET;
      return true;
    case ZERIN_SWAPCHAIN_USAGE_DEPTH:
      // Typeless, so that the image takes a depth-stencil view and a shader resource view.
      if (config.format != DXGI_FORMAT_R32_TYPELESS && config.format != DXGI_FORMAT_D32_FLOAT) return false;
      desc.Format = DXGI_FORMAT_R32_TYPELESS;
      desc.BindFlags = D3D11_BIND_DEPTH_STENCIL | D3D11_BIND_SHADER_RESOURCE;
      return true;
    default:
      return false;
  }
}

// Refuses a swap-chain handle that names no live swap chain, telling a freed one from a stray one.
void refuseSwapChain(Call& call, ZerinSwapChain handle) {
  const auto& chains = call.state().frames.swapChains;
  if (chains.count(handle))
    return call.refuse(Rule::SwapchainDestroyed, ZERIN_ERROR_INVALID_ARGUMENT, "the swap chain was freed already");
  call.refuse(Rule::SwapchainUnknown, ZERIN_ERROR_INVALID_ARGUMENT,
              handle ? "the swap chain was never made by the runtime" : "the swap-chain handle is null");
}

// A rotation and translation: the rotation rows orthonormal, the last row 0 0 0 1.
bool rigid(const ZerinMatrix& pose) {
  constexpr double kTolerance = 1e-3;
  const double* m = pose.m;
  for (int a = 0; a < 3; ++a)
    for (int b = a; b < 3; ++b) {
      const double dot = m[a * 4] * m[b * 4] + m[a * 4 + 1] * m[b * 4 + 1] + m[a * 4 + 2] * m[b * 4 + 2];
      if (std::fabs(dot - (a == b ? 1.0 : 0.0)) > kTolerance) return false;
    }
  return std::fabs(m[12]) <= kTolerance && std::fabs(m[13]) <= kTolerance && std::fabs(m[14]) <= kTolerance &&
         std::fabs(m[15] - 1.0) <= kTolerance;
}

bool finite(const ZerinMatrix& matrix) {
  return std::all_of(std::begin(matrix.m), std::end(matrix.m), [](double cell) { return std::isfinite(cell); });
}

// Builds the record of one zerin_EndFrameWithLayers, reporting every rule it breaks once and
// keeping the first problem as the call's error (strict); lenient keeps none.
class SubmissionRecorder {
 public:
  SubmissionRecorder(Call& call, ZerinSession session, ZerinSimSubmittedFrame& frame)
      : call(call), state(call.state()), session(session), frame(frame), strict(ZerinSim::hooks::strict()) {}

  ZERINSIM_PRINTF(4, 5) void broke(Rule rule, ZerinErrorCode code, const char* format, ...) {
    if (strict && problem == 0) problem = code;
    const auto index = static_cast<size_t>(rule);
    if (told[index]) return;
    told[index] = true;
    va_list arguments;
    va_start(arguments, format);
    call.tell(rule, format, arguments);
    va_end(arguments);
  }
  ZerinErrorCode firstProblem() const { return problem; }

  void copyLayers(const ZerinLayerSubmit& submit) {
    if (submit.layerCount < 0 || submit.layerCount > kMaxLayers)
      broke(Rule::LayerCountOutOfRange, ZERIN_ERROR_INVALID_ARGUMENT, "layerCount %d is outside 0 to %d",
            submit.layerCount, kMaxLayers);
    const int layerCount = std::clamp(submit.layerCount, 0, kMaxLayers);
    if (!submit.layers) {
      if (layerCount > 0)
        broke(Rule::LayerMissing, ZERIN_ERROR_INVALID_ARGUMENT, "the layer list is null with layerCount %d",
              layerCount);
      return;
    }
    for (int l = 0; l < kMaxLayers; ++l) frame.layerPointers[l] = submit.layers[l];
    for (int l = 0; l < layerCount; ++l) {
      const ZerinRuntimeLayer* layer = submit.layers[l];
      if (!layer) {
        broke(Rule::LayerMissing, ZERIN_ERROR_INVALID_ARGUMENT, "layer %d of %d is null", l, layerCount);
        continue;
      }
      frame.layers[l] = *layer;
      if (layer->type != ZERIN_LAYER_PROJECTION)
        broke(Rule::LayerTypeUnknown, ZERIN_ERROR_INVALID_ARGUMENT,
              "layer %d has type %lld; only %d (projection) exists", l, static_cast<long long>(layer->type),
              ZERIN_LAYER_PROJECTION);
      if (layer->viewCount < 1 || layer->viewCount > ZERIN_VIEW_COUNT)
        broke(Rule::ViewCountOutOfRange, ZERIN_ERROR_INVALID_ARGUMENT, "layer %d has %d views; 1 to %d are allowed", l,
              layer->viewCount, ZERIN_VIEW_COUNT);
      const int viewCount = std::clamp(layer->viewCount, 0, static_cast<int>(ZERIN_VIEW_COUNT));
      if (!layer->views) {
        if (viewCount > 0)
          broke(Rule::ViewsMissing, ZERIN_ERROR_INVALID_ARGUMENT, "layer %d has %d views and a null view list", l,
                viewCount);
        continue;
      }
      for (int v = 0; v < viewCount; ++v) copyView(l, v, layer->views[v], frame.views[l * ZERIN_VIEW_COUNT + v]);
    }
  }

 private:
  void copyView(int l, int v, const ZerinRuntimeView& view, ZerinSimSubmittedView& out) {
    out.view = view;
    if (!finite(view.pose) || !finite(view.projection))
      broke(Rule::PoseNotFinite, 0, "layer %d view %d has a pose or projection that is not finite", l, v);
    else if (!rigid(view.pose))
      broke(Rule::PoseNotRigid, 0, "layer %d view %d has a pose that is no rotation and translation", l, v);
    out.colourImage = shownImage(l, v, "colour", view.colour);
    out.depthImage = -1;
    const ZerinExtensionHeader* extension = view.extensions;
    for (int hops = 0; extension && hops < kMaxExtensions; ++hops) {
      if (extension->type == ZERIN_EXTENSION_DEPTH && !out.hasDepth) {
        std::memcpy(&out.depth, extension, sizeof out.depth);
        out.hasDepth = 1;
        checkDepthRange(l, v, out.depth);
        out.depthImage = shownImage(l, v, "depth", out.depth.depth);
        extension = out.depth.next;
      } else if (extension->type == ZERIN_EXTENSION_EXTRA_DEPTH && out.hasDepth && !out.hasExtraDepth) {
        std::memcpy(&out.extraDepth, extension, sizeof out.extraDepth);
        out.hasExtraDepth = 1;
        extension = out.extraDepth.next;
      } else {
        broke(Rule::ExtensionChainInvalid, ZERIN_ERROR_INVALID_ARGUMENT,
              "layer %d view %d: extension %d, of type %lld, %s", l, v, hops, static_cast<long long>(extension->type),
              misplaced(extension->type, out));
        return;
      }
    }
    if (extension)
      broke(Rule::ExtensionChainInvalid, ZERIN_ERROR_INVALID_ARGUMENT,
            "layer %d view %d: the extension chain goes on past %d links", l, v, kMaxExtensions);
  }

  static const char* misplaced(int64_t type, const ZerinSimSubmittedView& out) {
    if (type == ZERIN_EXTENSION_DEPTH) return "repeats the depth extension";
    if (type == ZERIN_EXTENSION_EXTRA_DEPTH)
      return out.hasDepth ? "repeats the extra-depth extension" : "comes before any depth extension";
    return "is no extension the runtime knows";
  }

  void checkDepthRange(int l, int v, const ZerinDepthExtension& depth) {
    if (depth.nearZ < depth.farZ && depth.minDepth >= 0.0 && depth.minDepth <= depth.maxDepth && depth.maxDepth <= 1.0)
      return;
    broke(Rule::DepthRangeInvalid, 0, "layer %d view %d has near %g, far %g, depth %g to %g", l, v, depth.nearZ,
          depth.farZ, depth.minDepth, depth.maxDepth);
  }

  // The image a viewport's swap chain shows in this frame: the one released last.
  int32_t shownImage(int l, int v, const char* kind, const ZerinSwapchainViewport& viewport) {
    const auto found = state.frames.swapChains.find(viewport.swapChain);
    if (found == state.frames.swapChains.end()) {
      broke(Rule::SwapchainUnknown, ZERIN_ERROR_INVALID_ARGUMENT, "layer %d view %d names a %s swap chain %s", l, v,
            kind, viewport.swapChain ? "the runtime never made" : "that is null");
      return -1;
    }
    const SwapChainRecord* record = found->second.get();
    if (record->images.empty()) {
      broke(Rule::SwapchainDestroyed, ZERIN_ERROR_INVALID_ARGUMENT,
            "layer %d view %d names a %s swap chain that was freed", l, v, kind);
      return -1;
    }
    if (record->session != session) {
      broke(Rule::SwapchainOfAnotherSession, ZERIN_ERROR_INVALID_ARGUMENT,
            "layer %d view %d names a %s swap chain of another session", l, v, kind);
      return -1;
    }
    if (record->acquired > 0)
      broke(Rule::ImageNotReleased, ZERIN_ERROR_INVALID_STATE,
            "layer %d view %d names a %s swap chain whose image %d is acquired and not released", l, v, kind,
            record->currentImage);
    else if (record->lastReleased < 0)
      broke(Rule::ImageNeverReleased, ZERIN_ERROR_INVALID_STATE,
            "layer %d view %d names a %s swap chain none of whose images was ever released", l, v, kind);
    const auto& config = record->config;
    if (viewport.x < 0 || viewport.y < 0 || viewport.width <= 0 || viewport.height <= 0 ||
        int64_t(viewport.x) + viewport.width > int64_t(config.width) ||
        int64_t(viewport.y) + viewport.height > int64_t(config.height) || viewport.arrayIndex < 0 ||
        uint32_t(viewport.arrayIndex) >= config.arraySize)
      broke(Rule::ViewportOutsideImage, ZERIN_ERROR_INVALID_ARGUMENT,
            "layer %d view %d: the %s rectangle %d,%d %dx%d in slice %d lies outside the %u by %u image of %u slices",
            l, v, kind, viewport.x, viewport.y, viewport.width, viewport.height, viewport.arrayIndex, config.width,
            config.height, config.arraySize);
    return record->lastReleased;
  }

  Call& call;
  RuntimeState& state;
  ZerinSession session;
  ZerinSimSubmittedFrame& frame;
  const bool strict;
  ZerinErrorCode problem = 0;
  bool told[static_cast<size_t>(Rule::Count)] = {};
};

}  // namespace

namespace ZerinSim {

void endSessionFrames(RuntimeState& state, ZerinSession session) {
  auto& road = state.frames;
  for (auto& [handle, record] : road.swapChains)
    if (record->session == session && !record->images.empty()) retire(state, handle, *record);
  road.sessions.erase(session);
  road.clockWake.notify_all();
}

}  // namespace ZerinSim

extern "C" {

/* ---- Frame cycle ------------------------------------------------------------------------- */

ZERINLIB_API void zerin_WaitSync(ZerinSession session, ZerinFrameInfo* frameInfo) {
  Call call("zerin_WaitSync");
  call.arguments(session, static_cast<const void*>(frameInfo));
  if (call.injectedFailure() || !call.checkSession(session)) return;
  auto& state = call.state();
  // A record freed already is written all the same, as a runtime that trusts its client would.
  const auto live = state.frameInfos.find(frameInfo);
  FrameInfoRecord* record = live != state.frameInfos.end() ? live->second.get() : state.retiredFrameInfo(frameInfo);
  if (!record)
    return call.refuse(
        Rule::RecordUnknown, ZERIN_ERROR_INVALID_ARGUMENT, "%s",
        frameInfo ? "the frame-info record was not made by zerin_CreateFrameInfo" : "the frame-info record is null");
  FrameRoad& road = state.frames;
  const uint64_t serial = state.sessionSerial(session);

  // Blocks until the first tick of the clock after now, or until the session shuts down; other
  // calls go on meanwhile. A hold keeps it blocked past both.
  const Clock::time_point tick = nextTick(road, Clock::now());
  ++road.waitingSyncs;
  road.waitersChanged.notify_all();
  for (;;) {
    const bool open = state.sessionSerial(session) == serial;
    if (!road.holdSyncs && (!open || road.frameRate <= 0.0 || ZerinSim::hooks::virtualClock() || Clock::now() >= tick))
      break;
    if (road.holdSyncs || road.frameRate <= 0.0) road.clockWake.wait(call.heldLock());
    else road.clockWake.wait_until(call.heldLock(), tick);
  }
  --road.waitingSyncs;
  road.waitersChanged.notify_all();

  // The record is written on waking, without asking whether it still exists.
  if (state.retired(record))
    call.report(Rule::RecordFreed, "the frame-info record it writes was freed by zerin_FreeFrameInfo");
  state.noteWrite(record, "zerin_WaitSync");
  auto& info = record->info;
  if (state.sessionSerial(session) != serial) {
    // Woken by the shutdown: a record that carries no frame.
    info.frameIndex = 0;
    info.predictedDisplayTime = 0;
    return call.fail(ZERIN_ERROR_INVALID_SESSION);
  }
  auto& frames = road.sessions[session];
  const int64_t frame = ++frames.synced;
  const double angle = kRotationPerFrame * static_cast<double>(frame);
  frames.cosine = std::cos(angle);
  frames.sine = std::sin(angle);
  info.frameIndex = frame;
  const double period = road.frameRate > 0.0 ? 1.0 / road.frameRate : 0.0;
  info.predictedDisplayTime = ZerinSim::hooks::virtualClock()
                                  ? static_cast<int64_t>(static_cast<double>(frame) * period * 1e9)
                                  : nanosecondsSince(road.clockEpoch, tick) + static_cast<int64_t>(period * 1e9);
  const bool posed = ZerinSim::hooks::frameSynced(state, session, frame, *record);
  for (int view = 0; view < ZERIN_VIEW_COUNT; ++view) {
    ZerinFrameView& out = record->views[view];
    if (!posed) out.pose = frameMatrix(frames, view);
    out.projection = projection(out.viewport);
  }
}

ZERINLIB_API ZerinMatrix zerin_FrameGetPose(ZerinSession session, int64_t poseKind) {
  Call call("zerin_FrameGetPose");
  call.arguments(session, poseKind);
  if (call.injectedFailure() || !call.checkSession(session)) return ZerinMatrix{};
  if (poseKind < ZERIN_POSE_HEAD || poseKind > ZERIN_POSE_RIGHT_EYE) {
    if (call.broke(Rule::PoseKindUnknown, ZERIN_ERROR_INVALID_ARGUMENT,
                   "pose kind %lld is none of 1 (head), 2 (left eye), 3 (right eye)", static_cast<long long>(poseKind)))
      return ZerinMatrix{};
    poseKind = ZERIN_POSE_HEAD;
  }
  ZerinMatrix pose;
  if (ZerinSim::hooks::framePose(session, poseKind, pose)) return pose;
  return frameMatrix(call.state().frames.sessions[session], static_cast<double>(poseKind));
}

ZERINLIB_API void zerin_BeginFrame(ZerinSession session, ZerinSubmitInfo* submitInfo) {
  Call call("zerin_BeginFrame");
  call.arguments(session, static_cast<const void*>(submitInfo));
  if (call.injectedFailure() || !call.checkSession(session)) return;
  auto& state = call.state();
  const auto record = state.submitInfos.find(submitInfo);
  if (record == state.submitInfos.end()) {
    if (submitInfo && state.wasFreed(submitInfo))
      return call.refuse(Rule::RecordFreed, ZERIN_ERROR_INVALID_ARGUMENT,
                         "the submit-info record was freed by zerin_FreeSubmitInfo");
    return call.refuse(Rule::RecordUnknown, ZERIN_ERROR_INVALID_ARGUMENT, "%s",
                       submitInfo ? "the submit-info record was not made by zerin_CreateSubmitInfo"
                                  : "the submit-info record is null");
  }
  // A frame begun and never ended is discarded by the next begin.
  auto& frames = state.frames.sessions[session];
  if (frames.synced == 0) call.report(Rule::FrameNotSynced, "a frame was begun before the first zerin_WaitSync");
  if (frames.begun)
    call.report(Rule::FrameBeginTwice, "frame %lld was begun while frame %lld was begun and not ended",
                static_cast<long long>(frames.synced), static_cast<long long>(frames.begunIndex));
  frames.begun = true;
  frames.begunIndex = frames.synced;
  record->second->info.frameIndex = frames.synced;
}

ZERINLIB_API void zerin_EndFrameWithLayers(ZerinSession session, const ZerinLayerSubmit* submit) {
  Call call("zerin_EndFrameWithLayers");
  call.arguments(session, static_cast<const void*>(submit));
  if (call.injectedFailure() || !call.checkSession(session)) return;
  if (!submit) return call.refuse(Rule::InvalidArgument, ZERIN_ERROR_INVALID_ARGUMENT, "the layer submit is null");
  auto& state = call.state();
  ZerinSimSubmittedFrame* frame = &state.frames.submitted.add();
  frame->session = session;
  frame->submit = *submit;
  SubmissionRecorder recorder(call, session, *frame);

  auto& frames = state.frames.sessions[session];
  if (!frames.begun) {
    recorder.broke(Rule::FrameEndWithoutBegin, ZERIN_ERROR_INVALID_STATE,
                   "frame %lld was ended without zerin_BeginFrame", static_cast<long long>(submit->frameIndex));
  } else {
    frame->begunFrameIndex = frames.begunIndex;
    if (submit->frameIndex != frames.begunIndex)
      recorder.broke(Rule::FrameIndexMismatch, ZERIN_ERROR_INVALID_ARGUMENT,
                     "frame %lld was ended, but frame %lld was begun", static_cast<long long>(submit->frameIndex),
                     static_cast<long long>(frames.begunIndex));
  }
  frames.begun = false;
  recorder.copyLayers(*submit);

  frame->error = recorder.firstProblem();
  if (frame->error != 0) call.fail(frame->error);
  ZerinSim::hooks::frameSubmitted(state, *frame);
}

/* ---- Swap chains ------------------------------------------------------------------------- */

ZERINLIB_API ZerinSwapChain zerin_D3D11CreateSwapChain(ZerinSession session, ID3D11Device* device,
                                                     const ZerinSwapChainConfig* config) {
  Call call("zerin_D3D11CreateSwapChain");
  call.arguments(session, static_cast<const void*>(device), static_cast<const void*>(config));
  if (call.injectedFailure() || !call.checkSession(session)) return call.result<ZerinSwapChain>(nullptr);
  D3D11_TEXTURE2D_DESC desc;
  if (!device) {
    call.refuse(Rule::InvalidArgument, ZERIN_ERROR_INVALID_ARGUMENT, "the device is null");
    return call.result<ZerinSwapChain>(nullptr);
  }
  if (!config) {
    call.refuse(Rule::SwapchainConfigInvalid, ZERIN_ERROR_INVALID_ARGUMENT, "the swap-chain config is null");
    return call.result<ZerinSwapChain>(nullptr);
  }
  if (!imageDescription(*config, desc)) {
    call.refuse(Rule::SwapchainConfigInvalid, ZERIN_ERROR_INVALID_ARGUMENT,
                "no image can be made of %u by %u texels, format %d, %u slices, %u samples, usage %u", config->width,
                config->height, config->format, config->arraySize, config->sampleCount, config->usage);
    return call.result<ZerinSwapChain>(nullptr);
  }
  if (!sessionDevice(call.state(), session, device) &&
      call.broke(Rule::TextureOfAnotherDevice, ZERIN_ERROR_INVALID_ARGUMENT,
                 "the device is not the one the session's swap chains were made with"))
    return call.result<ZerinSwapChain>(nullptr);
  auto record = std::make_unique<SwapChainRecord>();
  record->session = session;
  record->config = *config;
  for (int i = 0; i < ZERINSIM_SWAPCHAIN_IMAGE_COUNT; ++i) {
    ZerinSim::Gfx::Ref<ID3D11Texture2D> image;
    if (FAILED(device->CreateTexture2D(&desc, nullptr, image.put())) || !image) {
      call.refuse(Rule::SwapchainConfigInvalid, ZERIN_ERROR_INVALID_ARGUMENT,
                  "the device made no %u by %u image of format %d", config->width, config->height, config->format);
      return call.result<ZerinSwapChain>(nullptr);
    }
    record->images.push_back(std::move(image));
  }
  auto* handle = reinterpret_cast<ZerinSwapChain>(record.get());
  auto& state = call.state();
  const std::string name = state.nameObject(handle, "swapChain");
  for (size_t i = 0; i < record->images.size(); ++i)
    state.nameMember(record->images[i].get(), name + ".image" + std::to_string(i));
  state.frames.swapChains.emplace(handle, std::move(record));
  return call.result(handle);
}

ZERINLIB_API void zerin_FreeSwapChain(ZerinSwapChain swapChain) {
  Call call("zerin_FreeSwapChain");
  call.arguments(static_cast<const void*>(swapChain));
  errorsToSessionOf(call, swapChain);
  if (call.injectedFailure()) return;
  auto& state = call.state();
  SwapChainRecord* record = state.frames.liveSwapChain(swapChain);
  if (!record) return refuseSwapChain(call, swapChain);
  retire(state, swapChain, *record);
}

ZERINLIB_API void zerin_AcquireSwapChainImage(ZerinSwapChain swapChain, int32_t* index) {
  Call call("zerin_AcquireSwapChainImage");
  call.arguments(static_cast<const void*>(swapChain), static_cast<const void*>(index));
  errorsToSessionOf(call, swapChain);
  if (call.injectedFailure()) return;
  SwapChainRecord* record = call.state().frames.liveSwapChain(swapChain);
  if (!record) return refuseSwapChain(call, swapChain);
  if (!index) return call.refuse(Rule::InvalidArgument, ZERIN_ERROR_INVALID_ARGUMENT, "the index pointer is null");
  // Acquires within one frame, before the image is released, all get the same image.
  if (record->acquired == 0)
    record->currentImage = (record->currentImage + 1) % static_cast<int32_t>(record->images.size());
  ++record->acquired;
  ++record->acquires;
  *index = call.result(record->currentImage);
}

ZERINLIB_API ZerinSwapChainImage zerin_GetSwapChainImage(ZerinSwapChain swapChain, int32_t index) {
  Call call("zerin_GetSwapChainImage");
  call.arguments(static_cast<const void*>(swapChain), index);
  errorsToSessionOf(call, swapChain);
  if (call.injectedFailure()) return ZerinSwapChainImage{};
  SwapChainRecord* record = call.state().frames.liveSwapChain(swapChain);
  if (!record) {
    refuseSwapChain(call, swapChain);
    return ZerinSwapChainImage{};
  }
  if (index < 0 || static_cast<size_t>(index) >= record->images.size()) {
    call.refuse(Rule::ImageIndexOutOfRange, ZERIN_ERROR_INVALID_ARGUMENT,
                "image %d was asked of a swap chain of %zu images", index, record->images.size());
    return ZerinSwapChainImage{};
  }
  ID3D11Texture2D* texture = record->images[static_cast<size_t>(index)].get();
  D3D11_TEXTURE2D_DESC desc;
  texture->GetDesc(&desc);
  ZerinSwapChainImage image{};
  image.swapChain = swapChain;
  image.nativeTexture = texture;
  image.index = index;
  image.width = desc.Width;
  image.height = desc.Height;
  image.format = static_cast<int32_t>(desc.Format);
  return image;
}

ZERINLIB_API ID3D11Texture2D* zerin_ToD3D11Texture(ZerinSwapChainImage image) {
  Call call("zerin_ToD3D11Texture");
  call.arguments(static_cast<const void*>(image.swapChain), image.index);
  errorsToSessionOf(call, image.swapChain);
  if (call.injectedFailure()) return call.result<ID3D11Texture2D*>(nullptr);
  SwapChainRecord* record = call.state().frames.liveSwapChain(image.swapChain);
  if (!record) {
    refuseSwapChain(call, image.swapChain);
    return call.result<ID3D11Texture2D*>(nullptr);
  }
  if (image.index < 0 || static_cast<size_t>(image.index) >= record->images.size()) {
    call.refuse(Rule::ImageIndexOutOfRange, ZERIN_ERROR_INVALID_ARGUMENT, "image %d of a swap chain of %zu images",
                image.index, record->images.size());
    return call.result<ID3D11Texture2D*>(nullptr);
  }
  // Only the handle and index are looked up; the texture pointer is compared, never used.
  if (record->images[static_cast<size_t>(image.index)].get() != image.nativeTexture &&
      call.broke(Rule::TextureOfAnotherDevice, ZERIN_ERROR_INVALID_ARGUMENT,
                 "the image's texture is not image %d of its swap chain", image.index))
    return call.result<ID3D11Texture2D*>(nullptr);
  return call.result(record->images[static_cast<size_t>(image.index)].get());
}

ZERINLIB_API void zerin_ReleaseSwapChainImage(ZerinSwapChain swapChain) {
  Call call("zerin_ReleaseSwapChainImage");
  call.arguments(static_cast<const void*>(swapChain));
  errorsToSessionOf(call, swapChain);
  if (call.injectedFailure()) return;
  SwapChainRecord* record = call.state().frames.liveSwapChain(swapChain);
  if (!record) return refuseSwapChain(call, swapChain);
  if (record->acquired == 0) {
    // Lenient: nothing to release, so nothing more happens.
    call.broke(Rule::ReleaseWithoutAcquire, ZERIN_ERROR_INVALID_STATE, "no image of the swap chain is acquired");
    return;
  }
  if (--record->acquired == 0) record->lastReleased = record->currentImage;
  ++record->releases;
}

}  // extern "C"
