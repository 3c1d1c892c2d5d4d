#pragma once
// The simulated runtime's mutable state, shared by the entry points, the system interface and
// the control surface. Any of them may be called from any thread.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <type_traits>
#include <vector>

#include "openvr/device_model.h"
#include "openvr/zerinsim_openvr.h"

namespace ZerinSim {

struct ButtonState {
  uint64_t pressed = 0;
  uint64_t touched = 0;
  uint32_t changes = 0;  // counts into the controller state's packet number
};

struct QueuedEvent {
  vr::VREvent_t event;
  double queuedAt;  // simulated clock, for the event's age
};

struct SimState {
  std::mutex mutex;  // guards every member below

  ZerinSimVRMode mode = ZerinSimVRMode_Normal;
  vr::EVRInitError initError = vr::VRInitError_None;
  vr::IVRSystem* systemOverride = nullptr;
  bool initialized = false;
  uint32_t initToken = 0;

  bool clockFrozen = false;
  double clockBase = 0.0;  // simulated seconds at `clockStart` (or the frozen reading)
  std::chrono::steady_clock::time_point clockStart = std::chrono::steady_clock::now();

  std::vector<ZerinSimVRCall> calls;
  std::deque<QueuedEvent> events;
  std::vector<ZerinSimVRHapticPulse> pulses;
  ButtonState buttons[kConnectedDeviceCount];
  vr::HmdMatrix34_t seatedZeroPose = translationMatrix(0.0f, kDefaultSeatedHeight, 0.0f);

  double now() const;
  void resetLocked();
};

SimState& simState();

// Call arguments and results in the call record's encoding.
template <typename T>
uint64_t encodeArgument(T value) {
  if constexpr (std::is_pointer_v<T>) {
    return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(value));
  } else if constexpr (std::is_same_v<T, float>) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
  } else if constexpr (std::is_enum_v<T>) {
    return static_cast<uint64_t>(static_cast<int64_t>(value));
  } else if constexpr (std::is_signed_v<T>) {
    return static_cast<uint64_t>(static_cast<int64_t>(value));
  } else {
    return static_cast<uint64_t>(value);
  }
}

// Appends one call to the record; the caller holds the state's mutex.
void recordCallLocked(SimState& state, const char* name, std::initializer_list<uint64_t> arguments,
                      uint64_t result = 0, const char* text = nullptr);

}  // namespace ZerinSim
