#pragma once
// The end of a frame: the oldest queued submission becomes the runtime's layer records, its
// colour (and depth) reach the swap-chain images, and the frame is ended with those layers.
#include "render/render_state.h"

namespace Zerin {

// Pops the oldest submission and ends the begun frame with it: the colour of every view and the
// depth of every view with depth reach the swap-chain images, the runtime's layer records are
// built, and the engine's render targets are bound again after the frame if a depth pass
// changed them. Returns at once when there is no session or nothing is queued. Render thread
// only, with frameLock held (events 10 and 11); takes submissionLock for the whole submission.
// Builds the runtime's records in fixed scratch storage: no heap allocation.
void submitFrame();

}  // namespace Zerin
