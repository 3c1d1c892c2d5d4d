#pragma once
// The simulated runtime's event source, gaze tracker and mixed-reality devices, as the rest of
// the library reaches them. Every function here expects the library lock (RuntimeState::mutex)
// to be held by its caller.
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "runtime_state.h"

namespace ZerinSim {

// The runtime clock: nanoseconds of the steady clock.
inline int64_t runtimeClock() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

/* ---- Events (sim_events.cpp) ---------------------------------------------------------------- */

// Queues one event for zerin_PollEvent, stamped with the runtime clock, while a session is
// open (with none, nobody would be told).
void raiseEvent(RuntimeState& state, int64_t type, int64_t data);
// An event whose data is a 64-bit value made of two 32-bit halves.
inline int64_t eventPair(uint32_t low, uint32_t high) {
  return static_cast<int64_t>((static_cast<uint64_t>(high) << 32) | low);
}

// The devices' changes behind the control surface, for callers that hold the lock already (the
// headset simulator's scripted events). Each queues its event only when the value changes.
void setButton(RuntimeState& state, int64_t button, bool down);
void setForeground(RuntimeState& state, bool foreground);
void setHeadsetStandby(RuntimeState& state, bool standby);
void setSessionVisible(RuntimeState& state, ZerinSession session, bool visible);  // zerin_lib.cpp

/* ---- Gaze (sim_gaze.cpp) ------------------------------------------------------------------ */

// A tracker's sample of tick `tick` looking along `direction` (head space, not normalised).
ZerinGazeSample gazeSample(int64_t tick, int64_t timestamp, ZerinVector3d direction);
// As zerinsim_SetGazeRate and zerinsim_QueueGazeSample.
void setGazeRate(double samplesPerSecond);
int32_t queueGazeSample(const ZerinGazeSample& sample);

/* ---- Mixed reality (sim_mixed_reality.cpp) ------------------------------------------------ */

// Whether the pattern of streams started from now on moves from frame to frame (a frozen stream
// then shows); the same every frame when false.
void setStreamPatternMoving(bool moving);
// The occlusion mesh every view gets from now on (triangles, normalised view coordinates); empty
// gives back the runtime's own.
void setOcclusionMesh(std::vector<ZerinOcclusionVertex> vertices);

// A started data stream with its delivery thread.
class DataStream;

// Streams taken out of the library's state under its lock. They are stopped and their threads
// joined when this goes, which must be after the lock is released: a stream's callback may call
// into the library. Declare one before the Call whose lock it must outlive.
class FinishedStreams {
 public:
  FinishedStreams();
  ~FinishedStreams();
  FinishedStreams(const FinishedStreams&) = delete;
  FinishedStreams& operator=(const FinishedStreams&) = delete;

  void add(std::unique_ptr<DataStream> stream);

 private:
  std::vector<std::unique_ptr<DataStream>> streams;
};

/* ---- Session and library lifetime (each part's own state) ------------------------------------ */

// A session closes: its gaze and properties go; its streams are handed back to join.
void closeSessionParts(RuntimeState& state, ZerinSession session, FinishedStreams& finished);
// Back to a fresh process: every part's state goes; all streams are handed back to join.
void resetParts(RuntimeState& state, FinishedStreams& finished);

void closeSessionGaze(ZerinSession session);
void closeSessionMixedReality(ZerinSession session, FinishedStreams& finished);
void resetEvents();
void resetGaze();
void resetMixedReality(FinishedStreams& finished);

}  // namespace ZerinSim
