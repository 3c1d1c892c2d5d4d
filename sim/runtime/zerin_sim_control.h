#pragma once
// Control surface of the simulated runtime, for tests and the demo. Exported by ZerinLib beside
// the runtime API, and never part of it.
//
// Call log: every zerin_* call is recorded as one line, "zerin_Name(arguments) -> result".
// Objects the runtime made are written by name ("session#1", "frameInfo#2",
// "submitInfo#1.viewports", numbered per kind from 1 after each reset), other pointers as hex
// ("0x7f12ab00") or "null", strings in double quotes, integers and doubles in decimal.
#include <stdint.h>

#include "zerin_lib.h"

#ifdef __cplusplus
extern "C" {
#endif

// Back to the state of a fresh process: no sessions, no records, no calls, no errors, no
// configuration values, default version, runtime available.
ZERINLIB_API void zerinsim_Reset(void);

// The text zerin_GetFullVersion reports; NULL restores the built-in ZERIN_RUNTIME_VERSION.
ZERINLIB_API void zerinsim_SetVersion(const char* version);
ZERINLIB_API void zerinsim_SetAvailable(int32_t available);

// The next call of `function` (e.g. "zerin_AllocateEvent") fails with `code`: it does nothing,
// returns its zero value and leaves `code` for zerin_GetError. For "zerin_GetError" itself the
// next call returns `code`. Several failures of one function are used up in order.
ZERINLIB_API void zerinsim_FailNextCall(const char* function, int64_t code);
// Leaves `code` for the next zerin_GetError, as an error the runtime raised on its own.
ZERINLIB_API void zerinsim_RaiseError(int64_t code);

ZERINLIB_API int32_t zerinsim_CallCount(void);
// Copies line `index` of the call log into `buffer`; returns the size it needs, terminator
// included (0 when there is no such line). Writes only when `size` is enough.
ZERINLIB_API int32_t zerinsim_GetCall(int32_t index, char* buffer, int32_t size);
ZERINLIB_API void zerinsim_ClearCalls(void);

// Configuration values as zerin_GetConfig reports them. NULL removes the key.
ZERINLIB_API void zerinsim_SetConfigValue(const char* key, const char* value);
// Queues a value that `key` takes right after the next zerin_GetConfig call on it; each call
// takes one queued value (NULL removes the key), so a value can change between two calls.
ZERINLIB_API void zerinsim_QueueConfigValue(const char* key, const char* value);

// The live object named as in the call log, or NULL (never made, or freed since).
ZERINLIB_API void* zerinsim_FindObject(const char* name);
// How many objects of a kind ("session", "event", "frameInfo", "submitInfo") are live.
ZERINLIB_API int32_t zerinsim_LiveObjectCount(const char* kind);

#ifdef __cplusplus
}  // extern "C"

#include <string>
#include <vector>

namespace ZerinSim {

inline std::vector<std::string> calls() {
  std::vector<std::string> lines;
  const int32_t count = zerinsim_CallCount();
  for (int32_t i = 0; i < count; ++i) {
    const int32_t size = zerinsim_GetCall(i, nullptr, 0);
    std::string line(size > 0 ? static_cast<size_t>(size) : 1u, '\0');
    zerinsim_GetCall(i, &line[0], size);
    line.resize(size > 0 ? static_cast<size_t>(size) - 1 : 0);
    lines.push_back(line);
  }
  return lines;
}

// The logged calls of one function, in order.
inline std::vector<std::string> callsTo(const std::string& function) {
  std::vector<std::string> found;
  for (auto& line : calls())
    if (line.compare(0, function.size() + 1, function + "(") == 0) found.push_back(line);
  return found;
}

}  // namespace ZerinSim
#endif
