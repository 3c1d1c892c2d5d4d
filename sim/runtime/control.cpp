// The control surface of the simulated runtime (zerin_sim_control.h).
#include <cstring>

#include "runtime_state.h"
#include "simulator_hooks.h"
#include "sim_parts.h"
#include "zerin_sim_control.h"

using ZerinSim::RuntimeState;

namespace {

std::unique_lock<std::mutex> locked(RuntimeState& state) { return std::unique_lock<std::mutex>(state.mutex); }

}  // namespace

extern "C" {

ZERINLIB_API void zerinsim_Reset(void) {
  ZerinSim::FinishedStreams finished;  // every stream, joined once the lock is released
  auto& state = RuntimeState::instance();
  auto lock = locked(state);
  state.reset();
  ZerinSim::resetParts(state, finished);
  ZerinSim::hooks::stateMade(state);  // set up from the configuration again, as a fresh process is
}

ZERINLIB_API void zerinsim_SetVersion(const char* version) {
  auto& state = RuntimeState::instance();
  auto lock = locked(state);
  state.version = version ? version : ZERIN_RUNTIME_VERSION;
}

ZERINLIB_API void zerinsim_SetAvailable(int32_t available) {
  auto& state = RuntimeState::instance();
  auto lock = locked(state);
  state.available = available != 0;
}

ZERINLIB_API void zerinsim_FailNextCall(const char* function, int64_t code) {
  if (!function) return;
  auto& state = RuntimeState::instance();
  auto lock = locked(state);
  state.injectedFailures[function].push_back(code);
}

ZERINLIB_API void zerinsim_RaiseError(int64_t code) {
  auto& state = RuntimeState::instance();
  auto lock = locked(state);
  // The plug-in holds one session: with exactly one open, the error is that session's.
  ZerinErrorCode& pending =
      state.sessions.size() == 1 ? state.sessions.begin()->second->pendingError : state.libraryError;
  pending = code;
}

ZERINLIB_API void zerinsim_SetCallLogging(int32_t enabled) {
  auto& state = RuntimeState::instance();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.callLogging = enabled != 0;
}

ZERINLIB_API int32_t zerinsim_CallCount(void) {
  auto& state = RuntimeState::instance();
  auto lock = locked(state);
  return static_cast<int32_t>(state.calls.size());
}

ZERINLIB_API int32_t zerinsim_GetCall(int32_t index, char* buffer, int32_t size) {
  auto& state = RuntimeState::instance();
  auto lock = locked(state);
  if (index < 0 || static_cast<size_t>(index) >= state.calls.size()) return 0;
  return ZerinSim::copyOut(state.calls[static_cast<size_t>(index)], buffer, size);
}

ZERINLIB_API void zerinsim_ClearCalls(void) {
  auto& state = RuntimeState::instance();
  auto lock = locked(state);
  state.calls.clear();
}

ZERINLIB_API void zerinsim_SetConfigValue(const char* key, const char* value) {
  if (!key) return;
  auto& state = RuntimeState::instance();
  auto lock = locked(state);
  if (value) state.config[key] = value;
  else state.config.erase(key);
}

ZERINLIB_API void zerinsim_QueueConfigValue(const char* key, const char* value) {
  if (!key) return;
  auto& state = RuntimeState::instance();
  auto lock = locked(state);
  auto& queue = state.queuedConfig[key];
  if (value) queue.emplace_back(std::string(value));
  else queue.emplace_back(std::nullopt);
}

ZERINLIB_API void zerinsim_SetCallHook(const char* function, void (*hook)(void* context), void* context) {
  auto& state = RuntimeState::instance();
  std::lock_guard<std::mutex> lock(state.hookMutex);
  state.callHook = RuntimeState::CallHook{};
  if (function && hook) state.callHook = RuntimeState::CallHook{function, hook, context};
}

ZERINLIB_API void* zerinsim_FindObject(const char* name) {
  if (!name) return nullptr;
  auto& state = RuntimeState::instance();
  auto lock = locked(state);
  return state.find(name);
}

ZERINLIB_API int32_t zerinsim_LiveObjectCount(const char* kind) {
  if (!kind) return 0;
  auto& state = RuntimeState::instance();
  auto lock = locked(state);
  return state.liveCount(kind);
}

}  // extern "C"
