// Runtime events and buttons, for the scripts on their own thread.
#include <exception>

#include "core/plugin_log.h"
#include "plugin/events.h"
#include "plugin/session.h"
#include "zerin/engine_bridge.h"

extern "C" bool PollEvent(int64_t* outType) {
  try {
    return Zerin::pollEvent(outType);
  } catch (const std::exception& error) {
    // Only a failing lock throws here; it must not unwind into the engine.
    Zerin::pluginLog("PollEvent failed: %s", error.what());
    return false;
  }
}

// One body for each width: the scripts pick the getter that names the event's meaning.
extern "C" uint32_t GetEventForeground(void) { return Zerin::currentEventData32(); }
extern "C" uint32_t GetEventHeadsetStandbyStatus(void) { return Zerin::currentEventData32(); }
extern "C" uint32_t GetEventVisibility(void) { return Zerin::currentEventData32(); }

extern "C" int64_t GetEventButton(void) { return Zerin::currentEventData64(); }
extern "C" int64_t GetEventDataStreamStart(void) { return Zerin::currentEventData64(); }
extern "C" int64_t GetEventDataStreamStop(void) { return Zerin::currentEventData64(); }
extern "C" int64_t GetEventMRCameraPropertyChange(void) { return Zerin::currentEventData64(); }
extern "C" int64_t GetEventMRDeviceStatus(void) { return Zerin::currentEventData64(); }

extern "C" bool GetButtonEvent(int64_t button, int64_t state) {
  return Zerin::zerin_GetButtonEvent(Zerin::session.load(), button, state) != 0;
}
