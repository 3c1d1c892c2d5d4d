#pragma once
#include <chrono>

namespace ZerinSim::Gfx::Soft {

// Adds the time from its making to its end to the calling thread's account of time spent in
// the device's methods (threadDeviceNanoseconds). One made while another is alive on the same
// thread (a method that uses another) adds nothing, so no time is counted twice.
class CallTimer {
 public:
  CallTimer();
  ~CallTimer();
  CallTimer(const CallTimer&) = delete;
  CallTimer& operator=(const CallTimer&) = delete;

 private:
  std::chrono::steady_clock::time_point start;
  bool outermost;
};

}  // namespace ZerinSim::Gfx::Soft
