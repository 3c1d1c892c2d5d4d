#pragma once
// The simulated devices: what they are, how they move and what their properties say. Pure
// functions of the device index and the time; the mutable state lives in sim_state.h.
#include <cstdint>
#include <string>

#include "openvr/openvr_api.h"

namespace ZerinSim {

constexpr uint32_t kConnectedDeviceCount = 4;  // indices 0 to 3
constexpr uint32_t kLeftControllerIndex = 1;
constexpr uint32_t kRightControllerIndex = 2;
constexpr uint32_t kTrackerIndex = 3;
constexpr float kHalfIpd = 0.032f;              // eyes 64 mm apart
constexpr float kDefaultSeatedHeight = 1.2f;    // seated zero pose above the standing floor

struct DeviceDescription {
  vr::ETrackedDeviceClass deviceClass;
  vr::ETrackedControllerRole role;
  const char* modelNumber;
  const char* serialNumber;
};

// Null for an empty or out-of-range index.
const DeviceDescription* describeDevice(uint32_t index);
bool hasButtons(uint32_t index);

// ---- rigid transforms ----
vr::HmdMatrix34_t identityMatrix();
vr::HmdMatrix34_t translationMatrix(float x, float y, float z);
vr::HmdMatrix34_t yawMatrix(float yaw, float x, float y, float z);  // rotation about +Y, then translation
vr::HmdMatrix34_t multiply(const vr::HmdMatrix34_t& a, const vr::HmdMatrix34_t& b);
vr::HmdMatrix34_t rigidInverse(const vr::HmdMatrix34_t& m);
vr::HmdVector3_t rotate(const vr::HmdMatrix34_t& m, const vr::HmdVector3_t& v);
// `transform` applied to a pose: its matrix on the left, velocities rotated.
vr::TrackedDevicePose_t transformPose(const vr::HmdMatrix34_t& transform, const vr::TrackedDevicePose_t& pose);

// The pose in the standing universe at `seconds` on the simulated clock; an empty slot gives a
// disconnected, invalid pose with a zero matrix.
vr::TrackedDevicePose_t standingPose(uint32_t index, double seconds);
// The raw tracking space seen from the standing one (a fixed calibration offset).
vr::HmdMatrix34_t rawZeroPoseToStanding();
vr::HmdMatrix34_t eyeToHead(vr::EVREye eye);

// Axes of a controller at `seconds`: a circling thumb on the trackpad and a pulsing trigger.
void controllerAxes(uint32_t index, double seconds, vr::VRControllerAxis_t (&axes)[vr::k_unControllerStateAxisCount]);

// ---- properties ----
enum class PropertyType { Bool, Float, Int32, Uint64, Matrix34, String };

struct PropertyValue {
  bool boolValue = false;
  float floatValue = 0.0f;
  int32_t int32Value = 0;
  uint64_t uint64Value = 0;
  vr::HmdMatrix34_t matrixValue{};
  std::string stringValue;
};

// The value of `property` of device `index` read as `wanted`, or the error OpenVR reports.
vr::ETrackedPropertyError readProperty(uint32_t index, vr::ETrackedDeviceProperty property, PropertyType wanted,
                                       PropertyValue& value);

// ---- names ----
const char* propertyErrorName(vr::ETrackedPropertyError error);
const char* eventTypeName(vr::EVREventType type);
const char* buttonIdName(vr::EVRButtonId id);
const char* axisTypeName(vr::EVRControllerAxisType type);

}  // namespace ZerinSim
