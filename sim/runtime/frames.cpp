// The simulated runtime's frame cycle and swap chains: a frame clock behind zerin_WaitSync,
// frames whose views and poses carry their index, begin and end of frames with a deep record of
// every submission, and swap chains whose images are textures of the client's device.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "runtime_state.h"
#include "simulator_hooks.h"

using ZerinSim::Call;
using ZerinSim::FrameInfoRecord;
using ZerinSim::FrameRoad;
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

// Builds the record of one zerin_EndFrameWithLayers, noting the first problem found.
class SubmissionRecorder {
 public:
  SubmissionRecorder(RuntimeState& state, ZerinSession session, ZerinSimSubmittedFrame& frame)
      : state(state), session(session), frame(frame) {}

  void note(ZerinErrorCode code) {
    if (problem == 0) problem = code;
  }
  ZerinErrorCode firstProblem() const { return problem; }

  void copyLayers(const ZerinLayerSubmit& submit) {
    if (submit.layerCount < 0 || submit.layerCount > kMaxLayers) note(ZERIN_ERROR_INVALID_ARGUMENT);
    const int layerCount = std::clamp(submit.layerCount, 0, kMaxLayers);
    if (!submit.layers) {
      if (layerCount > 0) note(ZERIN_ERROR_INVALID_ARGUMENT);
      return;
    }
    for (int l = 0; l < kMaxLayers; ++l) frame.layerPointers[l] = submit.layers[l];
    for (int l = 0; l < layerCount; ++l) {
      const ZerinRuntimeLayer* layer = submit.layers[l];
      if (!layer) {
        note(ZERIN_ERROR_INVALID_ARGUMENT);
        continue;
      }
      frame.layers[l] = *layer;
      if (layer->type != ZERIN_LAYER_PROJECTION) note(ZERIN_ERROR_INVALID_ARGUMENT);
      if (layer->viewCount < 1 || layer->viewCount > ZERIN_VIEW_COUNT) note(ZERIN_ERROR_INVALID_ARGUMENT);
      const int viewCount = std::clamp(layer->viewCount, 0, static_cast<int>(ZERIN_VIEW_COUNT));
      if (!layer->views) {
        if (viewCount > 0) note(ZERIN_ERROR_INVALID_ARGUMENT);
        continue;
      }
      for (int v = 0; v < viewCount; ++v) copyView(layer->views[v], frame.views[l * ZERIN_VIEW_COUNT + v]);
    }
  }

 private:
  void copyView(const ZerinRuntimeView& view, ZerinSimSubmittedView& out) {
    out.view = view;
    out.colourImage = shownImage(view.colour);
    out.depthImage = -1;
    const ZerinExtensionHeader* extension = view.extensions;
    for (int hops = 0; extension && hops < kMaxExtensions; ++hops) {
      if (extension->type == ZERIN_EXTENSION_DEPTH && !out.hasDepth) {
        std::memcpy(&out.depth, extension, sizeof out.depth);
        out.hasDepth = 1;
        out.depthImage = shownImage(out.depth.depth);
        extension = out.depth.next;
      } else if (extension->type == ZERIN_EXTENSION_EXTRA_DEPTH && out.hasDepth && !out.hasExtraDepth) {
        std::memcpy(&out.extraDepth, extension, sizeof out.extraDepth);
        out.hasExtraDepth = 1;
        extension = out.extraDepth.next;
      } else {
        note(ZERIN_ERROR_INVALID_ARGUMENT);
        return;
      }
    }
    if (extension) note(ZERIN_ERROR_INVALID_ARGUMENT);
  }

  // The image a viewport's swap chain shows in this frame: the one released last.
  int32_t shownImage(const ZerinSwapchainViewport& viewport) {
    const SwapChainRecord* record = state.frames.liveSwapChain(viewport.swapChain);
    if (!record || record->session != session) {
      note(ZERIN_ERROR_INVALID_ARGUMENT);
      return -1;
    }
    if (record->acquired > 0 || record->lastReleased < 0) note(ZERIN_ERROR_INVALID_STATE);
    const auto& config = record->config;
    if (viewport.x < 0 || viewport.y < 0 || viewport.width <= 0 || viewport.height <= 0 ||
        int64_t(viewport.x) + viewport.width > int64_t(config.width) ||
        int64_t(viewport.y) + viewport.height > int64_t(config.height) || viewport.arrayIndex < 0 ||
        uint32_t(viewport.arrayIndex) >= config.arraySize)
      note(ZERIN_ERROR_INVALID_ARGUMENT);
    return record->lastReleased;
  }

  RuntimeState& state;
  ZerinSession session;
  ZerinSimSubmittedFrame& frame;
  ZerinErrorCode problem = 0;
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
  if (!record) return call.fail(ZERIN_ERROR_INVALID_ARGUMENT);
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
    call.fail(ZERIN_ERROR_INVALID_ARGUMENT);
    return ZerinMatrix{};
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
  if (record == state.submitInfos.end()) return call.fail(ZERIN_ERROR_INVALID_ARGUMENT);
  // A frame begun and never ended is discarded by the next begin.
  auto& frames = state.frames.sessions[session];
  frames.begun = true;
  frames.begunIndex = frames.synced;
  record->second->info.frameIndex = frames.synced;
}

ZERINLIB_API void zerin_EndFrameWithLayers(ZerinSession session, const ZerinLayerSubmit* submit) {
  Call call("zerin_EndFrameWithLayers");
  call.arguments(session, static_cast<const void*>(submit));
  if (call.injectedFailure() || !call.checkSession(session)) return;
  if (!submit) return call.fail(ZERIN_ERROR_INVALID_ARGUMENT);
  auto& state = call.state();
  ZerinSimSubmittedFrame* frame = &state.frames.submitted.add();
  frame->session = session;
  frame->submit = *submit;
  SubmissionRecorder recorder(state, session, *frame);

  auto& frames = state.frames.sessions[session];
  if (!frames.begun) {
    recorder.note(ZERIN_ERROR_INVALID_STATE);
  } else {
    frame->begunFrameIndex = frames.begunIndex;
    if (submit->frameIndex != frames.begunIndex) recorder.note(ZERIN_ERROR_INVALID_ARGUMENT);
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
  if (!device || !config || !imageDescription(*config, desc)) {
    call.fail(ZERIN_ERROR_INVALID_ARGUMENT);
    return call.result<ZerinSwapChain>(nullptr);
  }
  auto record = std::make_unique<SwapChainRecord>();
  record->session = session;
  record->config = *config;
  for (int i = 0; i < ZERINSIM_SWAPCHAIN_IMAGE_COUNT; ++i) {
    ZerinSim::Gfx::Ref<ID3D11Texture2D> image;
    if (FAILED(device->CreateTexture2D(&desc, nullptr, image.put())) || !image) {
      call.fail(ZERIN_ERROR_INVALID_ARGUMENT);
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
  if (!record) return call.fail(ZERIN_ERROR_INVALID_ARGUMENT);
  retire(state, swapChain, *record);
}

ZERINLIB_API void zerin_AcquireSwapChainImage(ZerinSwapChain swapChain, int32_t* index) {
  Call call("zerin_AcquireSwapChainImage");
  call.arguments(static_cast<const void*>(swapChain), static_cast<const void*>(index));
  errorsToSessionOf(call, swapChain);
  if (call.injectedFailure()) return;
  SwapChainRecord* record = call.state().frames.liveSwapChain(swapChain);
  if (!record || !index) return call.fail(ZERIN_ERROR_INVALID_ARGUMENT);
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
  if (!record || index < 0 || static_cast<size_t>(index) >= record->images.size()) {
    call.fail(ZERIN_ERROR_INVALID_ARGUMENT);
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
  if (!record || image.index < 0 || static_cast<size_t>(image.index) >= record->images.size() ||
      record->images[static_cast<size_t>(image.index)].get() != image.nativeTexture) {
    call.fail(ZERIN_ERROR_INVALID_ARGUMENT);
    return call.result<ID3D11Texture2D*>(nullptr);
  }
  return call.result(record->images[static_cast<size_t>(image.index)].get());
}

ZERINLIB_API void zerin_ReleaseSwapChainImage(ZerinSwapChain swapChain) {
  Call call("zerin_ReleaseSwapChainImage");
  call.arguments(static_cast<const void*>(swapChain));
  errorsToSessionOf(call, swapChain);
  if (call.injectedFailure()) return;
  SwapChainRecord* record = call.state().frames.liveSwapChain(swapChain);
  if (!record) return call.fail(ZERIN_ERROR_INVALID_ARGUMENT);
  if (record->acquired == 0) return call.fail(ZERIN_ERROR_INVALID_STATE);
  if (--record->acquired == 0) record->lastReleased = record->currentImage;
  ++record->releases;
}

}  // extern "C"
