#pragma once
// What the scripts' exports do on the scripting thread: queue requests for the render thread,
// read back what it published, and wait for its frame syncs. None of them waits for the render
// thread except syncRenderThread.
#include "render/render_state.h"

namespace Zerin {

// A new slot (reading 0 until the render thread has made the swap chain) with a copy of
// *config queued for creation; null without a session or without a configuration.
SwapchainSlot* queueCreateD3D11Swapchain(const SwapchainConfig* config);
// Queues the slot for destruction with its swap chain; null is accepted (and skipped).
void queueDestroySwapchain(SwapchainSlot* slot);
// Queues a copy of the first min(layerCount, 4) layers; a negative count queues an empty
// frame. Nothing without a session.
void queueSubmission(int32_t layerCount, const SubmissionLayer* layers);
// The views and poses of the latest frame sync. Without a session `out` is left as it is.
void getFramePoseData(FramePoseData* out);
// Waits for a frame sync signal of the render thread that no earlier call has taken.
void syncRenderThread();

}  // namespace Zerin
