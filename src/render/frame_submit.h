#pragma once
// The end of a frame: the oldest queued submission becomes the runtime's layer records, its
// colour (and depth) reach the swap-chain images, and the frame is ended with those layers.
#include <d3d11.h>

#include "render/render_state.h"

namespace Zerin {

// What a submission needs from the depth copy pass. submitFrame calls ensurePipeline before it
// fills a view's depth extension, and copy for the view when ready() says the pass can run
// (the engine's render targets are saved before the first copy of a submission and bound again
// after the frame is ended). While copy is unset, a submission with a view that has depth is
// dropped whole, with a log line, rather than submitted with depth images that were never
// drawn.
struct DepthCopyHooks {
  void (*ensurePipeline)() = nullptr;
  bool (*ready)() = nullptr;
  void (*copy)(ID3D11DeviceContext* context, const SubmissionView& view, const ZerinSwapChainImage& depthImage) =
      nullptr;
};
extern DepthCopyHooks depthCopyHooks;

// Pops the oldest submission and ends the begun frame with it; returns at once when there is no
// session or nothing is queued. Render thread only, with frameLock held (events 10 and 11);
// takes submissionLock for the whole submission. Builds the runtime's records in fixed scratch
// storage: no heap allocation.
void submitFrame();

}  // namespace Zerin
