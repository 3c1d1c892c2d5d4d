#include "openvr/simulated_system.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "openvr/sim_state.h"

namespace ZerinSim {

namespace {

using Lock = std::lock_guard<std::mutex>;
constexpr double kFrameRate = 90.0;

template <typename... Args>
void record(SimState& state, const char* name, uint64_t result, Args... arguments) {
  recordCallLocked(state, name, {encodeArgument(arguments)...}, result);
}

// A device's pose in `origin` at `seconds`; empty slots stay empty in every universe.
vr::TrackedDevicePose_t poseIn(const SimState& state, vr::ETrackingUniverseOrigin origin, uint32_t index,
                               double seconds) {
  const vr::TrackedDevicePose_t standing = standingPose(index, seconds);
  if (!standing.bDeviceIsConnected) return standing;
  switch (origin) {
    case vr::TrackingUniverseSeated: return transformPose(rigidInverse(state.seatedZeroPose), standing);
    case vr::TrackingUniverseRawAndUncalibrated: return transformPose(rigidInverse(rawZeroPoseToStanding()), standing);
    default: return standing;
  }
}

void setError(vr::ETrackedPropertyError* error, vr::ETrackedPropertyError value) {
  if (error) *error = value;
}

template <typename T>
T readScalar(SimState& state, const char* name, uint32_t device, vr::ETrackedDeviceProperty prop,
             vr::ETrackedPropertyError* error, PropertyType type, T PropertyValue::*member) {
  Lock lock(state.mutex);
  PropertyValue value;
  const vr::ETrackedPropertyError result = readProperty(device, prop, type, value);
  setError(error, result);
  const T answer = result == vr::TrackedProp_Success ? value.*member : T{};
  record(state, name, encodeArgument(answer), device, prop, error);
  return answer;
}

bool fillControllerState(const SimState& state, uint32_t device, vr::VRControllerState001_t* out, double seconds) {
  if (!describeDevice(device)) return false;
  vr::VRControllerState001_t controller{};
  if (hasButtons(device)) {
    const ButtonState& buttons = state.buttons[device];
    controller.unPacketNum = buttons.changes + static_cast<uint32_t>(seconds * kFrameRate);
    controller.ulButtonPressed = buttons.pressed;
    controller.ulButtonTouched = buttons.touched;
    controllerAxes(device, seconds, controller.rAxis);
  }
  *out = controller;
  return true;
}

bool popEvent(SimState& state, vr::VREvent_t* event, uint32_t eventSize, vr::TrackedDevicePose_t* pose,
              vr::ETrackingUniverseOrigin origin) {
  if (!event || eventSize != sizeof(vr::VREvent_t) || state.events.empty()) return false;
  const double now = state.now();
  const QueuedEvent queued = state.events.front();
  state.events.pop_front();
  *event = queued.event;
  event->eventAgeSeconds = static_cast<float>(now - queued.queuedAt);
  if (pose) *pose = poseIn(state, origin, queued.event.trackedDeviceIndex, now);
  return true;
}

}  // namespace

SimulatedSystem& simulatedSystem() {
  static SimulatedSystem system;
  return system;
}

void SimulatedSystem::GetRecommendedRenderTargetSize(uint32_t* width, uint32_t* height) {
  SimState& state = simState();
  Lock lock(state.mutex);
  if (width) *width = 1440;
  if (height) *height = 1600;
  record(state, "GetRecommendedRenderTargetSize", 0, width, height);
}

vr::HmdMatrix44_t SimulatedSystem::projectionMatrix(vr::EVREye eye, float nearZ, float farZ) {
  SimState& state = simState();
  Lock lock(state.mutex);
  vr::HmdMatrix44_t m{};
  m.m[0][0] = 1.0f;
  m.m[1][1] = 1.0f;
  m.m[2][2] = farZ / (nearZ - farZ);
  m.m[2][3] = farZ * nearZ / (nearZ - farZ);
  m.m[3][2] = -1.0f;
  record(state, "GetProjectionMatrix", 0, eye, nearZ, farZ);
  return m;
}

void SimulatedSystem::GetProjectionRaw(vr::EVREye eye, float* left, float* right, float* top, float* bottom) {
  SimState& state = simState();
  Lock lock(state.mutex);
  if (left) *left = -1.0f;
  if (right) *right = 1.0f;
  if (top) *top = -1.0f;
  if (bottom) *bottom = 1.0f;
  record(state, "GetProjectionRaw", 0, eye, left, right, top, bottom);
}

bool SimulatedSystem::ComputeDistortion(vr::EVREye eye, float u, float v, vr::DistortionCoordinates_t* out) {
  SimState& state = simState();
  Lock lock(state.mutex);
  if (out) *out = {{u, v}, {u, v}, {u, v}};
  record(state, "ComputeDistortion", out != nullptr, eye, u, v, out);
  return out != nullptr;
}

vr::HmdMatrix34_t SimulatedSystem::eyeToHeadTransform(vr::EVREye eye) {
  SimState& state = simState();
  Lock lock(state.mutex);
  record(state, "GetEyeToHeadTransform", 0, eye);
  return eyeToHead(eye);
}

bool SimulatedSystem::GetTimeSinceLastVsync(float* secondsSinceLastVsync, uint64_t* frameCounter) {
  SimState& state = simState();
  Lock lock(state.mutex);
  const double frames = state.now() * kFrameRate;
  if (secondsSinceLastVsync) *secondsSinceLastVsync = static_cast<float>((frames - std::floor(frames)) / kFrameRate);
  if (frameCounter) *frameCounter = static_cast<uint64_t>(frames);
  record(state, "GetTimeSinceLastVsync", 1, secondsSinceLastVsync, frameCounter);
  return true;
}

int32_t SimulatedSystem::GetD3D9AdapterIndex() {
  SimState& state = simState();
  Lock lock(state.mutex);
  record(state, "GetD3D9AdapterIndex", 0);
  return 0;
}

void SimulatedSystem::GetDXGIOutputInfo(int32_t* adapterIndex) {
  SimState& state = simState();
  Lock lock(state.mutex);
  if (adapterIndex) *adapterIndex = 0;
  record(state, "GetDXGIOutputInfo", 0, adapterIndex);
}

void SimulatedSystem::GetOutputDevice(uint64_t* device, vr::ETextureType textureType, vr::VkInstance_T* instance) {
  SimState& state = simState();
  Lock lock(state.mutex);
  if (device) *device = 0;
  record(state, "GetOutputDevice", 0, device, textureType, instance);
}

bool SimulatedSystem::IsDisplayOnDesktop() {
  SimState& state = simState();
  Lock lock(state.mutex);
  record(state, "IsDisplayOnDesktop", 0);
  return false;
}

bool SimulatedSystem::SetDisplayVisibility(bool visibleOnDesktop) {
  SimState& state = simState();
  Lock lock(state.mutex);
  record(state, "SetDisplayVisibility", 0, visibleOnDesktop);
  return false;
}

void SimulatedSystem::GetDeviceToAbsoluteTrackingPose(vr::ETrackingUniverseOrigin origin,
                                                      float predictedSecondsToPhotonsFromNow,
                                                      vr::TrackedDevicePose_t* poses, uint32_t poseCount) {
  SimState& state = simState();
  Lock lock(state.mutex);
  const double at = state.now() + predictedSecondsToPhotonsFromNow;
  if (poses) {
    const uint32_t count = std::min(poseCount, vr::k_unMaxTrackedDeviceCount);
    for (uint32_t index = 0; index < count; ++index) poses[index] = poseIn(state, origin, index, at);
  }
  record(state, "GetDeviceToAbsoluteTrackingPose", 0, origin, predictedSecondsToPhotonsFromNow, poses, poseCount);
}

void SimulatedSystem::ResetSeatedZeroPose() {
  SimState& state = simState();
  Lock lock(state.mutex);
  state.seatedZeroPose = standingPose(vr::k_unTrackedDeviceIndex_Hmd, state.now()).mDeviceToAbsoluteTracking;
  record(state, "ResetSeatedZeroPose", 0);
}

vr::HmdMatrix34_t SimulatedSystem::seatedZeroPoseToStanding() {
  SimState& state = simState();
  Lock lock(state.mutex);
  record(state, "GetSeatedZeroPoseToStandingAbsoluteTrackingPose", 0);
  return state.seatedZeroPose;
}

vr::HmdMatrix34_t SimulatedSystem::rawZeroPoseToStandingPose() {
  SimState& state = simState();
  Lock lock(state.mutex);
  record(state, "GetRawZeroPoseToStandingAbsoluteTrackingPose", 0);
  return rawZeroPoseToStanding();
}

uint32_t SimulatedSystem::GetSortedTrackedDeviceIndicesOfClass(vr::ETrackedDeviceClass deviceClass,
                                                               vr::TrackedDeviceIndex_t* indices, uint32_t indexCount,
                                                               vr::TrackedDeviceIndex_t relativeToIndex) {
  SimState& state = simState();
  Lock lock(state.mutex);
  const double now = state.now();
  // Right to left as seen from the reference device; from the standing origin when it is absent.
  vr::HmdMatrix34_t view = identityMatrix();
  if (describeDevice(relativeToIndex))
    view = rigidInverse(standingPose(relativeToIndex, now).mDeviceToAbsoluteTracking);
  std::vector<std::pair<float, uint32_t>> found;
  for (uint32_t index = 0; index < kConnectedDeviceCount; ++index) {
    if (describeDevice(index)->deviceClass != deviceClass) continue;
    const vr::HmdMatrix34_t seen = multiply(view, standingPose(index, now).mDeviceToAbsoluteTracking);
    found.emplace_back(seen.m[0][3], index);
  }
  std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  const auto count = static_cast<uint32_t>(found.size());
  if (indices)
    for (uint32_t i = 0; i < std::min(count, indexCount); ++i) indices[i] = found[i].second;
  record(state, "GetSortedTrackedDeviceIndicesOfClass", count, deviceClass, indices, indexCount, relativeToIndex);
  return count;
}

vr::EDeviceActivityLevel SimulatedSystem::GetTrackedDeviceActivityLevel(vr::TrackedDeviceIndex_t device) {
  SimState& state = simState();
  Lock lock(state.mutex);
  vr::EDeviceActivityLevel level = vr::k_EDeviceActivityLevel_Unknown;
  if (device == kTrackerIndex)
    level = vr::k_EDeviceActivityLevel_Idle;
  else if (describeDevice(device))
    level = vr::k_EDeviceActivityLevel_UserInteraction;
  record(state, "GetTrackedDeviceActivityLevel", encodeArgument(level), device);
  return level;
}

void SimulatedSystem::ApplyTransform(vr::TrackedDevicePose_t* outputPose, const vr::TrackedDevicePose_t* trackedDevicePose,
                                     const vr::HmdMatrix34_t* transform) {
  SimState& state = simState();
  Lock lock(state.mutex);
  if (outputPose && trackedDevicePose && transform) *outputPose = transformPose(*transform, *trackedDevicePose);
  record(state, "ApplyTransform", 0, outputPose, trackedDevicePose, transform);
}

vr::TrackedDeviceIndex_t SimulatedSystem::GetTrackedDeviceIndexForControllerRole(vr::ETrackedControllerRole role) {
  SimState& state = simState();
  Lock lock(state.mutex);
  vr::TrackedDeviceIndex_t index = vr::k_unTrackedDeviceIndexInvalid;
  if (role == vr::TrackedControllerRole_LeftHand) index = kLeftControllerIndex;
  if (role == vr::TrackedControllerRole_RightHand) index = kRightControllerIndex;
  record(state, "GetTrackedDeviceIndexForControllerRole", index, role);
  return index;
}

vr::ETrackedControllerRole SimulatedSystem::GetControllerRoleForTrackedDeviceIndex(vr::TrackedDeviceIndex_t device) {
  SimState& state = simState();
  Lock lock(state.mutex);
  const DeviceDescription* description = describeDevice(device);
  const vr::ETrackedControllerRole role = description ? description->role : vr::TrackedControllerRole_Invalid;
  record(state, "GetControllerRoleForTrackedDeviceIndex", encodeArgument(role), device);
  return role;
}

vr::ETrackedDeviceClass SimulatedSystem::GetTrackedDeviceClass(vr::TrackedDeviceIndex_t device) {
  SimState& state = simState();
  Lock lock(state.mutex);
  const DeviceDescription* description = describeDevice(device);
  const vr::ETrackedDeviceClass deviceClass = description ? description->deviceClass : vr::TrackedDeviceClass_Invalid;
  record(state, "GetTrackedDeviceClass", encodeArgument(deviceClass), device);
  return deviceClass;
}

bool SimulatedSystem::IsTrackedDeviceConnected(vr::TrackedDeviceIndex_t device) {
  SimState& state = simState();
  Lock lock(state.mutex);
  const bool connected = describeDevice(device) != nullptr;
  record(state, "IsTrackedDeviceConnected", connected, device);
  return connected;
}

bool SimulatedSystem::GetBoolTrackedDeviceProperty(vr::TrackedDeviceIndex_t device, vr::ETrackedDeviceProperty prop,
                                                   vr::ETrackedPropertyError* error) {
  return readScalar(simState(), "GetBoolTrackedDeviceProperty", device, prop, error, PropertyType::Bool,
                    &PropertyValue::boolValue);
}

float SimulatedSystem::GetFloatTrackedDeviceProperty(vr::TrackedDeviceIndex_t device, vr::ETrackedDeviceProperty prop,
                                                     vr::ETrackedPropertyError* error) {
  return readScalar(simState(), "GetFloatTrackedDeviceProperty", device, prop, error, PropertyType::Float,
                    &PropertyValue::floatValue);
}

int32_t SimulatedSystem::GetInt32TrackedDeviceProperty(vr::TrackedDeviceIndex_t device, vr::ETrackedDeviceProperty prop,
                                                       vr::ETrackedPropertyError* error) {
  return readScalar(simState(), "GetInt32TrackedDeviceProperty", device, prop, error, PropertyType::Int32,
                    &PropertyValue::int32Value);
}

uint64_t SimulatedSystem::GetUint64TrackedDeviceProperty(vr::TrackedDeviceIndex_t device,
                                                         vr::ETrackedDeviceProperty prop,
                                                         vr::ETrackedPropertyError* error) {
  return readScalar(simState(), "GetUint64TrackedDeviceProperty", device, prop, error, PropertyType::Uint64,
                    &PropertyValue::uint64Value);
}

vr::HmdMatrix34_t SimulatedSystem::matrix34Property(vr::TrackedDeviceIndex_t device, vr::ETrackedDeviceProperty prop,
                                                    vr::ETrackedPropertyError* error) {
  SimState& state = simState();
  Lock lock(state.mutex);
  PropertyValue value;
  const vr::ETrackedPropertyError result = readProperty(device, prop, PropertyType::Matrix34, value);
  setError(error, result);
  record(state, "GetMatrix34TrackedDeviceProperty", 0, device, prop, error);
  return result == vr::TrackedProp_Success ? value.matrixValue : vr::HmdMatrix34_t{};
}

uint32_t SimulatedSystem::GetStringTrackedDeviceProperty(vr::TrackedDeviceIndex_t device,
                                                         vr::ETrackedDeviceProperty prop, char* value,
                                                         uint32_t bufferSize, vr::ETrackedPropertyError* error) {
  SimState& state = simState();
  Lock lock(state.mutex);
  PropertyValue property;
  vr::ETrackedPropertyError result = readProperty(device, prop, PropertyType::String, property);
  uint32_t needed = 0;
  if (result == vr::TrackedProp_Success) {
    // The size with the terminator; a buffer too small for it is left as it was.
    needed = static_cast<uint32_t>(property.stringValue.size() + 1);
    if (!value || bufferSize < needed)
      result = vr::TrackedProp_BufferTooSmall;
    else
      std::memcpy(value, property.stringValue.c_str(), needed);
  }
  setError(error, result);
  record(state, "GetStringTrackedDeviceProperty", needed, device, prop, value, bufferSize, error);
  return needed;
}

const char* SimulatedSystem::GetPropErrorNameFromEnum(vr::ETrackedPropertyError error) {
  SimState& state = simState();
  Lock lock(state.mutex);
  const char* name = propertyErrorName(error);
  record(state, "GetPropErrorNameFromEnum", encodeArgument(name), error);
  return name;
}

bool SimulatedSystem::PollNextEvent(vr::VREvent_t* event, uint32_t eventSize) {
  SimState& state = simState();
  Lock lock(state.mutex);
  const bool polled = popEvent(state, event, eventSize, nullptr, vr::TrackingUniverseStanding);
  record(state, "PollNextEvent", polled, event, eventSize);
  return polled;
}

bool SimulatedSystem::PollNextEventWithPose(vr::ETrackingUniverseOrigin origin, vr::VREvent_t* event,
                                            uint32_t eventSize, vr::TrackedDevicePose_t* pose) {
  SimState& state = simState();
  Lock lock(state.mutex);
  const bool polled = popEvent(state, event, eventSize, pose, origin);
  record(state, "PollNextEventWithPose", polled, origin, event, eventSize, pose);
  return polled;
}

const char* SimulatedSystem::GetEventTypeNameFromEnum(vr::EVREventType type) {
  SimState& state = simState();
  Lock lock(state.mutex);
  const char* name = eventTypeName(type);
  record(state, "GetEventTypeNameFromEnum", encodeArgument(name), type);
  return name;
}

vr::HiddenAreaMesh_t SimulatedSystem::hiddenAreaMesh(vr::EVREye eye, vr::EHiddenAreaMeshType type) {
  SimState& state = simState();
  Lock lock(state.mutex);
  record(state, "GetHiddenAreaMesh", 0, eye, type);
  return vr::HiddenAreaMesh_t{nullptr, 0};
}

bool SimulatedSystem::GetControllerState(vr::TrackedDeviceIndex_t device, vr::VRControllerState001_t* state,
                                         uint32_t stateSize) {
  SimState& sim = simState();
  Lock lock(sim.mutex);
  const bool filled = state && stateSize == sizeof(vr::VRControllerState001_t) &&
                      fillControllerState(sim, device, state, sim.now());
  record(sim, "GetControllerState", filled, device, state, stateSize);
  return filled;
}

bool SimulatedSystem::GetControllerStateWithPose(vr::ETrackingUniverseOrigin origin, vr::TrackedDeviceIndex_t device,
                                                 vr::VRControllerState001_t* state, uint32_t stateSize,
                                                 vr::TrackedDevicePose_t* pose) {
  SimState& sim = simState();
  Lock lock(sim.mutex);
  const double now = sim.now();
  const bool filled =
      state && stateSize == sizeof(vr::VRControllerState001_t) && fillControllerState(sim, device, state, now);
  if (filled && pose) *pose = poseIn(sim, origin, device, now);
  record(sim, "GetControllerStateWithPose", filled, origin, device, state, stateSize, pose);
  return filled;
}

void SimulatedSystem::TriggerHapticPulse(vr::TrackedDeviceIndex_t device, uint32_t axisId,
                                         unsigned short durationMicroseconds) {
  SimState& state = simState();
  Lock lock(state.mutex);
  const DeviceDescription* description = describeDevice(device);
  // Only the controllers have an actuator, on one of their five axes.
  if (description && description->deviceClass == vr::TrackedDeviceClass_Controller &&
      axisId < vr::k_unControllerStateAxisCount)
    state.pulses.push_back({device, axisId, durationMicroseconds, state.now()});
  record(state, "TriggerHapticPulse", 0, device, axisId, durationMicroseconds);
}

const char* SimulatedSystem::GetButtonIdNameFromEnum(vr::EVRButtonId id) {
  SimState& state = simState();
  Lock lock(state.mutex);
  const char* name = buttonIdName(id);
  record(state, "GetButtonIdNameFromEnum", encodeArgument(name), id);
  return name;
}

const char* SimulatedSystem::GetControllerAxisTypeNameFromEnum(vr::EVRControllerAxisType type) {
  SimState& state = simState();
  Lock lock(state.mutex);
  const char* name = axisTypeName(type);
  record(state, "GetControllerAxisTypeNameFromEnum", encodeArgument(name), type);
  return name;
}

#if ZERIN_VR_RESULT_POINTER_SLOTS
vr::HmdMatrix44_t* SimulatedSystem::GetProjectionMatrix(vr::HmdMatrix44_t* result, vr::EVREye eye, float nearZ,
                                                        float farZ) {
  *result = projectionMatrix(eye, nearZ, farZ);
  return result;
}
vr::HmdMatrix34_t* SimulatedSystem::GetEyeToHeadTransform(vr::HmdMatrix34_t* result, vr::EVREye eye) {
  *result = eyeToHeadTransform(eye);
  return result;
}
vr::HmdMatrix34_t* SimulatedSystem::GetSeatedZeroPoseToStandingAbsoluteTrackingPose(vr::HmdMatrix34_t* result) {
  *result = seatedZeroPoseToStanding();
  return result;
}
vr::HmdMatrix34_t* SimulatedSystem::GetRawZeroPoseToStandingAbsoluteTrackingPose(vr::HmdMatrix34_t* result) {
  *result = rawZeroPoseToStandingPose();
  return result;
}
vr::HmdMatrix34_t* SimulatedSystem::GetMatrix34TrackedDeviceProperty(vr::HmdMatrix34_t* result,
                                                                     vr::TrackedDeviceIndex_t device,
                                                                     vr::ETrackedDeviceProperty prop,
                                                                     vr::ETrackedPropertyError* error) {
  *result = matrix34Property(device, prop, error);
  return result;
}
vr::HiddenAreaMesh_t* SimulatedSystem::GetHiddenAreaMesh(vr::HiddenAreaMesh_t* result, vr::EVREye eye,
                                                         vr::EHiddenAreaMeshType type) {
  *result = hiddenAreaMesh(eye, type);
  return result;
}
#else
vr::HmdMatrix44_t SimulatedSystem::GetProjectionMatrix(vr::EVREye eye, float nearZ, float farZ) {
  return projectionMatrix(eye, nearZ, farZ);
}
vr::HmdMatrix34_t SimulatedSystem::GetEyeToHeadTransform(vr::EVREye eye) { return eyeToHeadTransform(eye); }
vr::HmdMatrix34_t SimulatedSystem::GetSeatedZeroPoseToStandingAbsoluteTrackingPose() {
  return seatedZeroPoseToStanding();
}
vr::HmdMatrix34_t SimulatedSystem::GetRawZeroPoseToStandingAbsoluteTrackingPose() {
  return rawZeroPoseToStandingPose();
}
vr::HmdMatrix34_t SimulatedSystem::GetMatrix34TrackedDeviceProperty(vr::TrackedDeviceIndex_t device,
                                                                    vr::ETrackedDeviceProperty prop,
                                                                    vr::ETrackedPropertyError* error) {
  return matrix34Property(device, prop, error);
}
vr::HiddenAreaMesh_t SimulatedSystem::GetHiddenAreaMesh(vr::EVREye eye, vr::EHiddenAreaMeshType type) {
  return hiddenAreaMesh(eye, type);
}
#endif

}  // namespace ZerinSim
