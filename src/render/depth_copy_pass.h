#pragma once
// The depth copy pass: the engine's depth texture reaches a runtime depth image by a draw, not a
// copy. A full-screen triangle reads each texel of the engine depth (bound as shader input) and
// writes it as the pixel's depth into the image (bound as depth target). The pipeline objects
// and the views live in depth_copy_objects.h; only the render thread runs this, inside a
// submission.
#include <d3d11.h>

#include <cstddef>

#include "render/render_state.h"
#include "render/shaders/depth_copy_shader.h"

namespace Zerin {

// Compiles the two shaders and creates the two states the first time they are needed. Until
// both shaders exist every call tries again, for whatever is still missing; a compiler message
// goes to the debugger output.
void ensureDepthPipeline(ID3D11Device* device);
// True when both shaders exist, so that a pass can draw.
bool depthPipelineReady();

// The render targets bound on the context before a submission's first pass, for the
// submission to bind again once the frame is ended. Holds one reference to each view.
struct SavedRenderTargets {
  bool saved = false;
  ID3D11RenderTargetView* renderTarget = nullptr;
  ID3D11DepthStencilView* depthStencil = nullptr;
};

// Draws `view`'s engine depth texture into `depthTarget` (the texture of the view's depth
// image) over the rectangle (0, 0, depthViewport.width, depthViewport.height). `slot` is the
// view's index in its submission, layer * 4 + view. The first pass with a given `saved` records
// the bound render targets in it. Leaves its own state bound.
void depthCopyPass(ID3D11Device* device, ID3D11DeviceContext* context, size_t slot, const SubmissionView& view,
                   ID3D11Texture2D* depthTarget, SavedRenderTargets& saved);

// Binds the saved render targets again (one render target view and the depth-stencil view) and
// drops the saved references. Does nothing when nothing was saved.
void restoreRenderTargets(ID3D11DeviceContext* context, SavedRenderTargets& saved);

}  // namespace Zerin
