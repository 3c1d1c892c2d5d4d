#pragma once
#include <cstdint>

namespace Zerin {

// Whether the last pollEvent delivered an event into currentEvent (scripting thread only).
extern bool currentEventValid;

// Moves the oldest event of eventQueue into currentEvent and writes its type. False, with
// *outType untouched and the queue kept, when there is none, no session's event record to copy
// into, or nowhere to write the type.
bool pollEvent(int64_t* outType);
// The delivered event's data: its first 32 bits, or all 8 bytes; 0 when none was delivered.
uint32_t currentEventData32();
int64_t currentEventData64();

}  // namespace Zerin
