// The runtime API of the simulated compositor runtime. Sessions, errors, event records, events,
// frame records, settings, pose utilities and configuration values work here; the frame cycle
// and swap chains are in frames.cpp, buttons and the event source in sim_events.cpp, gaze in
// sim_gaze.cpp and mixed reality in sim_mixed_reality.cpp.
#include <cmath>
#include <cstring>
#include <utility>

#include "runtime_state.h"
#include "sim_parts.h"
#include "simulator_hooks.h"

using ZerinSim::Call;
using ZerinSim::FrameInfoRecord;
using ZerinSim::Rule;
using ZerinSim::SessionRecord;
using ZerinSim::SubmitInfoRecord;

namespace {

// Per-view recommended sizes: two full views and two wide, lower ones.
constexpr ZerinViewport kDefaultViewports[ZERIN_VIEW_COUNT] = {
    {0, 0, 2048, 2048}, {0, 0, 2048, 2048}, {0, 0, 2048, 1152}, {0, 0, 2048, 1152}};

ZerinMatrix identity() {
  ZerinMatrix matrix{};
  for (int i = 0; i < 4; ++i) matrix.m[i * 5] = 1.0;
  return matrix;
}

// A record that is not live: freed already, or never made (a stray or null pointer).
void refuseRecord(Call& call, const void* record, const char* kind) {
  if (record && call.state().wasFreed(record))
    return call.refuse(Rule::RecordFreed, ZERIN_ERROR_INVALID_ARGUMENT, "the %s record was freed already", kind);
  call.refuse(Rule::RecordUnknown, ZERIN_ERROR_INVALID_ARGUMENT, "the %s record was not made by the runtime", kind);
}

ZerinSession openSession(Call& call, const SessionRecord& record) {
  auto& state = call.state();
  if (!state.available || !ZerinSim::hooks::startProblem().empty()) {
    call.fail(ZERIN_ERROR_RUNTIME_UNAVAILABLE);
    return nullptr;
  }
  auto owned = std::make_unique<SessionRecord>(record);
  owned->serial = state.nextSessionSerial();
  auto* session = reinterpret_cast<ZerinSession>(owned.get());
  state.sessions.emplace(session, std::move(owned));
  state.nameObject(session, "session");
  ZerinSim::hooks::sessionOpened(state, session);
  return session;
}

}  // namespace

void ZerinSim::setSessionVisible(RuntimeState& state, ZerinSession session, bool visible) {
  int32_t& current = state.sessions[session]->visible;
  if ((current != 0) != visible) raiseEvent(state, ZERIN_EVENT_VISIBILITY, visible ? 1 : 0);
  current = visible ? 1 : 0;
}

extern "C" {

/* ---- Version, session -------------------------------------------------------------------- */

ZERINLIB_API const char* zerin_GetFullVersion(void) {
  Call call("zerin_GetFullVersion");
  if (call.injectedFailure()) return call.result<const char*>(nullptr);
  return call.result(call.state().version.c_str());
}

ZERINLIB_API int32_t zerin_IsAvailable(void) {
  Call call("zerin_IsAvailable");
  if (call.injectedFailure()) return call.result<int32_t>(0);
  return call.result<int32_t>(call.state().available && ZerinSim::hooks::startProblem().empty() ? 1 : 0);
}

ZERINLIB_API ZerinSession zerin_SessionInit(void) {
  Call call("zerin_SessionInit");
  if (call.injectedFailure()) return call.result<ZerinSession>(nullptr);
  return call.result(openSession(call, SessionRecord{}));
}

ZERINLIB_API ZerinSession zerin_SessionInitWithLayerId(int64_t layerId) {
  Call call("zerin_SessionInitWithLayerId");
  call.arguments(layerId);
  if (call.injectedFailure()) return call.result<ZerinSession>(nullptr);
  SessionRecord record;
  record.layerId = layerId;
  record.hasLayerId = true;
  return call.result(openSession(call, record));
}

ZERINLIB_API void zerin_SessionShutDown(ZerinSession session) {
  ZerinSim::FinishedStreams finished;  // the session's streams, joined once the lock is released
  Call call("zerin_SessionShutDown");
  call.arguments(session);
  if (call.injectedFailure() || !call.checkSession(session)) return;
  ZerinSim::hooks::sessionClosing(call.state(), session);
  ZerinSim::endSessionFrames(call.state(), session);
  ZerinSim::closeSessionParts(call.state(), session, finished);
  call.state().forget(session);
  call.state().sessions.erase(session);
}

/* ---- Errors ------------------------------------------------------------------------------ */

ZERINLIB_API ZerinErrorCode zerin_GetError(ZerinSession session) {
  Call call("zerin_GetError");
  call.arguments(session);
  auto& state = call.state();
  // A handle that is not null must name an open session; null asks for the library's errors.
  if (session && !state.validSession(session) && !call.injectedFailure())
    return call.result<int64_t>(ZERIN_ERROR_INVALID_SESSION);
  // Each session's errors are its own; null reads those of the calls that named no open session.
  ZerinErrorCode* pending = state.pendingErrorOf(session);
  ZerinErrorCode code = pending ? std::exchange(*pending, 0) : 0;
  // An injected failure is the answer itself, not an error left for a later call.
  if (call.injectedFailure()) code = call.takeFailure();
  return call.result<int64_t>(code);
}

ZERINLIB_API const char* zerin_GetErrorDesc(ZerinErrorCode code) {
  Call call("zerin_GetErrorDesc");
  call.arguments(static_cast<int64_t>(code));
  // The text never fails to come: callers print it straight away.
  return call.result(ZerinSim::errorDescription(call.state(), code));
}

/* ---- Events, input ----------------------------------------------------------------------- */

ZERINLIB_API ZerinEvent* zerin_AllocateEvent(void) {
  Call call("zerin_AllocateEvent");
  if (call.injectedFailure()) return call.result<ZerinEvent*>(nullptr);
  auto owned = std::make_unique<ZerinEvent>();
  ZerinEvent* event = owned.get();
  call.state().events.emplace(event, std::move(owned));
  call.state().recordMade(event);
  call.state().nameObject(event, "event");
  return call.result(event);
}

ZERINLIB_API void zerin_FreeEvent(ZerinEvent* event) {
  Call call("zerin_FreeEvent");
  call.arguments(static_cast<const void*>(event));
  if (call.injectedFailure() || !event) return;
  auto& state = call.state();
  if (!state.events.count(event)) return refuseRecord(call, event, "event");
  state.forget(event);
  state.events.erase(event);
  state.recordFreed(event);
}

ZERINLIB_API int32_t zerin_PollEvent(ZerinSession session, ZerinEvent* event) {
  Call call("zerin_PollEvent");
  call.arguments(session, static_cast<const void*>(event));
  if (call.injectedFailure() || !call.checkSession(session)) return call.result<int32_t>(0);
  if (!event) {
    call.refuse(Rule::InvalidArgument, ZERIN_ERROR_INVALID_ARGUMENT, "the event record is null");
    return call.result<int32_t>(0);
  }
  // Writing into a record the runtime already gave back would write into freed memory.
  if (call.state().wasFreed(event)) {
    call.refuse(Rule::RecordFreed, ZERIN_ERROR_INVALID_ARGUMENT, "the event record was freed by zerin_FreeEvent");
    return call.result<int32_t>(0);
  }
  auto& pending = call.state().pendingEvents;
  if (pending.empty()) return call.result<int32_t>(0);
  *event = pending.front();
  pending.pop_front();
  return call.result<int32_t>(1);
}

/* ---- Frame ------------------------------------------------------------------------------- */

ZERINLIB_API ZerinFrameInfo* zerin_CreateFrameInfo(ZerinSession session) {
  Call call("zerin_CreateFrameInfo");
  call.arguments(session);
  if (call.injectedFailure() || !call.checkSession(session)) return call.result<ZerinFrameInfo*>(nullptr);
  auto owned = std::make_unique<FrameInfoRecord>();
  for (auto& view : owned->views) {
    view.pose = identity();
    view.projection = identity();
  }
  for (int i = 0; i < ZERIN_VIEW_COUNT; ++i) owned->views[i].viewport = kDefaultViewports[i];
  owned->info.views = owned->views;
  ZerinFrameInfo* info = &owned->info;
  auto& state = call.state();
  const std::string name = state.nameObject(info, "frameInfo");
  state.nameMember(owned->views, name + ".views");
  state.frameInfos.emplace(info, std::move(owned));
  return call.result(info);
}

ZERINLIB_API void zerin_FreeFrameInfo(ZerinFrameInfo* frameInfo) {
  Call call("zerin_FreeFrameInfo");
  call.arguments(static_cast<const void*>(frameInfo));
  if (call.injectedFailure() || !frameInfo) return;
  auto& state = call.state();
  const auto found = state.frameInfos.find(frameInfo);
  if (found == state.frameInfos.end()) {
    if (state.retiredFrameInfo(frameInfo))
      return call.refuse(Rule::RecordFreed, ZERIN_ERROR_INVALID_ARGUMENT, "the frame-info record was freed already");
    return refuseRecord(call, frameInfo, "frame-info");
  }
  state.forget(found->second->views);
  state.forget(frameInfo);
  state.retireFrameInfo(std::move(found->second));
  state.frameInfos.erase(found);
}

ZERINLIB_API ZerinSubmitInfo* zerin_CreateSubmitInfo(ZerinSession session) {
  Call call("zerin_CreateSubmitInfo");
  call.arguments(session);
  if (call.injectedFailure() || !call.checkSession(session)) return call.result<ZerinSubmitInfo*>(nullptr);
  auto owned = std::make_unique<SubmitInfoRecord>();
  owned->info.viewports = owned->viewports;
  owned->info.viewportCount = ZERIN_VIEW_COUNT;
  ZerinSubmitInfo* info = &owned->info;
  auto& state = call.state();
  const std::string name = state.nameObject(info, "submitInfo");
  state.nameMember(owned->viewports, name + ".viewports");
  state.submitInfos.emplace(info, std::move(owned));
  state.recordMade(info);
  return call.result(info);
}

ZERINLIB_API void zerin_FreeSubmitInfo(ZerinSubmitInfo* submitInfo) {
  Call call("zerin_FreeSubmitInfo");
  call.arguments(static_cast<const void*>(submitInfo));
  if (call.injectedFailure() || !submitInfo) return;
  auto& state = call.state();
  const auto found = state.submitInfos.find(submitInfo);
  if (found == state.submitInfos.end()) return refuseRecord(call, submitInfo, "submit-info");
  state.forget(found->second->viewports);
  state.forget(submitInfo);
  state.submitInfos.erase(found);
  state.recordFreed(submitInfo);
}

ZERINLIB_API void zerin_LayoutDefaultViewports(ZerinSession session, ZerinViewport* viewports) {
  Call call("zerin_LayoutDefaultViewports");
  call.arguments(session, static_cast<const void*>(viewports));
  if (call.injectedFailure() || !call.checkSession(session)) return;
  if (!viewports) return call.refuse(Rule::InvalidArgument, ZERIN_ERROR_INVALID_ARGUMENT, "the viewport array is null");
  ZerinViewport recommended[ZERIN_VIEW_COUNT];
  std::memcpy(recommended, kDefaultViewports, sizeof kDefaultViewports);
  ZerinSim::hooks::recommendedViewports(recommended);
  std::memcpy(viewports, recommended, sizeof recommended);
}

/* ---- Pose, settings ---------------------------------------------------------------------- */

ZERINLIB_API ZerinEulerAngles zerin_GetEulerAngles(double x, double y, double z, double w) {
  Call call("zerin_GetEulerAngles");
  call.arguments(x, y, z, w);
  if (call.injectedFailure()) return ZerinEulerAngles{};
  const double length = std::sqrt(x * x + y * y + z * z + w * w);
  if (!(length > 0.0) || !std::isfinite(length)) {
    call.refuse(Rule::InvalidArgument, ZERIN_ERROR_INVALID_ARGUMENT, "the quaternion (%g, %g, %g, %g) is no rotation",
                x, y, z, w);
    return ZerinEulerAngles{};
  }
  x /= length;
  y /= length;
  z /= length;
  w /= length;
  ZerinEulerAngles angles;
  angles.aroundX = std::atan2(2.0 * (w * x + y * z), 1.0 - 2.0 * (x * x + y * y));
  // Clamped: rounding can push the sine just past 1 at the poles.
  angles.aroundY = std::asin(std::fmax(-1.0, std::fmin(1.0, 2.0 * (w * y - z * x))));
  angles.aroundZ = std::atan2(2.0 * (w * z + x * y), 1.0 - 2.0 * (y * y + z * z));
  return angles;
}

ZERINLIB_API void zerin_ResetPose(ZerinSession session, int32_t includeHeight, int64_t originKind) {
  Call call("zerin_ResetPose");
  call.arguments(session, includeHeight, originKind);
  if (call.injectedFailure() || !call.checkSession(session)) return;
  if (originKind < ZERIN_POSE_HEAD || originKind > ZERIN_POSE_RIGHT_EYE)
    call.broke(Rule::PoseKindUnknown, ZERIN_ERROR_INVALID_ARGUMENT,
               "origin kind %lld is none of 1 (head), 2 (left eye), 3 (right eye)", static_cast<long long>(originKind));
}

ZERINLIB_API void zerin_SetSessionVisible(ZerinSession session, int32_t visible) {
  Call call("zerin_SetSessionVisible");
  call.arguments(session, visible);
  if (call.injectedFailure() || !call.checkSession(session)) return;
  ZerinSim::setSessionVisible(call.state(), session, visible != 0);
  call.state().sessions[session]->visible = visible;
}

ZERINLIB_API void zerin_SetSessionTransparent(ZerinSession session, int32_t transparent) {
  Call call("zerin_SetSessionTransparent");
  call.arguments(session, transparent);
  if (call.injectedFailure() || !call.checkSession(session)) return;
  call.state().sessions[session]->transparent = transparent;
}

ZERINLIB_API void zerin_SendHeartBeat(ZerinSession session, int64_t sequence) {
  Call call("zerin_SendHeartBeat");
  call.arguments(session, sequence);
  if (call.injectedFailure() || !call.checkSession(session)) return;
  call.state().sessions[session]->lastHeartbeat = sequence;
}

ZERINLIB_API void zerin_SetConfig(ZerinSession session, const char* key, const char* value) {
  Call call("zerin_SetConfig");
  call.arguments(session, key, value);
  if (call.injectedFailure() || !call.checkSession(session)) return;
  if (!key) return call.refuse(Rule::InvalidArgument, ZERIN_ERROR_INVALID_ARGUMENT, "the key is null");
  if (value) call.state().config[key] = value;
  else call.state().config.erase(key);
}

ZERINLIB_API int32_t zerin_GetConfig(ZerinSession session, const char* key, char* buffer, int32_t size) {
  Call call("zerin_GetConfig");
  call.arguments(session, key, static_cast<const void*>(buffer), size);
  if (call.injectedFailure() || !call.checkSession(session)) return call.result<int32_t>(0);
  if (!key) {
    call.refuse(Rule::InvalidArgument, ZERIN_ERROR_INVALID_ARGUMENT, "the key is null");
    return call.result<int32_t>(0);
  }
  auto& state = call.state();
  const auto found = state.config.find(key);
  const int32_t needed = found != state.config.end() ? ZerinSim::copyOut(found->second, buffer, size) : 0;
  // A queued change lands after the call: the next call sees the new value.
  auto queued = state.queuedConfig.find(key);
  if (queued != state.queuedConfig.end() && !queued->second.empty()) {
    if (queued->second.front()) state.config[key] = *queued->second.front();
    else state.config.erase(key);
    queued->second.pop_front();
  }
  return call.result(needed);
}

}  // extern "C"
