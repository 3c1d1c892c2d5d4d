// The simulated runtime's event source and buttons: device changes become events for
// zerin_PollEvent, and zerin_GetButtonEvent answers from the buttons' states.
#include <map>

#include "sim_parts.h"
#include "zerin_sim_devices.h"

namespace ZerinSim {

namespace {

struct ButtonState {
  bool down = false;
  bool pressedSinceQuery = false;
  bool releasedSinceQuery = false;
};

// Guarded by the library lock, like RuntimeState.
struct InputState {
  std::map<int64_t, ButtonState> buttons;
  int32_t foreground = 1;
  int32_t standby = 0;
};

InputState& input() {
  static InputState state;
  return state;
}

}  // namespace

void raiseEvent(RuntimeState& state, int64_t type, int64_t data) {
  if (state.sessions.empty()) return;
  ZerinEvent event{};
  event.type = type;
  event.timestamp = runtimeClock();
  event.data.i64 = data;
  state.pendingEvents.push_back(event);
}

void resetEvents() { input() = InputState{}; }

void setForeground(RuntimeState& state, bool foreground) {
  int32_t& current = input().foreground;
  if (current == (foreground ? 1 : 0)) return;  // no change, no event
  current = foreground ? 1 : 0;
  raiseEvent(state, ZERIN_EVENT_FOREGROUND, current);
}

void setHeadsetStandby(RuntimeState& state, bool standby) {
  int32_t& current = input().standby;
  if (current == (standby ? 1 : 0)) return;  // no change, no event
  current = standby ? 1 : 0;
  raiseEvent(state, ZERIN_EVENT_HEADSET_STANDBY, current);
}

void setButton(RuntimeState& state, int64_t button, bool down) {
  ButtonState& current = input().buttons[button];
  if (current.down == down) return;  // no change, no event
  current.down = down;
  if (down) current.pressedSinceQuery = true;
  else current.releasedSinceQuery = true;
  const uint32_t edge = down ? ZERIN_BUTTON_STATE_PRESSED : ZERIN_BUTTON_STATE_RELEASED;
  raiseEvent(state, ZERIN_EVENT_BUTTON, eventPair(static_cast<uint32_t>(button), edge));
}

void closeSessionParts(RuntimeState&, ZerinSession session, FinishedStreams& finished) {
  closeSessionGaze(session);
  closeSessionMixedReality(session, finished);
}

void resetParts(RuntimeState&, FinishedStreams& finished) {
  resetEvents();
  resetGaze();
  resetMixedReality(finished);
}

}  // namespace ZerinSim

using ZerinSim::Call;
using ZerinSim::RuntimeState;

extern "C" {

ZERINLIB_API int32_t zerin_GetButtonEvent(ZerinSession session, int64_t button, int64_t state) {
  Call call("zerin_GetButtonEvent");
  call.arguments(session, button, state);
  if (call.injectedFailure() || !call.checkSession(session)) return call.result<int32_t>(0);
  ZerinSim::ButtonState& current = ZerinSim::input().buttons[button];
  switch (state) {
    case ZERIN_BUTTON_STATE_DOWN: return call.result<int32_t>(current.down ? 1 : 0);
    case ZERIN_BUTTON_STATE_PRESSED: {
      const bool pressed = current.pressedSinceQuery;
      current.pressedSinceQuery = false;
      return call.result<int32_t>(pressed ? 1 : 0);
    }
    case ZERIN_BUTTON_STATE_RELEASED: {
      const bool released = current.releasedSinceQuery;
      current.releasedSinceQuery = false;
      return call.result<int32_t>(released ? 1 : 0);
    }
    default:
      call.fail(ZERIN_ERROR_INVALID_ARGUMENT);
      return call.result<int32_t>(0);
  }
}

/* ---- Control surface ------------------------------------------------------------------------ */

ZERINLIB_API void zerinsim_SetForeground(int32_t foreground) {
  auto& state = RuntimeState::instance();
  std::lock_guard<std::mutex> lock(state.mutex);
  ZerinSim::setForeground(state, foreground != 0);
}

ZERINLIB_API void zerinsim_SetHeadsetStandby(int32_t standby) {
  auto& state = RuntimeState::instance();
  std::lock_guard<std::mutex> lock(state.mutex);
  ZerinSim::setHeadsetStandby(state, standby != 0);
}

ZERINLIB_API void zerinsim_SetButton(int64_t button, int32_t down) {
  auto& state = RuntimeState::instance();
  std::lock_guard<std::mutex> lock(state.mutex);
  ZerinSim::setButton(state, button, down != 0);
}

}  // extern "C"
