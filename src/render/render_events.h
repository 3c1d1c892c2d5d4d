#pragma once
// The engine's render thread enters the plug-in through onRenderEvent, with the id of the
// render event a script issued. Everything that drives the runtime's frame loop and every use
// of the Direct3D 11 immediate context runs there.
#include <cstdint>

#include "zerin/engine_bridge.h"  // the ids, ZERIN_BRIDGE_RENDER_EVENT_*

namespace Zerin {

enum class RenderEvent : int32_t {
  FrameStart = ZERIN_BRIDGE_RENDER_EVENT_FRAME_START,
  FrameSubmit = ZERIN_BRIDGE_RENDER_EVENT_FRAME_SUBMIT,
  SwapchainRequests = ZERIN_BRIDGE_RENDER_EVENT_SWAPCHAIN_REQUESTS,
  EventPoll = ZERIN_BRIDGE_RENDER_EVENT_EVENT_POLL,
  FrameSync = ZERIN_BRIDGE_RENDER_EVENT_FRAME_SYNC,
};

// The render-event callback (GetRenderEventFunc hands out its address).
void onRenderEvent(int32_t eventId);

// Logs the runtime's pending error as "Error: (code) text", if there is one.
void runtimeErrorCheck();
// Moves every event the runtime has into eventQueue; the caller holds eventQueueLock.
void drainRuntimeEvents();
// Releases one SyncRenderThread, now or when it comes.
void signalRenderSync();
// EndSession's end of the sync frame-info record, with frameLock held: freed now, or, while
// the render thread waits in zerin_WaitSync with it, left for the render thread to free once
// the wait returns.
void freeSyncRecord();

}  // namespace Zerin
