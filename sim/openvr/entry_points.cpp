// The C entry points of the simulated openvr_api and its control surface for tests.
#include <cstring>

#include "openvr/sim_state.h"
#include "openvr/simulated_system.h"

using ZerinSim::SimState;
using ZerinSim::simState;
using Lock = std::lock_guard<std::mutex>;

namespace {

constexpr const char* kOfferedSystemVersion = "IVRSystem_017";
constexpr const char* kNewerSystemVersion = "IVRSystem_019";

bool runtimeInstalled(const SimState& state) { return state.mode != ZerinSimVRMode_NoRuntime; }

bool hmdPresent(const SimState& state) {
  return state.mode != ZerinSimVRMode_NoRuntime && state.mode != ZerinSimVRMode_NoHmd;
}

bool offersVersion(const SimState& state, const char* version) {
  if (!version) return false;
  const char* offered = state.mode == ZerinSimVRMode_NoSystemInterface ? kNewerSystemVersion : kOfferedSystemVersion;
  return std::strcmp(version, offered) == 0;
}

void queueEventLocked(SimState& state, vr::EVREventType type, uint32_t deviceIndex, uint32_t button) {
  ZerinSim::QueuedEvent queued{};
  queued.event.eventType = static_cast<uint32_t>(type);
  queued.event.trackedDeviceIndex = deviceIndex;
  queued.event.data.controller.button = button;
  queued.queuedAt = state.now();
  state.events.push_back(queued);
}

}  // namespace

ZERIN_VR_ENTRY bool VR_IsHmdPresent() {
  SimState& state = simState();
  Lock lock(state.mutex);
  const bool present = hmdPresent(state);
  ZerinSim::recordCallLocked(state, "VR_IsHmdPresent", {}, present);
  return present;
}

ZERIN_VR_ENTRY bool VR_IsRuntimeInstalled() {
  SimState& state = simState();
  Lock lock(state.mutex);
  const bool installed = runtimeInstalled(state);
  ZerinSim::recordCallLocked(state, "VR_IsRuntimeInstalled", {}, installed);
  return installed;
}

ZERIN_VR_ENTRY void* VR_GetGenericInterface(const char* interfaceVersion, vr::EVRInitError* error) {
  SimState& state = simState();
  Lock lock(state.mutex);
  void* found = nullptr;
  vr::EVRInitError result = vr::VRInitError_None;
  if (!state.initialized || !offersVersion(state, interfaceVersion)) {
    result = vr::VRInitError_Init_InterfaceNotFound;
  } else if (state.mode != ZerinSimVRMode_NullSystem) {
    found = state.systemOverride ? state.systemOverride : static_cast<vr::IVRSystem*>(&ZerinSim::simulatedSystem());
  }
  if (error) *error = result;
  ZerinSim::recordCallLocked(state, "VR_GetGenericInterface",
                             {ZerinSim::encodeArgument(interfaceVersion), ZerinSim::encodeArgument(error)},
                             ZerinSim::encodeArgument(found), interfaceVersion);
  return found;
}

ZERIN_VR_ENTRY bool VR_IsInterfaceVersionValid(const char* interfaceVersion) {
  SimState& state = simState();
  Lock lock(state.mutex);
  const bool valid = offersVersion(state, interfaceVersion);
  ZerinSim::recordCallLocked(state, "VR_IsInterfaceVersionValid", {ZerinSim::encodeArgument(interfaceVersion)}, valid,
                             interfaceVersion);
  return valid;
}

ZERIN_VR_ENTRY uint32_t VR_GetInitToken() {
  SimState& state = simState();
  Lock lock(state.mutex);
  ZerinSim::recordCallLocked(state, "VR_GetInitToken", {}, state.initToken);
  return state.initToken;
}

ZERIN_VR_ENTRY uint32_t VR_InitInternal2(vr::EVRInitError* error, vr::EVRApplicationType type, const char* startupInfo) {
  SimState& state = simState();
  Lock lock(state.mutex);
  const vr::EVRInitError result = state.initError;
  uint32_t token = 0;
  if (result == vr::VRInitError_None) {
    state.initialized = true;
    token = ++state.initToken;
    // A fresh session starts by announcing every device it sees.
    state.events.clear();
    for (uint32_t index = 0; index < ZerinSim::kConnectedDeviceCount; ++index)
      queueEventLocked(state, vr::VREvent_TrackedDeviceActivated, index, 0);
  }
  if (error) *error = result;
  ZerinSim::recordCallLocked(
      state, "VR_InitInternal2",
      {ZerinSim::encodeArgument(error), ZerinSim::encodeArgument(type), ZerinSim::encodeArgument(startupInfo)}, token,
      startupInfo);
  return token;
}

ZERIN_VR_ENTRY void VR_ShutdownInternal() {
  SimState& state = simState();
  Lock lock(state.mutex);
  state.initialized = false;
  state.events.clear();
  ZerinSim::recordCallLocked(state, "VR_ShutdownInternal", {});
}

// ---- control surface ----

ZERIN_VR_ENTRY void zerinsimvr_Reset() {
  SimState& state = simState();
  Lock lock(state.mutex);
  state.resetLocked();
}

ZERIN_VR_ENTRY void zerinsimvr_SetMode(ZerinSimVRMode mode, vr::EVRInitError initError) {
  SimState& state = simState();
  Lock lock(state.mutex);
  state.mode = mode;
  state.initError = initError;
}

ZERIN_VR_ENTRY void zerinsimvr_SetSystemOverride(vr::IVRSystem* system) {
  SimState& state = simState();
  Lock lock(state.mutex);
  state.systemOverride = system;
}

ZERIN_VR_ENTRY vr::IVRSystem* zerinsimvr_System() { return &ZerinSim::simulatedSystem(); }

ZERIN_VR_ENTRY bool zerinsimvr_IsInitialized() {
  SimState& state = simState();
  Lock lock(state.mutex);
  return state.initialized;
}

ZERIN_VR_ENTRY void zerinsimvr_FreezeClock(double seconds) {
  SimState& state = simState();
  Lock lock(state.mutex);
  state.clockFrozen = true;
  state.clockBase = seconds;
}

ZERIN_VR_ENTRY void zerinsimvr_RunClock() {
  SimState& state = simState();
  Lock lock(state.mutex);
  if (!state.clockFrozen) return;
  state.clockFrozen = false;
  state.clockStart = std::chrono::steady_clock::now();
}

ZERIN_VR_ENTRY double zerinsimvr_Now() {
  SimState& state = simState();
  Lock lock(state.mutex);
  return state.now();
}

ZERIN_VR_ENTRY bool zerinsimvr_SetButton(uint32_t deviceIndex, vr::EVRButtonId button, bool pressed, bool touched) {
  SimState& state = simState();
  Lock lock(state.mutex);
  if (!ZerinSim::hasButtons(deviceIndex) || button < 0 || button >= vr::k_EButton_Max) return false;
  ZerinSim::ButtonState& buttons = state.buttons[deviceIndex];
  const uint64_t mask = uint64_t{1} << button;
  const bool wasPressed = (buttons.pressed & mask) != 0;
  const bool wasTouched = (buttons.touched & mask) != 0;
  const auto id = static_cast<uint32_t>(button);
  // A finger touches before it presses and lets go of the press before it leaves.
  if (touched && !wasTouched) queueEventLocked(state, vr::VREvent_ButtonTouch, deviceIndex, id);
  if (pressed && !wasPressed) queueEventLocked(state, vr::VREvent_ButtonPress, deviceIndex, id);
  if (!pressed && wasPressed) queueEventLocked(state, vr::VREvent_ButtonUnpress, deviceIndex, id);
  if (!touched && wasTouched) queueEventLocked(state, vr::VREvent_ButtonUntouch, deviceIndex, id);
  if (pressed != wasPressed || touched != wasTouched) ++buttons.changes;
  buttons.pressed = pressed ? buttons.pressed | mask : buttons.pressed & ~mask;
  buttons.touched = touched ? buttons.touched | mask : buttons.touched & ~mask;
  return true;
}

ZERIN_VR_ENTRY void zerinsimvr_QueueEvent(vr::EVREventType type, uint32_t deviceIndex, uint32_t button) {
  SimState& state = simState();
  Lock lock(state.mutex);
  queueEventLocked(state, type, deviceIndex, button);
}

ZERIN_VR_ENTRY uint32_t zerinsimvr_PendingEventCount() {
  SimState& state = simState();
  Lock lock(state.mutex);
  return static_cast<uint32_t>(state.events.size());
}

ZERIN_VR_ENTRY uint32_t zerinsimvr_CallCount() {
  SimState& state = simState();
  Lock lock(state.mutex);
  return static_cast<uint32_t>(state.calls.size());
}

ZERIN_VR_ENTRY bool zerinsimvr_GetCall(uint32_t index, ZerinSimVRCall* call) {
  SimState& state = simState();
  Lock lock(state.mutex);
  if (!call || index >= state.calls.size()) return false;
  *call = state.calls[index];
  return true;
}

ZERIN_VR_ENTRY uint32_t zerinsimvr_CountCallsTo(const char* name) {
  SimState& state = simState();
  Lock lock(state.mutex);
  uint32_t count = 0;
  for (const auto& call : state.calls)
    if (name && std::strcmp(call.name, name) == 0) ++count;
  return count;
}

ZERIN_VR_ENTRY void zerinsimvr_ClearCalls() {
  SimState& state = simState();
  Lock lock(state.mutex);
  state.calls.clear();
}

ZERIN_VR_ENTRY uint32_t zerinsimvr_HapticPulseCount() {
  SimState& state = simState();
  Lock lock(state.mutex);
  return static_cast<uint32_t>(state.pulses.size());
}

ZERIN_VR_ENTRY bool zerinsimvr_GetHapticPulse(uint32_t index, ZerinSimVRHapticPulse* pulse) {
  SimState& state = simState();
  Lock lock(state.mutex);
  if (!pulse || index >= state.pulses.size()) return false;
  *pulse = state.pulses[index];
  return true;
}
