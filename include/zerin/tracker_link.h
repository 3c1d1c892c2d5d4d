// ZerinTrackerLink: OpenVR initialised as a background application and thin forwards to its
// system interface, as C++ functions in namespace Zerin::openVR (C++17). Every forward returns
// a fixed default and touches none of its outputs while OpenVR is not initialised. The library
// starts no thread: each function runs on its caller's. Strings it returns are OpenVR's.
//
// On Windows the library exports every function under its mingw (Itanium) name and under its
// MSVC name, both derived from this header. The OpenVR types (vr::) come from the OpenVR API's
// declarations, openvr/openvr_api.h.
#ifndef ZERIN_TRACKER_LINK_H
#define ZERIN_TRACKER_LINK_H

#include <stdint.h>

#include "openvr/openvr_api.h"
#include "zerin/log_line.h"

// The library's own build defines ZERIN_TRACKER_LINK_BUILD.
#if defined(_WIN32)
#if defined(ZERIN_TRACKER_LINK_BUILD)
#define ZERIN_TRACKER_LINK_API __declspec(dllexport)
#else
#define ZERIN_TRACKER_LINK_API __declspec(dllimport)
#endif
#else
#define ZERIN_TRACKER_LINK_API __attribute__((visibility("default")))
#endif

namespace Zerin::openVR {

using LogLineCallback = ZerinLogLineCallback;

ZERIN_TRACKER_LINK_API bool init();
ZERIN_TRACKER_LINK_API void shutdown();
ZERIN_TRACKER_LINK_API bool isIVRSystemValid();
// The library's log lines (level, tag, message) on the thread that logged them, which is always
// the one calling the export that logs: the library starts no thread. Null removes it; once it
// returns, the callback it replaced is not running and never runs again.
ZERIN_TRACKER_LINK_API void SetLogLineCallback(LogLineCallback callback);
// The 64-bit mask of a button (identifiers wrap at 64); 0 while OpenVR is not initialised.
ZERIN_TRACKER_LINK_API uint64_t ButtonMaskFromId(vr::EVRButtonId id);

ZERIN_TRACKER_LINK_API void GetDeviceToAbsoluteTrackingPose(vr::ETrackingUniverseOrigin origin,
                                                            float predictedSecondsToPhotonsFromNow,
                                                            vr::TrackedDevicePose_t* poses, uint32_t poseCount);
ZERIN_TRACKER_LINK_API void ResetSeatedZeroPose();
ZERIN_TRACKER_LINK_API vr::HmdMatrix34_t GetEyeToHeadTransform(vr::EVREye eye);
ZERIN_TRACKER_LINK_API vr::HmdMatrix34_t GetSeatedZeroPoseToStandingAbsoluteTrackingPose();
ZERIN_TRACKER_LINK_API uint32_t GetSortedTrackedDeviceIndicesOfClass(vr::ETrackedDeviceClass deviceClass,
                                                                     uint32_t* indices, uint32_t indexCount,
                                                                     uint32_t relativeToIndex);
ZERIN_TRACKER_LINK_API vr::EDeviceActivityLevel GetTrackedDeviceActivityLevel(uint32_t deviceIndex);
ZERIN_TRACKER_LINK_API void ApplyTransform(vr::TrackedDevicePose_t* outputPose,
                                           const vr::TrackedDevicePose_t* trackedDevicePose,
                                           const vr::HmdMatrix34_t* transform);
ZERIN_TRACKER_LINK_API uint32_t GetTrackedDeviceIndexForControllerRole(vr::ETrackedControllerRole role);
ZERIN_TRACKER_LINK_API vr::ETrackedControllerRole GetControllerRoleForTrackedDeviceIndex(uint32_t deviceIndex);
ZERIN_TRACKER_LINK_API vr::ETrackedDeviceClass GetTrackedDeviceClass(uint32_t deviceIndex);
ZERIN_TRACKER_LINK_API bool IsTrackedDeviceConnected(uint32_t deviceIndex);
ZERIN_TRACKER_LINK_API bool GetBoolTrackedDeviceProperty(uint32_t deviceIndex, vr::ETrackedDeviceProperty property,
                                                         vr::ETrackedPropertyError* error);
ZERIN_TRACKER_LINK_API float GetFloatTrackedDeviceProperty(uint32_t deviceIndex, vr::ETrackedDeviceProperty property,
                                                           vr::ETrackedPropertyError* error);
ZERIN_TRACKER_LINK_API int32_t GetInt32TrackedDeviceProperty(uint32_t deviceIndex, vr::ETrackedDeviceProperty property,
                                                             vr::ETrackedPropertyError* error);
ZERIN_TRACKER_LINK_API uint64_t GetUint64TrackedDeviceProperty(uint32_t deviceIndex,
                                                               vr::ETrackedDeviceProperty property,
                                                               vr::ETrackedPropertyError* error);
ZERIN_TRACKER_LINK_API vr::HmdMatrix34_t GetMatrix34TrackedDeviceProperty(uint32_t deviceIndex,
                                                                          vr::ETrackedDeviceProperty property,
                                                                          vr::ETrackedPropertyError* error);
ZERIN_TRACKER_LINK_API uint32_t GetStringTrackedDeviceProperty(uint32_t deviceIndex,
                                                               vr::ETrackedDeviceProperty property, char* buffer,
                                                               uint32_t bufferSize, vr::ETrackedPropertyError* error);
ZERIN_TRACKER_LINK_API const char* GetPropErrorNameFromEnum(vr::ETrackedPropertyError error);
ZERIN_TRACKER_LINK_API bool PollNextEvent(vr::VREvent_t* event, uint32_t eventSize);
ZERIN_TRACKER_LINK_API bool PollNextEventWithPose(vr::ETrackingUniverseOrigin origin, vr::VREvent_t* event,
                                                  uint32_t eventSize, vr::TrackedDevicePose_t* pose);
ZERIN_TRACKER_LINK_API const char* GetEventTypeNameFromEnum(vr::EVREventType type);
ZERIN_TRACKER_LINK_API bool GetControllerState(uint32_t deviceIndex, vr::VRControllerState001_t* state,
                                               uint32_t stateSize);
ZERIN_TRACKER_LINK_API bool GetControllerStateWithPose(vr::ETrackingUniverseOrigin origin, uint32_t deviceIndex,
                                                       vr::VRControllerState001_t* state, uint32_t stateSize,
                                                       vr::TrackedDevicePose_t* pose);
ZERIN_TRACKER_LINK_API void TriggerHapticPulse(uint32_t deviceIndex, uint32_t axisId,
                                               unsigned short durationMicroseconds);
ZERIN_TRACKER_LINK_API const char* GetButtonIdNameFromEnum(vr::EVRButtonId id);
ZERIN_TRACKER_LINK_API const char* GetControllerAxisTypeNameFromEnum(vr::EVRControllerAxisType type);

}  // namespace Zerin::openVR

#endif  // ZERIN_TRACKER_LINK_H
