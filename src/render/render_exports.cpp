// The render queue's exports: the render-event callback, and the requests and read-backs the
// scripts call on their own thread.
#include <exception>

#include "core/plugin_log.h"
#include "render/render_events.h"
#include "render/render_requests.h"
#include "unity_interfaces.h"
#include "zerin/engine_bridge.h"

namespace {

// Failures become log lines: nothing unwinds into the engine.
template <class Body>
void guarded(const char* what, Body body) {
  try {
    body();
  } catch (const std::exception& error) {
    Zerin::pluginLog("%s failed: %s", what, error.what());
  } catch (...) {
    Zerin::pluginLog("%s failed.", what);
  }
}

void OnRenderEvent(int32_t eventId) {
  guarded("OnRenderEvent", [eventId] { Zerin::onRenderEvent(eventId); });
}

}  // namespace

extern "C" UnityRenderingEvent GetRenderEventFunc(void) { return &OnRenderEvent; }

extern "C" Zerin::SwapchainSlot* QueueCreateD3D11Swapchain(const Zerin::SwapchainConfig* config) {
  Zerin::SwapchainSlot* slot = nullptr;
  guarded("QueueCreateD3D11Swapchain", [&] { slot = Zerin::queueCreateD3D11Swapchain(config); });
  return slot;
}

extern "C" void QueueDestroySwapchain(Zerin::SwapchainSlot* slot) {
  guarded("QueueDestroySwapchain", [slot] { Zerin::queueDestroySwapchain(slot); });
}

extern "C" void QueueSubmission(int32_t layerCount, const Zerin::SubmissionLayer* layers) {
  guarded("QueueSubmission", [&] { Zerin::queueSubmission(layerCount, layers); });
}

extern "C" void GetFramePoseData(Zerin::FramePoseData* out) {
  guarded("GetFramePoseData", [out] { Zerin::getFramePoseData(out); });
}

// Returns once for every render event 20 (frame sync), counting signals that came before the
// call. Event 20 signals also when it cannot run: without a session, and without the engine's
// Direct3D 11 interface (after the line "Missing Unity D3D11 handle."), so that a script that
// issues an event 20 before each call never waits for ever.
extern "C" void SyncRenderThread(void) {
  guarded("SyncRenderThread", [] { Zerin::syncRenderThread(); });
}
