#pragma once
// The head pose of each frame: still, a built-in path, keyframes interpolated per frame or a
// desk recording, as the configuration says; a pose set through the control surface or steered
// from the mirror window's keys and mouse takes over from it.
#include <cstdint>
#include <mutex>
#include <optional>

#include "simulator.h"
#include "zerin_lib.h"

namespace ZerinSim {

inline constexpr double kPi = 3.14159265358979323846;
inline double radians(double degrees) { return degrees * kPi / 180.0; }
inline double degrees(double radians) { return radians * 180.0 / kPi; }

class HeadMotion {
 public:
  explicit HeadMotion(Simulator& simulator) : simulator(simulator) {}

  // The head pose of frame `frame`: the steered one, else the configuration's.
  HeadPose poseAt(int64_t frame);
  // The configuration's pose of a frame (fractional frames lie between two).
  static HeadPose configuredPose(const HeadMotionConfig& motion, double frame);
  // From now on every frame's head pose is `pose` (the control surface, the desk); nullopt
  // gives the configuration's motion back.
  void steer(std::optional<HeadPose> pose);
  std::optional<HeadPose> steered() const;

  // The runtime's matrices of a head pose: the head and each view (views 0 and 2 are the left
  // eye, 1 and 3 the right, half the inter-pupillary distance to each side).
  static ZerinMatrix headMatrix(const HeadPose& pose);
  ZerinMatrix viewMatrix(const HeadPose& pose, int view) const;
  static ZerinMatrix viewMatrix(const HeadPose& pose, int view, double interPupillaryDistance);

  // The gaze ray of a frame in head space (not normalised), for any kind but off.
  static Vector3 gazeDirection(const GazeConfig& gaze, double periodFrames, double frame);

 private:
  Simulator& simulator;
  mutable std::mutex mutex;  // guards override: set from the control surface or the desk's thread
  std::optional<HeadPose> override;
};

}  // namespace ZerinSim
