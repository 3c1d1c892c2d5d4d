#include "openvr/device_model.h"

#include <cmath>

namespace ZerinSim {

namespace {

constexpr float kQuarterTurn = 1.5707963f;
constexpr float kHalfTurn = 3.1415927f;

const DeviceDescription kDevices[kConnectedDeviceCount] = {
    {vr::TrackedDeviceClass_HMD, vr::TrackedControllerRole_Invalid, "Zerin Simulated Headset", "ZSIM-HMD-0001"},
    {vr::TrackedDeviceClass_Controller, vr::TrackedControllerRole_LeftHand,
     "Zerin Simulated Motion Controller, left hand, revision 2 with trackpad and trigger", "ZSIM-CTL-L-0002"},
    {vr::TrackedDeviceClass_Controller, vr::TrackedControllerRole_RightHand,
     "Zerin Simulated Motion Controller, right hand, revision 2 with trackpad and trigger", "ZSIM-CTL-R-0003"},
    {vr::TrackedDeviceClass_GenericTracker, vr::TrackedControllerRole_Invalid, "Zerin Simulated Body Tracker",
     "ZSIM-TRK-0004"},
};

// Each coordinate swings on its own sine around a centre; the device turns about +Y the same way.
struct Motion {
  float center[3];
  float amplitude[3];
  float frequency[3];
  float phase[3];
  float yawAmplitude;
  float yawFrequency;
  float yawPhase;
};

const Motion kMotions[kConnectedDeviceCount] = {
    {{0.0f, 1.70f, 0.0f}, {0.10f, 0.02f, 0.05f}, {0.5f, 1.3f, 0.5f}, {0.0f, 0.0f, kQuarterTurn}, 0.3f, 0.25f, 0.0f},
    {{-0.25f, 1.10f, -0.35f}, {0.10f, 0.10f, 0.05f}, {1.0f, 1.0f, 0.7f}, {kQuarterTurn, 0.0f, 0.0f}, 0.2f, 0.9f, 0.0f},
    {{0.25f, 1.10f, -0.35f}, {0.10f, 0.10f, 0.05f}, {1.0f, 1.0f, 0.7f}, {-kQuarterTurn, kHalfTurn, 0.0f}, 0.2f, 0.9f,
     kHalfTurn},
    {{0.0f, 1.00f, 0.10f}, {0.0f, 0.03f, 0.0f}, {0.0f, 2.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, 0.1f, 0.3f, 0.0f},
};

struct PropertyKind {
  vr::ETrackedDeviceProperty property;
  PropertyType type;
};

const PropertyKind kPropertyKinds[] = {
    {vr::Prop_TrackingSystemName_String, PropertyType::String},
    {vr::Prop_ModelNumber_String, PropertyType::String},
    {vr::Prop_SerialNumber_String, PropertyType::String},
    {vr::Prop_ManufacturerName_String, PropertyType::String},
    {vr::Prop_DeviceIsWireless_Bool, PropertyType::Bool},
    {vr::Prop_DeviceIsCharging_Bool, PropertyType::Bool},
    {vr::Prop_DeviceBatteryPercentage_Float, PropertyType::Float},
    {vr::Prop_StatusDisplayTransform_Matrix34, PropertyType::Matrix34},
    {vr::Prop_HardwareRevision_Uint64, PropertyType::Uint64},
    {vr::Prop_DeviceClass_Int32, PropertyType::Int32},
    {vr::Prop_SupportedButtons_Uint64, PropertyType::Uint64},
    {vr::Prop_Axis0Type_Int32, PropertyType::Int32},
    {vr::Prop_ControllerRoleHint_Int32, PropertyType::Int32},
};

constexpr uint64_t bit(vr::EVRButtonId id) { return uint64_t{1} << id; }

bool isController(uint32_t index) { return index == kLeftControllerIndex || index == kRightControllerIndex; }

}  // namespace

const DeviceDescription* describeDevice(uint32_t index) {
  return index < kConnectedDeviceCount ? &kDevices[index] : nullptr;
}

bool hasButtons(uint32_t index) { return isController(index) || index == kTrackerIndex; }

vr::HmdMatrix34_t identityMatrix() { return translationMatrix(0.0f, 0.0f, 0.0f); }

vr::HmdMatrix34_t translationMatrix(float x, float y, float z) {
  vr::HmdMatrix34_t m{};
  m.m[0][0] = m.m[1][1] = m.m[2][2] = 1.0f;
  m.m[0][3] = x;
  m.m[1][3] = y;
  m.m[2][3] = z;
  return m;
}

vr::HmdMatrix34_t yawMatrix(float yaw, float x, float y, float z) {
  vr::HmdMatrix34_t m = translationMatrix(x, y, z);
  const float c = std::cos(yaw), s = std::sin(yaw);
  m.m[0][0] = c;
  m.m[0][2] = s;
  m.m[2][0] = -s;
  m.m[2][2] = c;
  return m;
}

vr::HmdMatrix34_t multiply(const vr::HmdMatrix34_t& a, const vr::HmdMatrix34_t& b) {
  vr::HmdMatrix34_t r{};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 4; ++j) {
      float sum = j == 3 ? a.m[i][3] : 0.0f;
      for (int k = 0; k < 3; ++k) sum += a.m[i][k] * b.m[k][j];
      r.m[i][j] = sum;
    }
  }
  return r;
}

vr::HmdMatrix34_t rigidInverse(const vr::HmdMatrix34_t& m) {
  vr::HmdMatrix34_t r{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r.m[i][j] = m.m[j][i];
  for (int i = 0; i < 3; ++i) r.m[i][3] = -(r.m[i][0] * m.m[0][3] + r.m[i][1] * m.m[1][3] + r.m[i][2] * m.m[2][3]);
  return r;
}

vr::HmdVector3_t rotate(const vr::HmdMatrix34_t& m, const vr::HmdVector3_t& v) {
  vr::HmdVector3_t r{};
  for (int i = 0; i < 3; ++i) r.v[i] = m.m[i][0] * v.v[0] + m.m[i][1] * v.v[1] + m.m[i][2] * v.v[2];
  return r;
}

vr::TrackedDevicePose_t transformPose(const vr::HmdMatrix34_t& transform, const vr::TrackedDevicePose_t& pose) {
  vr::TrackedDevicePose_t result = pose;
  result.mDeviceToAbsoluteTracking = multiply(transform, pose.mDeviceToAbsoluteTracking);
  result.vVelocity = rotate(transform, pose.vVelocity);
  result.vAngularVelocity = rotate(transform, pose.vAngularVelocity);
  return result;
}

vr::TrackedDevicePose_t standingPose(uint32_t index, double seconds) {
  vr::TrackedDevicePose_t pose{};
  if (index >= kConnectedDeviceCount) {
    pose.eTrackingResult = vr::TrackingResult_Uninitialized;
    return pose;
  }
  const Motion& motion = kMotions[index];
  float position[3];
  for (int i = 0; i < 3; ++i) {
    const double angle = motion.frequency[i] * seconds + motion.phase[i];
    position[i] = motion.center[i] + motion.amplitude[i] * static_cast<float>(std::sin(angle));
    pose.vVelocity.v[i] = motion.amplitude[i] * motion.frequency[i] * static_cast<float>(std::cos(angle));
  }
  const double yawAngle = motion.yawFrequency * seconds + motion.yawPhase;
  const float yaw = motion.yawAmplitude * static_cast<float>(std::sin(yawAngle));
  pose.vAngularVelocity.v[1] = motion.yawAmplitude * motion.yawFrequency * static_cast<float>(std::cos(yawAngle));
  pose.mDeviceToAbsoluteTracking = yawMatrix(yaw, position[0], position[1], position[2]);
  pose.eTrackingResult = vr::TrackingResult_Running_OK;
  pose.bPoseIsValid = true;
  pose.bDeviceIsConnected = true;
  return pose;
}

vr::HmdMatrix34_t rawZeroPoseToStanding() { return yawMatrix(0.5f, 0.4f, 0.0f, -0.3f); }

vr::HmdMatrix34_t eyeToHead(vr::EVREye eye) {
  vr::HmdMatrix34_t m = translationMatrix(eye == vr::Eye_Left ? -kHalfIpd : kHalfIpd, 0.0f, 0.015f);
  return m;
}

void controllerAxes(uint32_t index, double seconds, vr::VRControllerAxis_t (&axes)[vr::k_unControllerStateAxisCount]) {
  for (auto& axis : axes) axis = {0.0f, 0.0f};
  if (!isController(index)) return;
  const double phase = index == kLeftControllerIndex ? 0.0 : kHalfTurn;
  axes[0].x = 0.4f * static_cast<float>(std::sin(0.7 * seconds + phase));
  axes[0].y = 0.4f * static_cast<float>(std::cos(0.7 * seconds + phase));
  axes[1].x = 0.5f + 0.5f * static_cast<float>(std::sin(1.1 * seconds + phase));
}

vr::ETrackedPropertyError readProperty(uint32_t index, vr::ETrackedDeviceProperty property, PropertyType wanted,
                                       PropertyValue& value) {
  const DeviceDescription* device = describeDevice(index);
  if (!device) return vr::TrackedProp_InvalidDevice;
  const PropertyKind* kind = nullptr;
  for (const auto& candidate : kPropertyKinds)
    if (candidate.property == property) kind = &candidate;
  if (!kind) return vr::TrackedProp_UnknownProperty;
  if (kind->type != wanted) return vr::TrackedProp_WrongDataType;

  switch (property) {
    case vr::Prop_TrackingSystemName_String: value.stringValue = "zerin_sim"; break;
    case vr::Prop_ModelNumber_String: value.stringValue = device->modelNumber; break;
    case vr::Prop_SerialNumber_String: value.stringValue = device->serialNumber; break;
    case vr::Prop_ManufacturerName_String: value.stringValue = "Zerin Simulation Works"; break;
    case vr::Prop_DeviceIsWireless_Bool: value.boolValue = index != vr::k_unTrackedDeviceIndex_Hmd; break;
    case vr::Prop_DeviceIsCharging_Bool: value.boolValue = index == kLeftControllerIndex; break;
    case vr::Prop_DeviceBatteryPercentage_Float: {
      static const float kBattery[kConnectedDeviceCount] = {0.0f, 0.85f, 0.6f, 0.4f};
      if (index == vr::k_unTrackedDeviceIndex_Hmd) return vr::TrackedProp_ValueNotProvidedByDevice;
      value.floatValue = kBattery[index];
      break;
    }
    case vr::Prop_StatusDisplayTransform_Matrix34: {
      const float step = static_cast<float>(index + 1);
      value.matrixValue = yawMatrix(0.25f * step, 0.01f * step, 0.02f, -0.03f);
      break;
    }
    case vr::Prop_HardwareRevision_Uint64: value.uint64Value = 0x5A45000000000000ull + (index + 1) * 0x100000001ull; break;
    case vr::Prop_DeviceClass_Int32: value.int32Value = device->deviceClass; break;
    case vr::Prop_SupportedButtons_Uint64:
      if (isController(index)) {
        value.uint64Value = bit(vr::k_EButton_System) | bit(vr::k_EButton_ApplicationMenu) | bit(vr::k_EButton_Grip) |
                            bit(vr::k_EButton_Axis0) | bit(vr::k_EButton_Axis1);
      } else if (index == kTrackerIndex) {
        value.uint64Value = bit(vr::k_EButton_System);
      } else {
        value.uint64Value = bit(vr::k_EButton_System) | bit(vr::k_EButton_ProximitySensor);
      }
      break;
    case vr::Prop_Axis0Type_Int32:
      if (!isController(index)) return vr::TrackedProp_WrongDeviceClass;
      value.int32Value = vr::k_eControllerAxis_TrackPad;
      break;
    case vr::Prop_ControllerRoleHint_Int32:
      if (!isController(index)) return vr::TrackedProp_WrongDeviceClass;
      value.int32Value = device->role;
      break;
    default: return vr::TrackedProp_UnknownProperty;
  }
  return vr::TrackedProp_Success;
}

const char* propertyErrorName(vr::ETrackedPropertyError error) {
  switch (error) {
    case vr::TrackedProp_Success: return "TrackedProp_Success";
    case vr::TrackedProp_WrongDataType: return "TrackedProp_WrongDataType";
    case vr::TrackedProp_WrongDeviceClass: return "TrackedProp_WrongDeviceClass";
    case vr::TrackedProp_BufferTooSmall: return "TrackedProp_BufferTooSmall";
    case vr::TrackedProp_UnknownProperty: return "TrackedProp_UnknownProperty";
    case vr::TrackedProp_InvalidDevice: return "TrackedProp_InvalidDevice";
    case vr::TrackedProp_CouldNotContactServer: return "TrackedProp_CouldNotContactServer";
    case vr::TrackedProp_ValueNotProvidedByDevice: return "TrackedProp_ValueNotProvidedByDevice";
    case vr::TrackedProp_StringExceedsMaximumLength: return "TrackedProp_StringExceedsMaximumLength";
    case vr::TrackedProp_NotYetAvailable: return "TrackedProp_NotYetAvailable";
  }
  return "Unknown property error";
}

const char* eventTypeName(vr::EVREventType type) {
  switch (type) {
    case vr::VREvent_None: return "VREvent_None";
    case vr::VREvent_TrackedDeviceActivated: return "VREvent_TrackedDeviceActivated";
    case vr::VREvent_TrackedDeviceDeactivated: return "VREvent_TrackedDeviceDeactivated";
    case vr::VREvent_TrackedDeviceRoleChanged: return "VREvent_TrackedDeviceRoleChanged";
    case vr::VREvent_PropertyChanged: return "VREvent_PropertyChanged";
    case vr::VREvent_ButtonPress: return "VREvent_ButtonPress";
    case vr::VREvent_ButtonUnpress: return "VREvent_ButtonUnpress";
    case vr::VREvent_ButtonTouch: return "VREvent_ButtonTouch";
    case vr::VREvent_ButtonUntouch: return "VREvent_ButtonUntouch";
  }
  return "Unknown event type";
}

const char* buttonIdName(vr::EVRButtonId id) {
  switch (id) {
    case vr::k_EButton_System: return "k_EButton_System";
    case vr::k_EButton_ApplicationMenu: return "k_EButton_ApplicationMenu";
    case vr::k_EButton_Grip: return "k_EButton_Grip";
    case vr::k_EButton_DPad_Left: return "k_EButton_DPad_Left";
    case vr::k_EButton_DPad_Up: return "k_EButton_DPad_Up";
    case vr::k_EButton_DPad_Right: return "k_EButton_DPad_Right";
    case vr::k_EButton_DPad_Down: return "k_EButton_DPad_Down";
    case vr::k_EButton_A: return "k_EButton_A";
    case vr::k_EButton_ProximitySensor: return "k_EButton_ProximitySensor";
    case vr::k_EButton_Axis0: return "k_EButton_Axis0";
    case vr::k_EButton_Axis1: return "k_EButton_Axis1";
    case vr::k_EButton_Axis2: return "k_EButton_Axis2";
    case vr::k_EButton_Axis3: return "k_EButton_Axis3";
    case vr::k_EButton_Axis4: return "k_EButton_Axis4";
    default: return "Unknown EVRButtonId";
  }
}

const char* axisTypeName(vr::EVRControllerAxisType type) {
  switch (type) {
    case vr::k_eControllerAxis_None: return "k_eControllerAxis_None";
    case vr::k_eControllerAxis_TrackPad: return "k_eControllerAxis_TrackPad";
    case vr::k_eControllerAxis_Joystick: return "k_eControllerAxis_Joystick";
    case vr::k_eControllerAxis_Trigger: return "k_eControllerAxis_Trigger";
  }
  return "Unknown EVRControllerAxisType";
}

}  // namespace ZerinSim
