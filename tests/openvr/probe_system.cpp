// Built freestanding: no C or C++ library, no exceptions, no start-up code, so nothing here may
// need a constructor to run at load time or a library function.
#include "msvc_freestanding.h"
#include "probe_system.h"

#if ZERIN_VR_RESULT_POINTER_SLOTS
#error "the probe implements the slots by value, as the runtime's own compiler does"
#endif

namespace {

ZerinProbeCall lastCall = {-1, 0, {0, 0, 0, 0, 0, 0}};
uint32_t callCount = 0;

uint64_t bits(float value) {
  union {
    float f;
    uint32_t u;
  } pun;
  pun.f = value;
  return pun.u;
}
uint64_t bits(const void* pointer) { return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(pointer)); }
uint64_t bits(int32_t value) { return static_cast<uint64_t>(static_cast<int64_t>(value)); }
uint64_t bits(uint32_t value) { return value; }

void note(int32_t slot, uint32_t count = 0, uint64_t a = 0, uint64_t b = 0, uint64_t c = 0, uint64_t d = 0,
          uint64_t e = 0) {
  lastCall.slot = slot;
  lastCall.argumentCount = count;
  lastCall.arguments[0] = a;
  lastCall.arguments[1] = b;
  lastCall.arguments[2] = c;
  lastCall.arguments[3] = d;
  lastCall.arguments[4] = e;
  lastCall.arguments[5] = 0;
  ++callCount;
}

void setError(vr::ETrackedPropertyError* error, uint32_t device) {
  if (error) *error = static_cast<vr::ETrackedPropertyError>(device % 10);
}

void fillPose(vr::TrackedDevicePose_t* pose, float marker) {
  for (int row = 0; row < 3; ++row)
    for (int column = 0; column < 4; ++column) pose->mDeviceToAbsoluteTracking.m[row][column] = marker + row;
  for (int i = 0; i < 3; ++i) {
    pose->vVelocity.v[i] = marker * 2;
    pose->vAngularVelocity.v[i] = marker * 3;
  }
  pose->eTrackingResult = vr::TrackingResult_Running_OutOfRange;
  pose->bPoseIsValid = true;
  pose->bDeviceIsConnected = true;
}

bool fillEvent(vr::VREvent_t* event, uint32_t eventSize) {
  if (!event || eventSize != sizeof(vr::VREvent_t)) return false;
  event->eventType = vr::VREvent_ButtonTouch;
  event->trackedDeviceIndex = 5;
  event->eventAgeSeconds = 0.5f;
  event->data.reserved.reserved0 = 0;
  event->data.reserved.reserved1 = 0x1122334455667788ull;
  event->data.reserved.reserved2 = 0;
  event->data.controller.button = vr::k_EButton_Axis1;
  return true;
}

bool fillState(vr::VRControllerState001_t* state, uint32_t stateSize, uint32_t device) {
  if (!state || stateSize != sizeof(vr::VRControllerState001_t)) return false;
  state->unPacketNum = device + 1000;
  state->ulButtonPressed = (uint64_t{1} << vr::k_EButton_Axis1) | 1u;
  state->ulButtonTouched = uint64_t{1} << vr::k_EButton_Axis0;
  for (uint32_t i = 0; i < vr::k_unControllerStateAxisCount; ++i) {
    state->rAxis[i].x = 0.25f * static_cast<float>(i);
    state->rAxis[i].y = -0.5f;
  }
  return true;
}

class ProbeSystem final : public vr::IVRSystem {
 public:
  void GetRecommendedRenderTargetSize(uint32_t*, uint32_t*) override { note(0); }
  vr::HmdMatrix44_t GetProjectionMatrix(vr::EVREye, float, float) override {
    note(1);
    vr::HmdMatrix44_t m;
    for (auto& row : m.m)
      for (float& element : row) element = 0;
    return m;
  }
  void GetProjectionRaw(vr::EVREye, float*, float*, float*, float*) override { note(2); }
  bool ComputeDistortion(vr::EVREye, float, float, vr::DistortionCoordinates_t*) override {
    note(3);
    return false;
  }
  vr::HmdMatrix34_t GetEyeToHeadTransform(vr::EVREye eye) override {
    note(4, 1, bits(static_cast<int32_t>(eye)));
    vr::HmdMatrix34_t m;
    for (int row = 0; row < 3; ++row)
      for (int column = 0; column < 4; ++column) m.m[row][column] = probeEyeToHeadElement(eye, row, column);
    return m;
  }
  bool GetTimeSinceLastVsync(float*, uint64_t*) override {
    note(5);
    return false;
  }
  int32_t GetD3D9AdapterIndex() override {
    note(6);
    return 0;
  }
  void GetDXGIOutputInfo(int32_t*) override { note(7); }
  void GetOutputDevice(uint64_t*, vr::ETextureType, vr::VkInstance_T*) override { note(8); }
  bool IsDisplayOnDesktop() override {
    note(9);
    return false;
  }
  bool SetDisplayVisibility(bool) override {
    note(10);
    return false;
  }
  void GetDeviceToAbsoluteTrackingPose(vr::ETrackingUniverseOrigin origin, float predicted,
                                       vr::TrackedDevicePose_t* poses, uint32_t poseCount) override {
    note(11, 4, bits(static_cast<int32_t>(origin)), bits(predicted), bits(poses), bits(poseCount));
    for (uint32_t i = 0; poses && i < poseCount; ++i) fillPose(&poses[i], static_cast<float>(i) + predicted);
  }
  void ResetSeatedZeroPose() override { note(12); }
  vr::HmdMatrix34_t GetSeatedZeroPoseToStandingAbsoluteTrackingPose() override {
    note(13);
    vr::HmdMatrix34_t m;
    for (int row = 0; row < 3; ++row)
      for (int column = 0; column < 4; ++column) m.m[row][column] = probeSeatedZeroElement(row, column);
    return m;
  }
  vr::HmdMatrix34_t GetRawZeroPoseToStandingAbsoluteTrackingPose() override {
    note(14);
    vr::HmdMatrix34_t m;
    for (auto& row : m.m)
      for (float& element : row) element = 0;
    return m;
  }
  uint32_t GetSortedTrackedDeviceIndicesOfClass(vr::ETrackedDeviceClass deviceClass, vr::TrackedDeviceIndex_t* indices,
                                                uint32_t indexCount, vr::TrackedDeviceIndex_t relativeTo) override {
    note(15, 4, bits(static_cast<int32_t>(deviceClass)), bits(indices), bits(indexCount), bits(relativeTo));
    for (uint32_t i = 0; indices && i < indexCount; ++i) indices[i] = relativeTo + i + 1;
    return static_cast<uint32_t>(deviceClass) * 10 + indexCount;
  }
  vr::EDeviceActivityLevel GetTrackedDeviceActivityLevel(vr::TrackedDeviceIndex_t device) override {
    note(16, 1, bits(device));
    return static_cast<vr::EDeviceActivityLevel>(device % 4);
  }
  void ApplyTransform(vr::TrackedDevicePose_t* out, const vr::TrackedDevicePose_t* pose,
                      const vr::HmdMatrix34_t* transform) override {
    note(17, 3, bits(out), bits(pose), bits(transform));
    if (!out || !pose || !transform) return;
    fillPose(out, pose->mDeviceToAbsoluteTracking.m[0][0] + transform->m[2][3]);
  }
  vr::TrackedDeviceIndex_t GetTrackedDeviceIndexForControllerRole(vr::ETrackedControllerRole role) override {
    note(18, 1, bits(static_cast<int32_t>(role)));
    return static_cast<uint32_t>(role) + 40;
  }
  vr::ETrackedControllerRole GetControllerRoleForTrackedDeviceIndex(vr::TrackedDeviceIndex_t device) override {
    note(19, 1, bits(device));
    return static_cast<vr::ETrackedControllerRole>(device % 3);
  }
  vr::ETrackedDeviceClass GetTrackedDeviceClass(vr::TrackedDeviceIndex_t device) override {
    note(20, 1, bits(device));
    return static_cast<vr::ETrackedDeviceClass>(device % 6);
  }
  bool IsTrackedDeviceConnected(vr::TrackedDeviceIndex_t device) override {
    note(21, 1, bits(device));
    return device % 2 == 1;
  }
  bool GetBoolTrackedDeviceProperty(vr::TrackedDeviceIndex_t device, vr::ETrackedDeviceProperty prop,
                                    vr::ETrackedPropertyError* error) override {
    note(22, 3, bits(device), bits(static_cast<int32_t>(prop)), bits(error));
    setError(error, device);
    return prop == vr::Prop_DeviceIsWireless_Bool;
  }
  float GetFloatTrackedDeviceProperty(vr::TrackedDeviceIndex_t device, vr::ETrackedDeviceProperty prop,
                                      vr::ETrackedPropertyError* error) override {
    note(23, 3, bits(device), bits(static_cast<int32_t>(prop)), bits(error));
    setError(error, device);
    return static_cast<float>(device) + static_cast<float>(prop) / 10000.0f;
  }
  int32_t GetInt32TrackedDeviceProperty(vr::TrackedDeviceIndex_t device, vr::ETrackedDeviceProperty prop,
                                        vr::ETrackedPropertyError* error) override {
    note(24, 3, bits(device), bits(static_cast<int32_t>(prop)), bits(error));
    setError(error, device);
    return -static_cast<int32_t>(device) * static_cast<int32_t>(prop);
  }
  uint64_t GetUint64TrackedDeviceProperty(vr::TrackedDeviceIndex_t device, vr::ETrackedDeviceProperty prop,
                                          vr::ETrackedPropertyError* error) override {
    note(25, 3, bits(device), bits(static_cast<int32_t>(prop)), bits(error));
    setError(error, device);
    return (static_cast<uint64_t>(device) << 40) | static_cast<uint32_t>(prop);
  }
  vr::HmdMatrix34_t GetMatrix34TrackedDeviceProperty(vr::TrackedDeviceIndex_t device, vr::ETrackedDeviceProperty prop,
                                                     vr::ETrackedPropertyError* error) override {
    note(26, 3, bits(device), bits(static_cast<int32_t>(prop)), bits(error));
    setError(error, device);
    vr::HmdMatrix34_t m;
    for (int row = 0; row < 3; ++row)
      for (int column = 0; column < 4; ++column) m.m[row][column] = probePropertyMatrixElement(device, prop, row, column);
    return m;
  }
  uint32_t GetStringTrackedDeviceProperty(vr::TrackedDeviceIndex_t device, vr::ETrackedDeviceProperty prop, char* value,
                                          uint32_t bufferSize, vr::ETrackedPropertyError* error) override {
    note(27, 5, bits(device), bits(static_cast<int32_t>(prop)), bits(value), bits(bufferSize), bits(error));
    uint32_t length = 0;
    while (kProbeString[length]) ++length;
    if (value && bufferSize > length) {
      for (uint32_t i = 0; i <= length; ++i) value[i] = kProbeString[i];
      setError(error, device);
    } else if (error) {
      *error = vr::TrackedProp_BufferTooSmall;
    }
    return length + 1;
  }
  const char* GetPropErrorNameFromEnum(vr::ETrackedPropertyError error) override {
    note(28, 1, bits(static_cast<int32_t>(error)));
    return error == vr::TrackedProp_UnknownProperty ? "probe:UnknownProperty" : "probe:other";
  }
  bool PollNextEvent(vr::VREvent_t* event, uint32_t eventSize) override {
    note(29, 2, bits(event), bits(eventSize));
    return fillEvent(event, eventSize);
  }
  bool PollNextEventWithPose(vr::ETrackingUniverseOrigin origin, vr::VREvent_t* event, uint32_t eventSize,
                             vr::TrackedDevicePose_t* pose) override {
    note(30, 4, bits(static_cast<int32_t>(origin)), bits(event), bits(eventSize), bits(pose));
    if (pose) fillPose(pose, static_cast<float>(origin) + 0.5f);
    return fillEvent(event, eventSize);
  }
  const char* GetEventTypeNameFromEnum(vr::EVREventType type) override {
    note(31, 1, bits(static_cast<int32_t>(type)));
    return type == vr::VREvent_ButtonPress ? "probe:ButtonPress" : "probe:other";
  }
  vr::HiddenAreaMesh_t GetHiddenAreaMesh(vr::EVREye, vr::EHiddenAreaMeshType) override {
    note(32);
    vr::HiddenAreaMesh_t mesh;
    mesh.pVertexData = nullptr;
    mesh.unTriangleCount = 0;
    return mesh;
  }
  bool GetControllerState(vr::TrackedDeviceIndex_t device, vr::VRControllerState001_t* state,
                          uint32_t stateSize) override {
    note(33, 3, bits(device), bits(state), bits(stateSize));
    return fillState(state, stateSize, device);
  }
  bool GetControllerStateWithPose(vr::ETrackingUniverseOrigin origin, vr::TrackedDeviceIndex_t device,
                                  vr::VRControllerState001_t* state, uint32_t stateSize,
                                  vr::TrackedDevicePose_t* pose) override {
    note(34, 5, bits(static_cast<int32_t>(origin)), bits(device), bits(state), bits(stateSize), bits(pose));
    if (pose) fillPose(pose, static_cast<float>(device));
    return fillState(state, stateSize, device);
  }
  void TriggerHapticPulse(vr::TrackedDeviceIndex_t device, uint32_t axisId, unsigned short duration) override {
    note(35, 3, bits(device), bits(axisId), bits(static_cast<uint32_t>(duration)));
  }
  const char* GetButtonIdNameFromEnum(vr::EVRButtonId id) override {
    note(36, 1, bits(static_cast<int32_t>(id)));
    return id == vr::k_EButton_Grip ? "probe:Grip" : "probe:other";
  }
  const char* GetControllerAxisTypeNameFromEnum(vr::EVRControllerAxisType type) override {
    note(37, 1, bits(static_cast<int32_t>(type)));
    return type == vr::k_eControllerAxis_Joystick ? "probe:Joystick" : "probe:other";
  }
};

// Constant-initialised: with no start-up code, a constructor would never run.
#if defined(__clang__)
[[clang::require_constant_initialization]]
#endif
ProbeSystem probeSystem;

}  // namespace

ZERIN_PROBE_API vr::IVRSystem* zerinprobe_System() { return &probeSystem; }

ZERIN_PROBE_API void zerinprobe_LastCall(ZerinProbeCall* call) {
  if (call) *call = lastCall;
}

ZERIN_PROBE_API uint32_t zerinprobe_CallCount() { return callCount; }

ZERIN_PROBE_API bool zerinprobe_BuiltForMsvcAbi() {
#if defined(_MSC_VER)
  return true;
#else
  return false;
#endif
}
