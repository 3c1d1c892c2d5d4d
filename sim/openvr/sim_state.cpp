#include "openvr/sim_state.h"

#include <algorithm>

namespace ZerinSim {

namespace {
// Enough for any test; past it the oldest half goes, so a long demo run stays bounded.
constexpr size_t kMaxRecordedCalls = 1 << 16;
}  // namespace

double SimState::now() const {
  if (clockFrozen) return clockBase;
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - clockStart;
  return clockBase + elapsed.count();
}

void SimState::resetLocked() {
  mode = ZerinSimVRMode_Normal;
  initError = vr::VRInitError_None;
  systemOverride = nullptr;
  initialized = false;
  clockFrozen = false;
  clockBase = 0.0;
  clockStart = std::chrono::steady_clock::now();
  calls.clear();
  events.clear();
  pulses.clear();
  for (auto& state : buttons) state = ButtonState{};
  seatedZeroPose = translationMatrix(0.0f, kDefaultSeatedHeight, 0.0f);
}

SimState& simState() {
  static SimState state;
  return state;
}

void recordCallLocked(SimState& state, const char* name, std::initializer_list<uint64_t> arguments, uint64_t result,
                      const char* text) {
  if (state.calls.size() >= kMaxRecordedCalls)
    state.calls.erase(state.calls.begin(), state.calls.begin() + kMaxRecordedCalls / 2);
  ZerinSimVRCall call{};
  std::snprintf(call.name, sizeof call.name, "%s", name);
  call.argumentCount = static_cast<uint32_t>(std::min(arguments.size(), std::size(call.arguments)));
  std::copy_n(arguments.begin(), call.argumentCount, call.arguments);
  if (text) std::snprintf(call.text, sizeof call.text, "%s", text);
  call.result = result;
  state.calls.push_back(call);
}

}  // namespace ZerinSim
