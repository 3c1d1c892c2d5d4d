#pragma once
// A system interface compiled apart from everything else (on Windows by clang for the MSVC ABI,
// as the real runtime is), that answers every forwarded slot with values derived from its
// arguments and keeps the arguments of its last call.
#include "openvr/openvr_api.h"

#if defined(_WIN32)
#if defined(ZERIN_PROBE_BUILD)
#define ZERIN_PROBE_API extern "C" __declspec(dllexport)
#else
#define ZERIN_PROBE_API extern "C" __declspec(dllimport)
#endif
#else
#define ZERIN_PROBE_API extern "C" __attribute__((visibility("default")))
#endif

struct ZerinProbeCall {
  int32_t slot;  // vtable slot of the method; -1 before any call
  uint32_t argumentCount;
  uint64_t arguments[6];  // as the probe received them: integers widened, floats by their bits
};

ZERIN_PROBE_API vr::IVRSystem* zerinprobe_System();
ZERIN_PROBE_API void zerinprobe_LastCall(ZerinProbeCall* call);
ZERIN_PROBE_API uint32_t zerinprobe_CallCount();
// True when the probe was compiled by an MSVC-compatible compiler.
ZERIN_PROBE_API bool zerinprobe_BuiltForMsvcAbi();

// The values the probe answers with, for the tests to compare against.
inline float probeEyeToHeadElement(int eye, int row, int column) {
  return static_cast<float>((eye + 1) * 100 + row * 4 + column) + 0.25f;
}
inline float probeSeatedZeroElement(int row, int column) { return -static_cast<float>(row * 4 + column) - 0.5f; }
inline float probePropertyMatrixElement(uint32_t device, int32_t property, int row, int column) {
  return static_cast<float>(device * 1000 + property % 1000) + static_cast<float>(row * 4 + column) / 16.0f;
}
constexpr const char* kProbeString = "probe-string-value";
