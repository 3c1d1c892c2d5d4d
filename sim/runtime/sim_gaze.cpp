// The simulated eye tracker. Once a session has started gaze, the tracker buffers samples for it
// at a steady rate (the newest 256 are kept); zerin_GetGazeArray hands them out oldest first,
// zerin_GetGaze the latest. The buffer is filled when the session next asks, from the time that
// has passed, so no thread is needed and the samples still fall on the tracker's clock.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <map>
#include <optional>

#include "sim_parts.h"
#include "zerin_sim_devices.h"

namespace ZerinSim {

namespace {

constexpr double kDefaultGazeRate = 120.0;
constexpr size_t kGazeBufferCapacity = 256;

struct GazeSession {
  // The tracker's clock for this session: tick `anchorTick` fell at `anchor`.
  std::chrono::steady_clock::time_point anchor;
  int64_t anchorTick = 0;
  int64_t generated = 0;  // the newest tick already buffered
  std::deque<ZerinGazeSample> buffer;
  ZerinGazeSample latest{};
};

struct CalibrationRequest {
  ZerinSession session;
  bool withParameters;
  std::vector<ZerinGazeCalibrationParameter> parameters;
};

// Guarded by the library lock, like RuntimeState.
struct GazeState {
  double rate = kDefaultGazeRate;
  std::map<ZerinSession, GazeSession> sessions;
  std::optional<ZerinGazeSample> pinned;
  std::optional<ZerinRawGazeSample> pinnedRaw;
  std::vector<CalibrationRequest> calibrations;
};

GazeState& gaze() {
  static GazeState state;
  return state;
}

int64_t toClock(std::chrono::steady_clock::time_point time) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
}

ZerinVector3d normalised(double x, double y, double z) {
  const double length = std::sqrt(x * x + y * y + z * z);
  return {x / length, y / length, z / length};
}

}  // namespace

ZerinGazeSample gazeSample(int64_t tick, int64_t timestamp, ZerinVector3d direction) {
  const double phase = static_cast<double>(tick) * 0.05;
  ZerinGazeSample sample{};
  sample.timestamp = timestamp;
  sample.frameIndex = tick;
  const uint32_t valid =
      ZERIN_GAZE_VALID_ORIGIN | ZERIN_GAZE_VALID_DIRECTION | ZERIN_GAZE_VALID_PUPIL | ZERIN_GAZE_VALID_OPENNESS;
  sample.combinedOrigin = {0.0, 0.0, 0.0};
  sample.combinedDirection = normalised(direction.x, direction.y, direction.z);
  sample.validity = valid;
  sample.confidence = 0.95f;
  ZerinGazeEye* eyes[2] = {&sample.left, &sample.right};
  for (int side = 0; side < 2; ++side) {
    ZerinGazeEye& eye = *eyes[side];
    eye.origin = {side == 0 ? -0.032 : 0.032, 0.0, 0.0};
    eye.direction = sample.combinedDirection;
    eye.pupilDiameterMm = 3.5 + 0.5 * std::sin(phase + side);
    eye.openness = 1.0;
    eye.validity = valid;
  }
  return sample;
}

namespace {

// The gaze wanders slowly around the straight-ahead direction (-z); each tick differs.
ZerinGazeSample makeSample(int64_t tick, int64_t timestamp) {
  const double phase = static_cast<double>(tick) * 0.05;
  return gazeSample(tick, timestamp, {0.2 * std::cos(phase), 0.1 * std::sin(phase), -1.0});
}

// What the eye cameras saw for a sample: pupil ellipses in 640 x 480 images.
ZerinRawGazeSample rawFrom(const ZerinGazeSample& sample) {
  ZerinRawGazeSample raw{};
  raw.timestamp = sample.timestamp;
  raw.sensorTimestamp = sample.timestamp - 2000000;  // exposure ends 2 ms before the sample
  const ZerinGazeEye* eyes[2] = {&sample.left, &sample.right};
  ZerinRawGazeEye* rawEyes[2] = {&raw.left, &raw.right};
  for (int side = 0; side < 2; ++side) {
    const ZerinGazeEye& eye = *eyes[side];
    ZerinRawGazeEye& out = *rawEyes[side];
    out.pupilCentreX = 320.0 + 400.0 * eye.direction.x;
    out.pupilCentreY = 240.0 - 400.0 * eye.direction.y;
    out.pupilMajorAxis = eye.pupilDiameterMm * 12.0;
    out.pupilMinorAxis = eye.pupilDiameterMm * 11.0;
    out.pupilAngle = std::atan2(eye.direction.y, eye.direction.x);
    out.gazeVector = eye.direction;
    out.openness = eye.openness;
    out.validity = eye.validity;
    out.cameraIndex = static_cast<uint32_t>(side);
  }
  raw.interPupillaryDistanceMm = (sample.right.origin.x - sample.left.origin.x) * 1000.0;
  raw.headOrigin = sample.combinedOrigin;
  return raw;
}

// Buffers the samples whose ticks have come since the session last asked.
void catchUp(GazeState& state, GazeSession& session) {
  if (state.rate <= 0) return;
  const auto now = std::chrono::steady_clock::now();
  const double elapsed = std::chrono::duration<double>(now - session.anchor).count();
  const int64_t due = session.anchorTick + static_cast<int64_t>(std::floor(elapsed * state.rate));
  // After a long pause only the newest samples would survive anyway.
  int64_t tick = std::max(session.generated, due - static_cast<int64_t>(kGazeBufferCapacity));
  const double period = 1e9 / state.rate;
  const int64_t anchorClock = toClock(session.anchor);
  while (tick < due) {
    ++tick;
    const auto at = anchorClock + static_cast<int64_t>(static_cast<double>(tick - session.anchorTick) * period);
    session.latest = makeSample(tick, at);
    session.buffer.push_back(session.latest);
    if (session.buffer.size() > kGazeBufferCapacity) session.buffer.pop_front();
  }
  session.generated = due;
}

// The session's gaze, or null (and INVALID_STATE) when it never called zerin_GazeInit.
GazeSession* started(Call& call, GazeState& state, ZerinSession session) {
  const auto found = state.sessions.find(session);
  if (found == state.sessions.end()) {
    call.fail(ZERIN_ERROR_INVALID_STATE);
    return nullptr;
  }
  catchUp(state, found->second);
  return &found->second;
}

}  // namespace

void closeSessionGaze(ZerinSession session) { gaze().sessions.erase(session); }

void setGazeRate(double samplesPerSecond) {
  auto& state = gaze();
  // Samples due at the old rate are buffered first; the new rate counts from now.
  const auto now = std::chrono::steady_clock::now();
  for (auto& entry : state.sessions) {
    catchUp(state, entry.second);
    entry.second.anchor = now;
    entry.second.anchorTick = entry.second.generated;
  }
  state.rate = std::isfinite(samplesPerSecond) && samplesPerSecond > 0 ? samplesPerSecond : 0.0;
}

int32_t queueGazeSample(const ZerinGazeSample& sample) {
  auto& state = gaze();
  for (auto& entry : state.sessions) {
    catchUp(state, entry.second);
    entry.second.latest = sample;
    entry.second.buffer.push_back(sample);
    if (entry.second.buffer.size() > kGazeBufferCapacity) entry.second.buffer.pop_front();
  }
  return static_cast<int32_t>(state.sessions.size());
}

void resetGaze() { gaze() = GazeState{}; }

}  // namespace ZerinSim

using ZerinSim::Call;
using ZerinSim::gaze;

extern "C" {

ZERINLIB_API void zerin_GazeInit(ZerinSession session) {
  Call call("zerin_GazeInit");
  call.arguments(session);
  if (call.injectedFailure() || !call.checkSession(session)) return;
  auto& sessions = gaze().sessions;
  if (sessions.count(session)) return;  // already tracking: keep the buffer
  ZerinSim::GazeSession& tracking = sessions[session];
  tracking.anchor = std::chrono::steady_clock::now();
  tracking.latest = ZerinSim::makeSample(0, ZerinSim::toClock(tracking.anchor));
}

ZERINLIB_API ZerinGazeSample zerin_GetGaze(ZerinSession session) {
  Call call("zerin_GetGaze");
  call.arguments(session);
  if (call.injectedFailure() || !call.checkSession(session)) return ZerinGazeSample{};
  auto& state = gaze();
  const ZerinSim::GazeSession* tracking = ZerinSim::started(call, state, session);
  if (!tracking) return ZerinGazeSample{};
  return state.pinned ? *state.pinned : tracking->latest;
}

// Left out of the build that stands for a runtime lacking a function the plug-in calls.
#if !defined(ZERINSIM_LACK_GAZE_ARRAY)
ZERINLIB_API int32_t zerin_GetGazeArray(ZerinSession session, ZerinGazeSample* samples, int32_t capacity) {
  Call call("zerin_GetGazeArray");
  call.arguments(session, static_cast<const void*>(samples), capacity);
  if (call.injectedFailure() || !call.checkSession(session)) return call.result<int32_t>(0);
  if (capacity < 0 || (capacity > 0 && !samples)) {
    call.fail(ZERIN_ERROR_INVALID_ARGUMENT);
    return call.result<int32_t>(0);
  }
  ZerinSim::GazeSession* tracking = ZerinSim::started(call, gaze(), session);
  if (!tracking) return call.result<int32_t>(0);
  int32_t moved = 0;
  while (moved < capacity && !tracking->buffer.empty()) {
    samples[moved++] = tracking->buffer.front();
    tracking->buffer.pop_front();
  }
  return call.result(moved);
}
#endif

ZERINLIB_API ZerinRawGazeSample zerin_GetRawGazeData(ZerinSession session) {
  Call call("zerin_GetRawGazeData");
  call.arguments(session);
  if (call.injectedFailure() || !call.checkSession(session)) return ZerinRawGazeSample{};
  auto& state = gaze();
  const ZerinSim::GazeSession* tracking = ZerinSim::started(call, state, session);
  if (!tracking) return ZerinRawGazeSample{};
  return state.pinnedRaw ? *state.pinnedRaw : ZerinSim::rawFrom(tracking->latest);
}

ZERINLIB_API void zerin_RequestGazeCalibration(ZerinSession session) {
  Call call("zerin_RequestGazeCalibration");
  call.arguments(session);
  if (call.injectedFailure() || !call.checkSession(session)) return;
  gaze().calibrations.push_back({session, false, {}});
}

ZERINLIB_API void zerin_RequestGazeCalibrationWithParameters(ZerinSession session,
                                                             const ZerinGazeCalibrationParameter* parameters,
                                                             uint32_t count) {
  Call call("zerin_RequestGazeCalibrationWithParameters");
  call.arguments(session, static_cast<const void*>(parameters), count);
  if (call.injectedFailure() || !call.checkSession(session)) return;
  if (count > 0 && !parameters) return call.fail(ZERIN_ERROR_INVALID_ARGUMENT);
  gaze().calibrations.push_back({session, true, {parameters, parameters + count}});
}

/* ---- Control surface ------------------------------------------------------------------------ */

ZERINLIB_API void zerinsim_SetGazeRate(double samplesPerSecond) {
  std::lock_guard<std::mutex> lock(ZerinSim::RuntimeState::instance().mutex);
  ZerinSim::setGazeRate(samplesPerSecond);
}

ZERINLIB_API int32_t zerinsim_QueueGazeSample(const ZerinGazeSample* sample) {
  if (!sample) return 0;
  std::lock_guard<std::mutex> lock(ZerinSim::RuntimeState::instance().mutex);
  return ZerinSim::queueGazeSample(*sample);
}

ZERINLIB_API int32_t zerinsim_BufferedGazeCount(ZerinSession session) {
  std::lock_guard<std::mutex> lock(ZerinSim::RuntimeState::instance().mutex);
  auto& state = gaze();
  const auto found = state.sessions.find(session);
  if (found == state.sessions.end()) return 0;
  ZerinSim::catchUp(state, found->second);
  return static_cast<int32_t>(found->second.buffer.size());
}

ZERINLIB_API void zerinsim_PinGaze(const ZerinGazeSample* sample) {
  std::lock_guard<std::mutex> lock(ZerinSim::RuntimeState::instance().mutex);
  gaze().pinned = sample ? std::optional<ZerinGazeSample>(*sample) : std::nullopt;
}

ZERINLIB_API void zerinsim_PinRawGaze(const ZerinRawGazeSample* sample) {
  std::lock_guard<std::mutex> lock(ZerinSim::RuntimeState::instance().mutex);
  gaze().pinnedRaw = sample ? std::optional<ZerinRawGazeSample>(*sample) : std::nullopt;
}

ZERINLIB_API int32_t zerinsim_CalibrationRequestCount(void) {
  std::lock_guard<std::mutex> lock(ZerinSim::RuntimeState::instance().mutex);
  return static_cast<int32_t>(gaze().calibrations.size());
}

ZERINLIB_API int32_t zerinsim_GetCalibrationRequest(int32_t index, ZerinSession* session, int32_t* withParameters,
                                                    ZerinGazeCalibrationParameter* parameters, int32_t capacity) {
  std::lock_guard<std::mutex> lock(ZerinSim::RuntimeState::instance().mutex);
  const auto& requests = gaze().calibrations;
  if (index < 0 || static_cast<size_t>(index) >= requests.size()) return -1;
  const auto& request = requests[static_cast<size_t>(index)];
  if (session) *session = request.session;
  if (withParameters) *withParameters = request.withParameters ? 1 : 0;
  const auto count = static_cast<int32_t>(request.parameters.size());
  if (parameters && capacity > 0 && count > 0)
    std::memcpy(parameters, request.parameters.data(),
                static_cast<size_t>(std::min(capacity, count)) * sizeof(ZerinGazeCalibrationParameter));
  return count;
}

}  // extern "C"
