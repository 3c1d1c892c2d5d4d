#include "head_motion.h"

namespace ZerinSim {

HeadPose HeadMotion::poseAt(int64_t) {
  std::lock_guard<std::mutex> lock(mutex);
  return override.value_or(simulator.config().headMotion.still);
}

void HeadMotion::steer(std::optional<HeadPose> pose) {
  std::lock_guard<std::mutex> lock(mutex);
  override = pose;
}

std::optional<HeadPose> HeadMotion::steered() const {
  std::lock_guard<std::mutex> lock(mutex);
  return override;
}

ZerinMatrix HeadMotion::headMatrix(const HeadPose&) { return ZerinMatrix{}; }

ZerinMatrix HeadMotion::viewMatrix(const HeadPose&, int) const { return ZerinMatrix{}; }

}  // namespace ZerinSim
