#include "render/render_requests.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "core/plugin_log.h"
#include "core/runtime_records.h"
#include "core/session_handle.h"

namespace Zerin {

SwapchainSlot* queueCreateD3D11Swapchain(const SwapchainConfig* config) {
  if (!session.load()) return nullptr;
  if (!config) {
    // The system's own text (tests match it): must not be corrected.
    pluginLog("QueueCreateD3D11Swapchain: no configuration given.");
    return nullptr;
  }
  // EndSession and the render thread free slots with delete.
  auto slot = std::make_unique<SwapchainSlot>();
  slot->handle = nullptr;
  std::lock_guard<std::mutex> lock(swapchainRequestLock);
  createQueue.push_back({slot.get(), recordAs<ZerinSwapChainConfig>(*config)});
  return slot.release();
}

void queueDestroySwapchain(SwapchainSlot* slot) {
  std::lock_guard<std::mutex> lock(swapchainRequestLock);
  destroyQueue.push_back(slot);
}

void queueSubmission(int32_t layerCount, const SubmissionLayer* layers) {
  if (!session.load()) return;
  const int32_t count = std::clamp<int32_t>(layerCount, 0, kMaxLayers);
  if (count > 0 && !layers) {
    // The system's own text (tests match it): must not be corrected.
    pluginLog("QueueSubmission: %d layers announced, none given.", layerCount);
    return;
  }
  std::lock_guard<std::mutex> lock(submissionQueueLock);
  // The slot keeps the layers of an earlier entry beyond `count`: nobody reads them.
  SubmissionEntry& entry = submissionQueue.appendSlot();
  entry.layerCount = count;
  if (count > 0) std::memcpy(entry.layers, layers, sizeof(SubmissionLayer) * static_cast<size_t>(count));
}

void getFramePoseData(FramePoseData* out) {
  if (!out) return;
  std::lock_guard<std::mutex> lock(poseLock);
  // The record exists while a session is open; EndSession frees it on this same thread.
  const ZerinFrameInfo* shared = frameInfoShared.load();
  if (!shared || !shared->views) return;
  std::memcpy(out->views, shared->views, sizeof out->views);
  std::memcpy(out->poses, framePoses, sizeof out->poses);
}

void syncRenderThread() {
  std::unique_lock<std::mutex> lock(syncLock);
  syncCondition->wait(lock, [] { return renderSyncCount >= 1; });
  --renderSyncCount;
}

}  // namespace Zerin
