// The test stand-in takes no part of the headset simulator: every hook keeps the runtime's own
// behaviour.
#include "simulator_hooks.h"

namespace ZerinSim::hooks {

void stateMade(RuntimeState&) {}

const std::string& startProblem() {
  static const std::string none;
  return none;
}

bool virtualClock() { return false; }
bool recommendedViewports(ZerinViewport (&)[ZERIN_VIEW_COUNT]) { return false; }
void sessionOpened(RuntimeState&, ZerinSession) {}
void sessionClosing(RuntimeState&, ZerinSession) {}
bool frameSynced(RuntimeState&, ZerinSession, int64_t, FrameInfoRecord&) { return false; }
bool framePose(ZerinSession, int64_t, ZerinMatrix&) { return false; }
void frameSubmitted(RuntimeState&, const ZerinSimSubmittedFrame&) {}
void finding(const char*, int64_t, const char*) {}
bool strict() { return true; }

}  // namespace ZerinSim::hooks
