#pragma once
// Where the headset simulator (ZerinSimulator, sim/simulator/) takes part in the runtime's calls.
// The test stand-in (ZerinLib) links simulator_hooks_none.cpp instead: no configuration, every
// API-use rule enforced, its own frame-indexed poses. Every hook runs on the caller's thread with
// the library lock (RuntimeState::mutex) held, unless it says otherwise.
#include <cstdint>
#include <string>

#include "zerin_lib.h"
#include "zerin_sim_control.h"

namespace ZerinSim {

class RuntimeState;
struct FrameInfoRecord;

namespace hooks {

// Once, when the runtime's state is made (the library's first call): the simulator reads its
// configuration and sets the runtime up from it (frame rate, version, recommended sizes).
void stateMade(RuntimeState& state);
// Empty, or why the simulator cannot run (a configuration it refused): the runtime is then not
// available and this is the text of ZERIN_ERROR_RUNTIME_UNAVAILABLE.
const std::string& startProblem();

// The frame clock is virtual: zerin_WaitSync returns at once and the display time of frame N is
// N frame periods, so that a run makes the same frames at any speed.
bool virtualClock();
// The recommended rectangles zerin_LayoutDefaultViewports writes; false keeps the runtime's own.
bool recommendedViewports(ZerinViewport (&viewports)[ZERIN_VIEW_COUNT]);

void sessionOpened(RuntimeState& state, ZerinSession session);
// Before the session's swap chains go: captures still pending are written and the report is.
void sessionClosing(RuntimeState& state, ZerinSession session);

// Frame `frame` of `session` was synced: raises the events scripted for it and writes the head
// and view poses into `record` (the runtime still writes the projections). False leaves the
// runtime's own poses.
bool frameSynced(RuntimeState& state, ZerinSession session, int64_t frame, FrameInfoRecord& record);
// zerin_FrameGetPose of the session's latest frame; false leaves the runtime's own.
bool framePose(ZerinSession session, int64_t poseKind, ZerinMatrix& pose);
// zerin_EndFrameWithLayers recorded `frame` (accepted or not), on the client's render thread.
void frameSubmitted(RuntimeState& state, const ZerinSimSubmittedFrame& frame);

// One broken rule of the runtime's API: `id` is stable ("frame-end-without-begin"), `frame` the
// session's latest frame index (0 before the first), `sentence` says what happened in plain words.
void finding(const char* id, int64_t frame, const std::string& sentence);
// The call that broke a rule fails as the runtime would (strict) or goes on as if it had not
// (lenient: only the finding is kept). The stand-in is always strict.
bool strict();

}  // namespace hooks

}  // namespace ZerinSim
