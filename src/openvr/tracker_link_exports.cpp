// The thirty-one exports of ZerinTrackerLink. The forwards pass their arguments on unchanged and
// never look at OpenVR's answers (error out-arguments included).
#include "logging/logger.h"
#include "openvr/system_lifecycle.h"
#include "zerin/tracker_link.h"

namespace Zerin::openVR {

namespace {
constexpr vr::HmdMatrix34_t kZeroMatrix{};
}  // namespace

bool init() { return initializeSystem(); }

void shutdown() { shutdownSystem(); }

bool isIVRSystemValid() { return currentSystem() != nullptr; }

void SetLogLineCallback(LogLineCallback callback) { setLogLineCallback(callback); }

uint64_t ButtonMaskFromId(vr::EVRButtonId id) {
  if (!currentSystem()) return 0;
  return uint64_t{1} << (static_cast<uint32_t>(id) & 63u);
}

void GetDeviceToAbsoluteTrackingPose(vr::ETrackingUniverseOrigin origin, float predictedSecondsToPhotonsFromNow,
                                     vr::TrackedDevicePose_t* poses, uint32_t poseCount) {
  if (auto* system = currentSystem())
    system->GetDeviceToAbsoluteTrackingPose(origin, predictedSecondsToPhotonsFromNow, poses, poseCount);
}

void ResetSeatedZeroPose() {
  if (auto* system = currentSystem()) system->ResetSeatedZeroPose();
}

vr::HmdMatrix34_t GetEyeToHeadTransform(vr::EVREye eye) {
  if (auto* system = currentSystem()) return system->GetEyeToHeadTransform(eye);
  return kZeroMatrix;
}

vr::HmdMatrix34_t GetSeatedZeroPoseToStandingAbsoluteTrackingPose() {
  if (auto* system = currentSystem()) return system->GetSeatedZeroPoseToStandingAbsoluteTrackingPose();
  return kZeroMatrix;
}

uint32_t GetSortedTrackedDeviceIndicesOfClass(vr::ETrackedDeviceClass deviceClass, uint32_t* indices,
                                              uint32_t indexCount, uint32_t relativeToIndex) {
  if (auto* system = currentSystem())
    return system->GetSortedTrackedDeviceIndicesOfClass(deviceClass, indices, indexCount, relativeToIndex);
  return 0;
}

vr::EDeviceActivityLevel GetTrackedDeviceActivityLevel(uint32_t deviceIndex) {
  if (auto* system = currentSystem()) return system->GetTrackedDeviceActivityLevel(deviceIndex);
  return vr::k_EDeviceActivityLevel_Unknown;
}

void ApplyTransform(vr::TrackedDevicePose_t* outputPose, const vr::TrackedDevicePose_t* trackedDevicePose,
                    const vr::HmdMatrix34_t* transform) {
  if (auto* system = currentSystem()) system->ApplyTransform(outputPose, trackedDevicePose, transform);
}

uint32_t GetTrackedDeviceIndexForControllerRole(vr::ETrackedControllerRole role) {
  if (auto* system = currentSystem()) return system->GetTrackedDeviceIndexForControllerRole(role);
  return 0;
}

vr::ETrackedControllerRole GetControllerRoleForTrackedDeviceIndex(uint32_t deviceIndex) {
  if (auto* system = currentSystem()) return system->GetControllerRoleForTrackedDeviceIndex(deviceIndex);
  return vr::TrackedControllerRole_Invalid;
}

vr::ETrackedDeviceClass GetTrackedDeviceClass(uint32_t deviceIndex) {
  if (auto* system = currentSystem()) return system->GetTrackedDeviceClass(deviceIndex);
  return vr::TrackedDeviceClass_Invalid;
}

bool IsTrackedDeviceConnected(uint32_t deviceIndex) {
  if (auto* system = currentSystem()) return system->IsTrackedDeviceConnected(deviceIndex);
  return false;
}

bool GetBoolTrackedDeviceProperty(uint32_t deviceIndex, vr::ETrackedDeviceProperty property,
                                  vr::ETrackedPropertyError* error) {
  if (auto* system = currentSystem()) return system->GetBoolTrackedDeviceProperty(deviceIndex, property, error);
  return false;
}

float GetFloatTrackedDeviceProperty(uint32_t deviceIndex, vr::ETrackedDeviceProperty property,
                                    vr::ETrackedPropertyError* error) {
  if (auto* system = currentSystem()) return system->GetFloatTrackedDeviceProperty(deviceIndex, property, error);
  return 0.0f;
}

int32_t GetInt32TrackedDeviceProperty(uint32_t deviceIndex, vr::ETrackedDeviceProperty property,
                                      vr::ETrackedPropertyError* error) {
  if (auto* system = currentSystem()) return system->GetInt32TrackedDeviceProperty(deviceIndex, property, error);
  return 0;
}

uint64_t GetUint64TrackedDeviceProperty(uint32_t deviceIndex, vr::ETrackedDeviceProperty property,
                                        vr::ETrackedPropertyError* error) {
  if (auto* system = currentSystem()) return system->GetUint64TrackedDeviceProperty(deviceIndex, property, error);
  return 0;
}

vr::HmdMatrix34_t GetMatrix34TrackedDeviceProperty(uint32_t deviceIndex, vr::ETrackedDeviceProperty property,
                                                   vr::ETrackedPropertyError* error) {
  if (auto* system = currentSystem()) return system->GetMatrix34TrackedDeviceProperty(deviceIndex, property, error);
  return kZeroMatrix;
}

uint32_t GetStringTrackedDeviceProperty(uint32_t deviceIndex, vr::ETrackedDeviceProperty property, char* buffer,
                                        uint32_t bufferSize, vr::ETrackedPropertyError* error) {
  if (auto* system = currentSystem())
    return system->GetStringTrackedDeviceProperty(deviceIndex, property, buffer, bufferSize, error);
  return 0;
}

const char* GetPropErrorNameFromEnum(vr::ETrackedPropertyError error) {
  if (auto* system = currentSystem()) return system->GetPropErrorNameFromEnum(error);
  return nullptr;
}

bool PollNextEvent(vr::VREvent_t* event, uint32_t eventSize) {
  if (auto* system = currentSystem()) return system->PollNextEvent(event, eventSize);
  return false;
}

bool PollNextEventWithPose(vr::ETrackingUniverseOrigin origin, vr::VREvent_t* event, uint32_t eventSize,
                           vr::TrackedDevicePose_t* pose) {
  if (auto* system = currentSystem()) return system->PollNextEventWithPose(origin, event, eventSize, pose);
  return false;
}

const char* GetEventTypeNameFromEnum(vr::EVREventType type) {
  if (auto* system = currentSystem()) return system->GetEventTypeNameFromEnum(type);
  return nullptr;
}

bool GetControllerState(uint32_t deviceIndex, vr::VRControllerState001_t* state, uint32_t stateSize) {
  if (auto* system = currentSystem()) return system->GetControllerState(deviceIndex, state, stateSize);
  return false;
}

bool GetControllerStateWithPose(vr::ETrackingUniverseOrigin origin, uint32_t deviceIndex,
                                vr::VRControllerState001_t* state, uint32_t stateSize, vr::TrackedDevicePose_t* pose) {
  if (auto* system = currentSystem())
    return system->GetControllerStateWithPose(origin, deviceIndex, state, stateSize, pose);
  return false;
}

void TriggerHapticPulse(uint32_t deviceIndex, uint32_t axisId, unsigned short durationMicroseconds) {
  if (auto* system = currentSystem()) system->TriggerHapticPulse(deviceIndex, axisId, durationMicroseconds);
}

const char* GetButtonIdNameFromEnum(vr::EVRButtonId id) {
  if (auto* system = currentSystem()) return system->GetButtonIdNameFromEnum(id);
  return nullptr;
}

const char* GetControllerAxisTypeNameFromEnum(vr::EVRControllerAxisType type) {
  if (auto* system = currentSystem()) return system->GetControllerAxisTypeNameFromEnum(type);
  return nullptr;
}

}  // namespace Zerin::openVR
