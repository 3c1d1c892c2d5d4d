// Head poses from the configuration: built-in paths as functions of the frame index, keyframes
// blended per frame (positions linearly, orientations along the shorter arc), recordings replayed
// as keyframes of every frame.
#include "head_motion.h"

#include <algorithm>
#include <cmath>

namespace ZerinSim {

namespace {

constexpr double kCircleRadius = 0.5;  // metres: the circle path goes round a point this far ahead

struct Quaternion {
  double w, x, y, z;
};

Quaternion multiply(const Quaternion& a, const Quaternion& b) {
  return {a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z, a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
          a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x, a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w};
}

Quaternion about(double x, double y, double z, double angleDegrees) {
  const double half = radians(angleDegrees) / 2.0;
  const double s = std::sin(half);
  return {std::cos(half), x * s, y * s, z * s};
}

// Yaw about +y, then pitch about the turned +x, then roll about the turned +z.
Quaternion orientation(const Vector3& yawPitchRoll) {
  return multiply(multiply(about(0, 1, 0, yawPitchRoll[0]), about(1, 0, 0, yawPitchRoll[1])),
                  about(0, 0, 1, yawPitchRoll[2]));
}

// The same angles back from a quaternion (pitch within +-90 degrees).
Vector3 yawPitchRoll(const Quaternion& q) {
  // Rotation matrix entries of R = Ry Rx Rz: m12 = -sin(pitch), m02 / m22 give yaw, m10 / m11 roll.
  const double m02 = 2 * (q.x * q.z + q.w * q.y), m22 = 1 - 2 * (q.x * q.x + q.y * q.y);
  const double m12 = 2 * (q.y * q.z - q.w * q.x);
  const double m10 = 2 * (q.x * q.y + q.w * q.z), m11 = 1 - 2 * (q.x * q.x + q.z * q.z);
  return {degrees(std::atan2(m02, m22)), degrees(std::asin(std::clamp(-m12, -1.0, 1.0))),
          degrees(std::atan2(m10, m11))};
}

Quaternion slerp(Quaternion a, const Quaternion& b, double t) {
  double cosine = a.w * b.w + a.x * b.x + a.y * b.y + a.z * b.z;
  if (cosine < 0) {  // the shorter way round
    a = {-a.w, -a.x, -a.y, -a.z};
    cosine = -cosine;
  }
  double wa = 1 - t, wb = t;
  if (cosine < 0.9995) {
    const double angle = std::acos(cosine), sine = std::sin(angle);
    wa = std::sin((1 - t) * angle) / sine;
    wb = std::sin(t * angle) / sine;
  }
  Quaternion q{wa * a.w + wb * b.w, wa * a.x + wb * b.x, wa * a.y + wb * b.y, wa * a.z + wb * b.z};
  const double length = std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
  return {q.w / length, q.x / length, q.y / length, q.z / length};
}

HeadPose between(const HeadPose& a, const HeadPose& b, double t) {
  HeadPose pose;
  for (int i = 0; i < 3; ++i) pose.position[i] = a.position[i] + (b.position[i] - a.position[i]) * t;
  pose.yawPitchRoll = yawPitchRoll(slerp(orientation(a.yawPitchRoll), orientation(b.yawPitchRoll), t));
  return pose;
}

HeadPose alongKeyframes(const std::vector<HeadKeyframe>& keyframes, const HeadPose& still, double frame) {
  if (keyframes.empty()) return still;
  if (frame <= static_cast<double>(keyframes.front().frame)) return keyframes.front().pose;
  if (frame >= static_cast<double>(keyframes.back().frame)) return keyframes.back().pose;
  const auto next = std::upper_bound(keyframes.begin(), keyframes.end(), frame,
                                     [](double f, const HeadKeyframe& k) { return f < static_cast<double>(k.frame); });
  const HeadKeyframe& before = *(next - 1);
  const double t = (frame - static_cast<double>(before.frame)) / static_cast<double>(next->frame - before.frame);
  return between(before.pose, next->pose, t);
}

// The angle of a built-in path at `frame`: one full turn per period.
double phaseOf(double periodFrames, double frame) { return 2 * kPi * frame / periodFrames; }

HeadPose alongPath(const HeadMotionConfig& motion, double frame) {
  HeadPose pose = motion.still;
  const double phase = phaseOf(motion.pathPeriodFrames, frame);
  if (motion.path == "circle") {
    // Round a point ahead, always facing it.
    pose.position[0] += kCircleRadius * std::sin(phase);
    pose.position[2] += kCircleRadius * (std::cos(phase) - 1.0);
    pose.yawPitchRoll[0] += degrees(phase);
  } else if (motion.path == "nod") {
    pose.yawPitchRoll[1] += 20.0 * std::sin(phase);
  } else {  // look-around
    pose.yawPitchRoll[0] += 60.0 * std::sin(phase);
    pose.yawPitchRoll[1] += 15.0 * std::sin(2 * phase);
  }
  return pose;
}

}  // namespace

HeadPose HeadMotion::configuredPose(const HeadMotionConfig& motion, double frame) {
  switch (motion.kind) {
    case HeadMotionConfig::Kind::path: return alongPath(motion, frame);
    case HeadMotionConfig::Kind::keyframes:
    case HeadMotionConfig::Kind::recording: return alongKeyframes(motion.keyframes, motion.still, frame);
    case HeadMotionConfig::Kind::still: break;
  }
  return motion.still;
}

HeadPose HeadMotion::poseAt(int64_t frame) {
  if (std::optional<HeadPose> pose = steered()) return *pose;
  return configuredPose(simulator.config().headMotion, static_cast<double>(frame));
}

void HeadMotion::steer(std::optional<HeadPose> pose) {
  std::lock_guard<std::mutex> lock(mutex);
  override = pose;
}

std::optional<HeadPose> HeadMotion::steered() const {
  std::lock_guard<std::mutex> lock(mutex);
  return override;
}

ZerinMatrix HeadMotion::headMatrix(const HeadPose& pose) { return viewMatrix(pose, -1, 0.0); }

ZerinMatrix HeadMotion::viewMatrix(const HeadPose& pose, int view) const {
  return viewMatrix(pose, view, simulator.config().headMotion.interPupillaryDistance);
}

ZerinMatrix HeadMotion::viewMatrix(const HeadPose& pose, int view, double interPupillaryDistance) {
  const Quaternion q = orientation(pose.yawPitchRoll);
  const double r[3][3] = {{1 - 2 * (q.y * q.y + q.z * q.z), 2 * (q.x * q.y - q.w * q.z), 2 * (q.x * q.z + q.w * q.y)},
                          {2 * (q.x * q.y + q.w * q.z), 1 - 2 * (q.x * q.x + q.z * q.z), 2 * (q.y * q.z - q.w * q.x)},
                          {2 * (q.x * q.z - q.w * q.y), 2 * (q.y * q.z + q.w * q.x), 1 - 2 * (q.x * q.x + q.y * q.y)}};
  // Views 0 and 2 are the left eye, 1 and 3 the right; the head itself (-1) has no offset.
  const double side = view < 0 ? 0.0 : (view % 2 == 0 ? -0.5 : 0.5) * interPupillaryDistance;
  ZerinMatrix matrix{};
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) matrix.m[row * 4 + column] = r[row][column];
    matrix.m[row * 4 + 3] = pose.position[row] + r[row][0] * side;
  }
  matrix.m[15] = 1.0;
  return matrix;
}

Vector3 HeadMotion::gazeDirection(const GazeConfig& gaze, double periodFrames, double frame) {
  const double phase = phaseOf(periodFrames, frame);
  switch (gaze.kind) {
    case GazeConfig::Kind::path:
      if (gaze.path == "circle") return {0.2 * std::cos(phase), 0.2 * std::sin(phase), -1.0};
      if (gaze.path == "nod") return {0.0, 0.3 * std::sin(phase), -1.0};
      return {0.5 * std::sin(phase), 0.2 * std::sin(2 * phase), -1.0};
    case GazeConfig::Kind::recording: {
      // The latest recorded sample at or before the frame; the first one before it.
      const auto& samples = gaze.recorded;
      if (samples.empty()) return gaze.direction;
      auto after = std::upper_bound(samples.begin(), samples.end(), frame,
                                    [](double f, const GazeFrame& g) { return f < static_cast<double>(g.frame); });
      return after == samples.begin() ? after->direction : (after - 1)->direction;
    }
    case GazeConfig::Kind::fixed:
    case GazeConfig::Kind::off: break;
  }
  return gaze.direction;
}

}  // namespace ZerinSim
