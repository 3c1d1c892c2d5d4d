#include "render/frame_submit.h"

#include <cstring>
#include <mutex>

#include "core/engine_device.h"
#include "core/plugin_log.h"
#include "core/runtime_records.h"
#include "core/session_handle.h"
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

  // Layers written by the last submission; the others are still zero.
  int32_t filledLayers = 0;

  // Starts the records of a submission of `layerCount` layers. What the runtime can reach is
  // written whole by the submission, field by field (the layers it submits, their views and
  // extensions), or zero: the layers beyond the count, reachable through their pointers, are
  // cleared where an earlier submission filled them. Zeroing more would only cost the render
  // thread time.
  void begin(int32_t layerCount, int64_t frameIndex) {
    submit = ZerinLayerSubmit{};
    submit.frameIndex = frameIndex;
    submit.layerCount = layerCount;
    for (int l = 0; l < kMaxLayers; ++l) layerPointers[l] = &layers[l];
    submit.layers = layerPointers;
    for (int l = layerCount; l < filledLayers; ++l) layers[l] = ZerinRuntimeLayer{};
    filledLayers = layerCount;
  }
};

SubmitScratch scratch;

// The records begin leaves alone have no field beside those the submission writes.
static_assert(sizeof(ZerinRuntimeLayer) == 3 * sizeof(int64_t) + 2 * sizeof(int32_t) + sizeof(void*), "");
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

// Written in place: a record built aside and then copied whole makes the copy wait for the
// stores of its fields.
void setViewport(ZerinSwapchainViewport& out, const SwapchainSlot* slot, const ImageViewport& viewport) {
  out.swapChain = slot->handle;
  out.x = viewport.x;
  out.y = viewport.y;
  out.width = viewport.width;
  out.height = viewport.height;
  out.arrayIndex = viewport.arrayIndex;
  out.reserved = 0;
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
  setViewport(depth.depth, view.depthSlot, view.depthViewport);
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

  const ZerinSubmitInfo* info = submitInfo.load();
  s.begin(entry.layerCount, info ? info->frameIndex : 0);

  s.images.acquire(entry);
  if (s.images.invalid) {
    // A view names a swap chain that does not exist: the entry is dropped, the frame not ended.
    context->Release();
    return;
  }

  SavedRenderTargets targets;  // filled by the first depth pass of the submission
  bool depthReady = false;     // the pipeline exists: no need to look again this submission
  for (int l = 0; l < entry.layerCount; ++l) {
    const SubmissionLayer& layer = entry.layers[l];
    ZerinRuntimeLayer& out = s.layers[l];
    out.type = ZERIN_LAYER_PROJECTION;
    // The script's first field goes to the third, its second to the second.
    out.flags = static_cast<int64_t>(layer.layerParam1);
    out.sortOrder = static_cast<int64_t>(layer.layerParam0);
    out.viewCount = kViewsPerLayer;
    out.reserved = 0;
    out.views = &s.views[l * kViewsPerLayer];
    for (int v = 0; v < kViewsPerLayer; ++v) {
      const SubmissionView& view = layer.views[v];
      const int i = l * kViewsPerLayer + v;
      ZerinRuntimeView& runtimeView = s.views[i];
      runtimeView.extensions = nullptr;
      runtimeView.pose = recordAs<ZerinMatrix>(view.matrix0);
      runtimeView.projection = recordAs<ZerinMatrix>(view.matrix1);
      setViewport(runtimeView.colour, view.colourSlot, view.colourViewport);
      copyColour(context, s.images, view, i);
      if (view.hasDepth != 0) {
        if (!depthReady) {
          ensureDepthPipeline(device);
          depthReady = depthPipelineReady();
        }
        fillDepth(s, i, view);
        if (depthReady) {
          ID3D11Texture2D* target = zerin_ToD3D11Texture(s.images.depthImages[i]);
          // As for colour: without the image or the engine's texture the draw would fault.
          if (target && view.depthTexture)
            depthCopyPass(device, context, static_cast<size_t>(i), view, target, targets);
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
