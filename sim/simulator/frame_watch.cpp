#include "frame_watch.h"

#include <algorithm>

namespace ZerinSim {

void FrameWatch::frameSynced(int64_t frame) {
  {
    std::lock_guard<std::mutex> lock(mutex);
    latestFrame = frame;
  }
  changed.notify_all();
}

void FrameWatch::sessionEnded() {
  {
    std::lock_guard<std::mutex> lock(mutex);
    ++endedSessions;
  }
  changed.notify_all();
}

int64_t FrameWatch::latest() const {
  std::lock_guard<std::mutex> lock(mutex);
  return latestFrame;
}

bool FrameWatch::waitFor(int64_t frame, std::chrono::milliseconds limit) {
  std::unique_lock<std::mutex> lock(mutex);
  const uint64_t ended = endedSessions;
  // A deadline, not a duration: wake-ups for other frames must not extend the wait.
  const auto deadline = std::chrono::steady_clock::now() + std::max(limit, std::chrono::milliseconds(0));
  changed.wait_until(lock, deadline, [&] { return latestFrame >= frame || endedSessions != ended; });
  return latestFrame >= frame;
}

}  // namespace ZerinSim
