#include "render/render_events.h"

#include <cstring>
#include <mutex>

#include "core/engine_device.h"
#include "core/plugin_log.h"
#include "core/session_handle.h"
#include "render/frame_submit.h"
#include "render/render_state.h"
#include "render/swapchains.h"

namespace Zerin {

namespace {

constexpr int kPoseKinds = 3;

// Each handler returns false when it left early, which skips the exit error check.

bool frameStart() {
  // frameLock keeps EndSession from freeing the submit-info record and shutting the session down
  // while the frame is submitted and begun.
  std::lock_guard<std::mutex> frame(frameLock);
  const ZerinSession current = session.load();
  if (!current) return false;
  if (frameBegun) {
    submitFrame();
    frameBegun = false;
  }
  zerin_BeginFrame(current, submitInfo.load());
  frameBegun = true;
  return true;
}

bool frameSubmit() {
  std::lock_guard<std::mutex> frame(frameLock);
  if (!session.load()) return false;
  submitFrame();
  frameBegun = false;
  return true;
}

bool swapchainRequests() {
  std::lock_guard<std::mutex> lock(swapchainRequestLock);
  if (!session.load()) return false;
  processSwapchainRequests();
  return true;
}

bool eventPoll() {
  // Under frameLock the runtime is never polled with a session that EndSession is shutting down.
  std::lock_guard<std::mutex> frame(frameLock);
  std::lock_guard<std::mutex> events(eventQueueLock);
  if (!session.load()) return false;
  drainRuntimeEvents();
  return true;
}

// The frame's counters and views into the shared record; the view pointers stay as they are.
void copyFrameInfo(const ZerinFrameInfo* from, ZerinFrameInfo* to) {
  if (!from || !to) return;
  to->frameIndex = from->frameIndex;
  to->predictedDisplayTime = from->predictedDisplayTime;
  if (from->views && to->views) std::memcpy(to->views, from->views, sizeof(ZerinFrameView) * ZERIN_VIEW_COUNT);
}

bool frameSync() {
  ZerinSession current = nullptr;
  ZerinFrameInfo* record = nullptr;
  {
    std::lock_guard<std::mutex> frame(frameLock);
    current = session.load();
    if (!current) {
      signalRenderSync();
      return false;
    }
    record = frameInfoSync.load();
    frameSyncWait = FrameSyncWait{true, record, false};
  }
  // Blocks until the runtime's frame sync; no lock is held meanwhile. The runtime writes the
  // record when it returns.
  zerin_WaitSync(current, record);

  std::unique_lock<std::mutex> frame(frameLock);
  const bool sessionEnded = frameSyncWait.sessionEnded;
  frameSyncWait = FrameSyncWait{};
  if (sessionEnded) {
    // EndSession left the record to us: the runtime is done with it only now. Nothing to
    // publish; the script waiting for this sync is released all the same.
    frame.unlock();
    if (record) zerin_FreeFrameInfo(record);
    signalRenderSync();
    return false;
  }
  std::lock_guard<std::mutex> poses(poseLock);
  for (int kind = 1; kind <= kPoseKinds; ++kind) framePoses[kind - 1] = zerin_FrameGetPose(current, kind);
  copyFrameInfo(record, frameInfoShared.load());
  std::lock_guard<std::mutex> events(eventQueueLock);
  drainRuntimeEvents();
  signalRenderSync();
  return true;
}

}  // namespace

void runtimeErrorCheck() {
  const ZerinErrorCode code = zerin_GetError(session.load());
  // The system's own text (tests and the demo match it): must not be corrected.
  if (code != 0) pluginLog("Error: (%i) %s", static_cast<int32_t>(code), zerin_GetErrorDesc(code));
}

void drainRuntimeEvents() {
  ZerinEvent event{};
  const ZerinSession current = session.load();
  while (zerin_PollEvent(current, &event) == 1) eventQueue.append(event);
}

void freeSyncRecord() {
  ZerinFrameInfo* record = frameInfoSync.exchange(nullptr);
  // Only the record of the wait's own session is left to it: a later session, opened and ended
  // while that wait still runs, frees its own.
  if (frameSyncWait.inProgress && frameSyncWait.record == record) frameSyncWait.sessionEnded = true;
  else if (record) zerin_FreeFrameInfo(record);
}

void signalRenderSync() {
  std::lock_guard<std::mutex> lock(syncLock);
  ++renderSyncCount;
  syncCondition->notify_one();
}

void onRenderEvent(int32_t eventId) {
  runtimeErrorCheck();
  if (!unityGraphicsD3D11.load()) {
    // The system's own text (tests match it): must not be corrected.
    pluginLog("Missing Unity D3D11 handle.");
    // A script waits in SyncRenderThread for every frame sync it issues: it is released even
    // though the sync cannot run, or it would wait for ever.
    if (eventId == static_cast<int32_t>(RenderEvent::FrameSync)) signalRenderSync();
    return;
  }
  bool finished = true;
  switch (static_cast<RenderEvent>(eventId)) {
    case RenderEvent::FrameStart: finished = frameStart(); break;
    case RenderEvent::FrameSubmit: finished = frameSubmit(); break;
    case RenderEvent::SwapchainRequests: finished = swapchainRequests(); break;
    case RenderEvent::EventPoll: finished = eventPoll(); break;
    case RenderEvent::FrameSync: finished = frameSync(); break;
    default: break;
  }
  if (finished) runtimeErrorCheck();
}

}  // namespace Zerin
