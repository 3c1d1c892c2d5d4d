#include "render/swapchains.h"

#include "core/engine_device.h"
#include "core/session_handle.h"

namespace Zerin {

namespace {

bool missing(const SwapchainSlot* slot) { return !slot || !slot->handle; }

bool badView(const SubmissionView& view) {
  return missing(view.colourSlot) || (view.hasDepth != 0 && missing(view.depthSlot));
}

ZerinSwapChainImage acquireImage(ZerinSwapChain swapChain) {
  int32_t index = 0;
  zerin_AcquireSwapChainImage(swapChain, &index);
  return zerin_GetSwapChainImage(swapChain, index);
}

}  // namespace

void processSwapchainRequests() {
  const ZerinSession current = session.load();
  IUnityGraphicsD3D11* d3d11 = unityGraphicsD3D11.load();
  for (SwapchainCreateRequest& request : createQueue) {
    ID3D11Device* device = d3d11 && d3d11->GetDevice ? d3d11->GetDevice() : nullptr;
    request.slot->handle = zerin_D3D11CreateSwapChain(current, device, &request.config);
  }
  std::deque<SwapchainCreateRequest>().swap(createQueue);

  for (SwapchainSlot* slot : destroyQueue) {
    if (slot && slot->handle) zerin_FreeSwapChain(slot->handle);
    delete slot;
  }
  std::deque<SwapchainSlot*>().swap(destroyQueue);
}

void FrameImages::acquire(const SubmissionEntry& submission) {
  invalid = false;
  // The tables are not cleared: each entry a view reads is written below first.
  entry = &submission;

  for (int l = 0; l < submission.layerCount; ++l)
    for (const SubmissionView& view : submission.layers[l].views)
      if (badView(view)) invalid = true;
  if (invalid || submission.layerCount < 1) return;

  for (int l = 0; l < submission.layerCount; ++l) {
    for (int v = 0; v < kViewsPerLayer; ++v) {
      const SubmissionView& view = submission.layers[l].views[v];
      const int i = l * kViewsPerLayer + v;
      colourImages[i] = acquireImage(view.colourSlot->handle);
      if (view.hasDepth != 0) depthImages[i] = acquireImage(view.depthSlot->handle);
    }
  }
}

void FrameImages::release() {
  if (invalid || !entry) return;
  for (int l = 0; l < entry->layerCount; ++l) {
    for (const SubmissionView& view : entry->layers[l].views) {
      zerin_ReleaseSwapChainImage(view.colourSlot->handle);
      if (view.hasDepth != 0) zerin_ReleaseSwapChainImage(view.depthSlot->handle);
    }
  }
}

}  // namespace Zerin
