#pragma once
// The latest frame the client synced, for callers that wait for a frame from threads of their own
// (the control surface's zerinsim_WaitForFrame: tests and the C# SimulatorControl).
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace ZerinSim {

class FrameWatch {
 public:
  // Frame `frame` of the open session was synced (the client's thread, runtime lock held).
  void frameSynced(int64_t frame);
  // The session is shutting down: every waiter returns.
  void sessionEnded();

  // The latest synced frame (0 before the first).
  int64_t latest() const;
  // True once frame `frame` (or a later one) was synced; false when `limit` ran out or the
  // session ended first.
  bool waitFor(int64_t frame, std::chrono::milliseconds limit);

 private:
  mutable std::mutex mutex;  // guards latestFrame and endedSessions: set by the client, read by waiters
  std::condition_variable changed;
  int64_t latestFrame = 0;
  uint64_t endedSessions = 0;
};

}  // namespace ZerinSim
