#pragma once
// What ZerinTrackerLink exports: OpenVR initialised as a background application and thin
// forwards to its system interface. Every forward returns a fixed default and touches none of
// its outputs while OpenVR is not initialised.
#include <stdint.h>

#include "logging/log_line_callback.h"
#include "openvr/openvr_api.h"
#include "platform/export.h"

namespace Zerin::openVR {

ZERIN_EXPORT bool init();
ZERIN_EXPORT void shutdown();
ZERIN_EXPORT bool isIVRSystemValid();
// The library's log lines (level, tag, message) on the thread that logged them, which is always
// the one calling the export that logs: the library starts no thread. Null removes it; once it
// returns, the callback it replaced is not running and never runs again.
ZERIN_EXPORT void SetLogLineCallback(LogLineCallback callback);
// The 64-bit mask of a button (identifiers wrap at 64); 0 while OpenVR is not initialised.
ZERIN_EXPORT uint64_t ButtonMaskFromId(vr::EVRButtonId id);

ZERIN_EXPORT void GetDeviceToAbsoluteTrackingPose(vr::ETrackingUniverseOrigin origin, float predictedSecondsToPhotonsFromNow,
                                                  vr::TrackedDevicePose_t* poses, uint32_t poseCount);
ZERIN_EXPORT void ResetSeatedZeroPose();
ZERIN_EXPORT vr::HmdMatrix34_t GetEyeToHeadTransform(vr::EVREye eye);
ZERIN_EXPORT vr::HmdMatrix34_t GetSeatedZeroPoseToStandingAbsoluteTrackingPose();
ZERIN_EXPORT uint32_t GetSortedTrackedDeviceIndicesOfClass(vr::ETrackedDeviceClass deviceClass, uint32_t* indices,
                                                           uint32_t indexCount, uint32_t relativeToIndex);
ZERIN_EXPORT vr::EDeviceActivityLevel GetTrackedDeviceActivityLevel(uint32_t deviceIndex);
ZERIN_EXPORT void ApplyTransform(vr::TrackedDevicePose_t* outputPose, const vr::TrackedDevicePose_t* trackedDevicePose,
                                 const vr::HmdMatrix34_t* transform);
ZERIN_EXPORT uint32_t GetTrackedDeviceIndexForControllerRole(vr::ETrackedControllerRole role);
ZERIN_EXPORT vr::ETrackedControllerRole GetControllerRoleForTrackedDeviceIndex(uint32_t deviceIndex);
ZERIN_EXPORT vr::ETrackedDeviceClass GetTrackedDeviceClass(uint32_t deviceIndex);
ZERIN_EXPORT bool IsTrackedDeviceConnected(uint32_t deviceIndex);
ZERIN_EXPORT bool GetBoolTrackedDeviceProperty(uint32_t deviceIndex, vr::ETrackedDeviceProperty property,
                                               vr::ETrackedPropertyError* error);
ZERIN_EXPORT float GetFloatTrackedDeviceProperty(uint32_t deviceIndex, vr::ETrackedDeviceProperty property,
                                                 vr::ETrackedPropertyError* error);
ZERIN_EXPORT int32_t GetInt32TrackedDeviceProperty(uint32_t deviceIndex, vr::ETrackedDeviceProperty property,
                                                   vr::ETrackedPropertyError* error);
ZERIN_EXPORT uint64_t GetUint64TrackedDeviceProperty(uint32_t deviceIndex, vr::ETrackedDeviceProperty property,
                                                     vr::ETrackedPropertyError* error);
ZERIN_EXPORT vr::HmdMatrix34_t GetMatrix34TrackedDeviceProperty(uint32_t deviceIndex, vr::ETrackedDeviceProperty property,
                                                                vr::ETrackedPropertyError* error);
ZERIN_EXPORT uint32_t GetStringTrackedDeviceProperty(uint32_t deviceIndex, vr::ETrackedDeviceProperty property,
                                                     char* buffer, uint32_t bufferSize, vr::ETrackedPropertyError* error);
ZERIN_EXPORT const char* GetPropErrorNameFromEnum(vr::ETrackedPropertyError error);
ZERIN_EXPORT bool PollNextEvent(vr::VREvent_t* event, uint32_t eventSize);
ZERIN_EXPORT bool PollNextEventWithPose(vr::ETrackingUniverseOrigin origin, vr::VREvent_t* event, uint32_t eventSize,
                                        vr::TrackedDevicePose_t* pose);
ZERIN_EXPORT const char* GetEventTypeNameFromEnum(vr::EVREventType type);
ZERIN_EXPORT bool GetControllerState(uint32_t deviceIndex, vr::VRControllerState001_t* state, uint32_t stateSize);
ZERIN_EXPORT bool GetControllerStateWithPose(vr::ETrackingUniverseOrigin origin, uint32_t deviceIndex,
                                             vr::VRControllerState001_t* state, uint32_t stateSize,
                                             vr::TrackedDevicePose_t* pose);
ZERIN_EXPORT void TriggerHapticPulse(uint32_t deviceIndex, uint32_t axisId, unsigned short durationMicroseconds);
ZERIN_EXPORT const char* GetButtonIdNameFromEnum(vr::EVRButtonId id);
ZERIN_EXPORT const char* GetControllerAxisTypeNameFromEnum(vr::EVRControllerAxisType type);

}  // namespace Zerin::openVR
