#pragma once
// Swap chains on the render thread: creation and destruction from the queued requests, and the
// images one submission takes from them.
#include <d3d11.h>

#include "core/runtime_library.h"
#include "render/render_state.h"

namespace Zerin {

constexpr int kMaxViews = kMaxLayers * kViewsPerLayer;

// Creates every queued swap chain, front to back, writing each handle into its slot; then frees
// every queued slot with its swap chain. Both queues end empty. The caller holds
// swapchainRequestLock and a session is open.
void processSwapchainRequests();

// The images taken for one submission, indexed by layer * 4 + view.
struct FrameImages {
  // The submission names a swap chain that does not exist; nothing was acquired.
  bool invalid = false;
  // Entry i is valid only for a view that acquire took an image for.
  ZerinSwapChainImage colourImages[kMaxViews] = {};
  // Filled only for views with depth.
  ZerinSwapChainImage depthImages[kMaxViews] = {};
  const SubmissionEntry* entry = nullptr;

  // Validates every view of the entry; when all name existing swap chains, acquires one colour
  // image per view and one depth image per view with depth, in view order (a swap chain named
  // by several views is acquired once for each).
  void acquire(const SubmissionEntry& submission);
  // Gives back what acquire took, in the same order; nothing when invalid.
  void release();
};

// Copies subresource 0 of the view's colour texture to the origin of subresource 0 of its
// colour image (the viewport only tells the runtime where the view lies). Inline: it runs for
// every view of every frame.
inline void copyColour(ID3D11DeviceContext* context, const FrameImages& images, const SubmissionView& view,
                       int index) {
  ID3D11Texture2D* destination = zerin_ToD3D11Texture(images.colourImages[index]);
  // A missing image (the runtime reports why) or a missing engine texture would crash the
  // device; the view's image then keeps what it had.
  if (!destination || !view.colourTexture) return;
  context->CopySubresourceRegion(destination, 0, 0, 0, 0, view.colourTexture, 0, nullptr);
}

}  // namespace Zerin
