#pragma once
// The simulated OpenVR's control surface for tests, apart from the API it stands in for.
//
// The simulated runtime has four connected devices that move over time: 0 the HMD, 1 the left
// and 2 the right controller, 3 a generic tracker; indices 4 to 63 are empty. Its clock starts
// at 0 when the library loads or is reset, and can be frozen for repeatable answers.
#include "openvr/openvr_api.h"

enum ZerinSimVRMode : int32_t {
  ZerinSimVRMode_Normal = 0,
  ZerinSimVRMode_NoRuntime = 1,        // no runtime installed (and so no HMD either)
  ZerinSimVRMode_NoHmd = 2,            // runtime installed, no HMD attached
  ZerinSimVRMode_InitError = 3,        // VR_InitInternal2 fails with the given error code
  ZerinSimVRMode_NoSystemInterface = 4,  // the runtime offers "IVRSystem_019" but not "IVRSystem_017"
  ZerinSimVRMode_NullSystem = 5,       // the interface query answers null without an error
};

// One call that reached the simulated OpenVR: an entry point or a system interface method.
struct ZerinSimVRCall {
  char name[48];
  uint32_t argumentCount;
  // Integers and enumerations widened (signed ones sign-extended), pointers as addresses,
  // floats by their 32 bits.
  uint64_t arguments[6];
  char text[64];    // the string argument of an entry point, cut to 63 characters; "" for none
  uint64_t result;  // a scalar result in the same encoding; 0 for void and record results
};

struct ZerinSimVRHapticPulse {
  uint32_t deviceIndex;
  uint32_t axisId;
  uint32_t durationMicroseconds;
  double atSeconds;  // on the simulated clock
};

// Back to the state after loading: normal mode, no override, real clock from 0, no calls,
// events or pulses, buttons released, seated zero pose at its default, not initialised.
ZERIN_VR_ENTRY void zerinsimvr_Reset();
ZERIN_VR_ENTRY void zerinsimvr_SetMode(ZerinSimVRMode mode, vr::EVRInitError initError);
// The interface the runtime hands out for "IVRSystem_017" instead of its own (null: its own).
ZERIN_VR_ENTRY void zerinsimvr_SetSystemOverride(vr::IVRSystem* system);
// The runtime's own system interface, without going through initialisation.
ZERIN_VR_ENTRY vr::IVRSystem* zerinsimvr_System();
ZERIN_VR_ENTRY bool zerinsimvr_IsInitialized();

ZERIN_VR_ENTRY void zerinsimvr_FreezeClock(double seconds);
ZERIN_VR_ENTRY void zerinsimvr_RunClock();  // runs on from where it stands
ZERIN_VR_ENTRY double zerinsimvr_Now();

// A user pressing or touching a controller button: changes its state and queues the events.
// False for a device without buttons or an identifier of 64 or more.
ZERIN_VR_ENTRY bool zerinsimvr_SetButton(uint32_t deviceIndex, vr::EVRButtonId button, bool pressed, bool touched);
ZERIN_VR_ENTRY void zerinsimvr_QueueEvent(vr::EVREventType type, uint32_t deviceIndex, uint32_t button);
ZERIN_VR_ENTRY uint32_t zerinsimvr_PendingEventCount();

ZERIN_VR_ENTRY uint32_t zerinsimvr_CallCount();
ZERIN_VR_ENTRY bool zerinsimvr_GetCall(uint32_t index, ZerinSimVRCall* call);
ZERIN_VR_ENTRY uint32_t zerinsimvr_CountCallsTo(const char* name);
ZERIN_VR_ENTRY void zerinsimvr_ClearCalls();

ZERIN_VR_ENTRY uint32_t zerinsimvr_HapticPulseCount();
ZERIN_VR_ENTRY bool zerinsimvr_GetHapticPulse(uint32_t index, ZerinSimVRHapticPulse* pulse);
