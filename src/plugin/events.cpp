#include "plugin/events.h"

#include <cstring>
#include <mutex>

#include "plugin/session.h"
#include "render/render_state.h"

namespace Zerin {

bool currentEventValid = false;

bool pollEvent(int64_t* outType) {
  std::lock_guard<std::mutex> lock(eventQueueLock);
  // Every poll decides anew, so that after an empty one the getters read 0.
  currentEventValid = false;
  // Without a session there is no record to copy into; the events wait for the next one.
  if (!currentEvent || !outType || eventQueue.empty()) return false;
  *currentEvent = eventQueue.front();
  eventQueue.popFront();
  currentEventValid = true;
  *outType = currentEvent->type;
  return true;
}

uint32_t currentEventData32() {
  if (!currentEventValid || !currentEvent) return 0;
  uint32_t value;
  std::memcpy(&value, currentEvent->data.bytes, sizeof value);
  return value;
}

int64_t currentEventData64() {
  if (!currentEventValid || !currentEvent) return 0;
  int64_t value;
  std::memcpy(&value, currentEvent->data.bytes, sizeof value);
  return value;
}

}  // namespace Zerin
