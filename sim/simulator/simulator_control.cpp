// The simulator's control exports, handed to the hub's parts.
#include <cmath>
#include <optional>

#include "frame_watch.h"
#include "head_motion.h"
#include "simulator.h"
#include "zerin_simulator_control.h"

namespace {

ZerinSim::Vector3 vector(const double* values) { return {values[0], values[1], values[2]}; }

bool finite(const ZerinSim::Vector3& values) {
  return std::isfinite(values[0]) && std::isfinite(values[1]) && std::isfinite(values[2]);
}

}  // namespace

extern "C" {

ZERINLIB_API int32_t zerinsim_SetHeadPose(const double position[3], const double yawPitchRoll[3]) {
  ZerinSim::HeadMotion& motion = ZerinSim::Simulator::instance().headMotion();
  if (!position || !yawPitchRoll) {
    motion.steer(std::nullopt);
    return 1;
  }
  const ZerinSim::HeadPose pose{vector(position), vector(yawPitchRoll)};
  if (!finite(pose.position) || !finite(pose.yawPitchRoll)) return 0;
  motion.steer(pose);
  return 1;
}

ZERINLIB_API int64_t zerinsim_LatestFrame(void) { return ZerinSim::Simulator::instance().frameWatch().latest(); }

ZERINLIB_API int32_t zerinsim_WaitForFrame(int64_t frame, int32_t timeoutMilliseconds) {
  return ZerinSim::Simulator::instance().frameWatch().waitFor(frame, std::chrono::milliseconds(timeoutMilliseconds))
             ? 1
             : 0;
}

}  // extern "C"
