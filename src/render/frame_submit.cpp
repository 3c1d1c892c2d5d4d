#include "render/frame_submit.h"

#include <cstring>
#include <mutex>

#include "plugin/plugin_lifecycle.h"
#include "plugin/plugin_log.h"
#include "plugin/session.h"
#include "render/depth_copy_pass.h"
#include "render/swapchains.h"

namespace Zerin {

namespace {

// The records of one submission, rebuilt for every submission; valid until
// zerin_EndFrameWithLayers returns. Render thread only.
struct SubmitScratch {
  // The entry being submitted, taken from the queue; it stays here until the next pop.
  std::unique_ptr<SubmissionEntry> entry;
  FrameImages images;
  ZerinLayerSubmit submit;
  const ZerinRuntimeLayer* layerPointers[kMaxLayers];
  ZerinRuntimeLayer layers[kMaxLayers];
  ZerinRuntimeView views[kMaxViews];
  ZerinDepthExtension depth[kMaxViews];
  ZerinExtraDepthExtension extraDepth[kMaxViews];

  // Zeroes what the runtime can reach and the submission does not write whole: the submit
  // record and all four layers (the ones beyond layerCount are reachable through their
  // pointers). Every view and extension the runtime can reach is written whole, field by field,
  // so zeroing the kilobytes of the others would only cost the render thread time.
  void zeroRecords() {
    submit = ZerinLayerSubmit{};
    std::memset(layerPointers, 0, sizeof layerPointers);
    std::memset(layers, 0, sizeof layers);
  }
};

SubmitScratch scratch;

// The records zeroRecords leaves alone have no field beside those the submission writes.
static_assert(sizeof(ZerinRuntimeView) == sizeof(void*) + 2 * sizeof(ZerinMatrix) + sizeof(ZerinSwapchainViewport), "");
static_assert(sizeof(ZerinDepthExtension) == 2 * sizeof(void*) + 32 + sizeof(ZerinSwapchainViewport), "");
static_assert(sizeof(ZerinExtraDepthExtension) == 2 * sizeof(void*) + 16, "");
static_assert(sizeof(ZerinSwapchainViewport) == sizeof(void*) + 6 * sizeof(int32_t), "");

// Takes the oldest entry into `current`, handing the one taken before back to the queue.
bool popOldest(std::unique_ptr<SubmissionEntry>& current) {
  std::lock_guard<std::mutex> lock(submissionQueueLock);
  if (submissionQueue.empty()) return false;
  current = submissionQueue.popFront(std::move(current));
  return true;
}

ZerinSwapchainViewport swapchainViewport(const SwapchainSlot* slot, const SubmissionViewport& viewport) {
  ZerinSwapchainViewport out{};
  out.swapChain = slot->handle;
  out.x = viewport.x;
  out.y = viewport.y;
  out.width = viewport.width;
  out.height = viewport.height;
  out.arrayIndex = viewport.arrayIndex;
  out.reserved = 0;
  return out;
}

const ZerinExtensionHeader* header(const void* extension) {
  return static_cast<const ZerinExtensionHeader*>(extension);
}

// The view's depth extension, and its extra depth extension when the script gave parameters.
void fillDepth(SubmitScratch& s, int i, const SubmissionView& view) {
  ZerinDepthExtension& depth = s.depth[i];
  depth.type = ZERIN_EXTENSION_DEPTH;
  depth.next = nullptr;
  static_assert(sizeof view.depthParams == 32, "four 64-bit values, passed unchanged");
  std::memcpy(&depth.nearZ, view.depthParams, sizeof view.depthParams);
  depth.depth = swapchainViewport(view.depthSlot, view.depthViewport);
  s.views[i].extensions = header(&depth);
  if (view.hasExtraDepthParams != 0) {
    ZerinExtraDepthExtension& extra = s.extraDepth[i];
    extra.type = ZERIN_EXTENSION_EXTRA_DEPTH;
    extra.next = nullptr;
    static_assert(sizeof view.extraDepthParams == 16, "two 64-bit values, passed unchanged");
    std::memcpy(&extra.depthScale, view.extraDepthParams, sizeof view.extraDepthParams);
    depth.next = header(&extra);
  }
}

}  // namespace

void submitFrame() {
  const ZerinSession current = session.load();
  if (!current) return;

  // Held to the end, so that EndSession cannot clear the queue under the submission. Looking
  // at the queue once, under both locks, spares every frame a lock of its own for that.
  std::lock_guard<std::mutex> submitting(submissionLock);
  SubmitScratch& s = scratch;
  if (!popOldest(s.entry)) return;
  const SubmissionEntry& entry = *s.entry;

  IUnityGraphicsD3D11* d3d11 = unityGraphicsD3D11.load();
  ID3D11Device* device = d3d11 && d3d11->GetDevice ? d3d11->GetDevice() : nullptr;
  ID3D11DeviceContext* context = nullptr;
  if (device) device->GetImmediateContext(&context);
  if (!context) {
    pluginLog("No Direct3D 11 device: submission dropped.");
    return;
  }

  s.zeroRecords();
  const ZerinSubmitInfo* info = submitInfo.load();
  s.submit.frameIndex = info ? info->frameIndex : 0;
  s.submit.layerCount = entry.layerCount;
  for (int l = 0; l < kMaxLayers; ++l) s.layerPointers[l] = &s.layers[l];
  s.submit.layers = s.layerPointers;

  s.images.acquire(entry);
  if (s.images.invalid) {
    // A view names a swap chain that does not exist: the entry is dropped, the frame not ended.
    context->Release();
    return;
  }

  SavedRenderTargets targets;  // filled by the first depth pass of the submission
  for (int l = 0; l < entry.layerCount; ++l) {
    const SubmissionLayer& layer = entry.layers[l];
    ZerinRuntimeLayer& out = s.layers[l];
    out.type = ZERIN_LAYER_PROJECTION;
    // The script's first field goes to the third, its second to the second.
    out.flags = static_cast<int64_t>(layer.layerParam1);
    out.sortOrder = static_cast<int64_t>(layer.layerParam0);
    out.viewCount = kViewsPerLayer;
    out.views = &s.views[l * kViewsPerLayer];
    for (int v = 0; v < kViewsPerLayer; ++v) {
      const SubmissionView& view = layer.views[v];
      const int i = l * kViewsPerLayer + v;
      ZerinRuntimeView& runtimeView = s.views[i];
      runtimeView.extensions = nullptr;
      runtimeView.pose = view.matrix0;
      runtimeView.projection = view.matrix1;
      runtimeView.colour = swapchainViewport(view.colourSlot, view.colourViewport);
      copyColour(context, s.images, view, i);
      if (view.hasDepth != 0) {
        ensureDepthPipeline(device);
        fillDepth(s, i, view);
        if (depthPipelineReady()) {
          ID3D11Texture2D* target = zerin_ToD3D11Texture(s.images.depthImages[i]);
          // As for colour: without the image or the engine's texture the draw would fault.
          if (target && view.depthTexture) depthCopyPass(device, context, view, target, targets);
        }
      }
    }
  }

  s.images.release();
  zerin_EndFrameWithLayers(current, &s.submit);
  restoreRenderTargets(context, targets);
  context->Release();
}

}  // namespace Zerin
