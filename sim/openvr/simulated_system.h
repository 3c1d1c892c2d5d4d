#pragma once
// The simulated runtime's "IVRSystem_017", declared from the same header as its callers so the
// slots line up. Every method records its call with its arguments in the shared state.
#include "openvr/openvr_api.h"

namespace ZerinSim {

class SimulatedSystem final : public vr::IVRSystem {
 public:
  void GetRecommendedRenderTargetSize(uint32_t* width, uint32_t* height) override;
  void GetProjectionRaw(vr::EVREye eye, float* left, float* right, float* top, float* bottom) override;
  bool ComputeDistortion(vr::EVREye eye, float u, float v, vr::DistortionCoordinates_t* out) override;
  bool GetTimeSinceLastVsync(float* secondsSinceLastVsync, uint64_t* frameCounter) override;
  int32_t GetD3D9AdapterIndex() override;
  void GetDXGIOutputInfo(int32_t* adapterIndex) override;
  void GetOutputDevice(uint64_t* device, vr::ETextureType textureType, vr::VkInstance_T* instance) override;
  bool IsDisplayOnDesktop() override;
  bool SetDisplayVisibility(bool visibleOnDesktop) override;
  void GetDeviceToAbsoluteTrackingPose(vr::ETrackingUniverseOrigin origin, float predictedSecondsToPhotonsFromNow,
                                       vr::TrackedDevicePose_t* poses, uint32_t poseCount) override;
  void ResetSeatedZeroPose() override;
  uint32_t GetSortedTrackedDeviceIndicesOfClass(vr::ETrackedDeviceClass deviceClass, vr::TrackedDeviceIndex_t* indices,
                                                uint32_t indexCount, vr::TrackedDeviceIndex_t relativeToIndex) override;
  vr::EDeviceActivityLevel GetTrackedDeviceActivityLevel(vr::TrackedDeviceIndex_t device) override;
  void ApplyTransform(vr::TrackedDevicePose_t* outputPose, const vr::TrackedDevicePose_t* trackedDevicePose,
                      const vr::HmdMatrix34_t* transform) override;
  vr::TrackedDeviceIndex_t GetTrackedDeviceIndexForControllerRole(vr::ETrackedControllerRole role) override;
  vr::ETrackedControllerRole GetControllerRoleForTrackedDeviceIndex(vr::TrackedDeviceIndex_t device) override;
  vr::ETrackedDeviceClass GetTrackedDeviceClass(vr::TrackedDeviceIndex_t device) override;
  bool IsTrackedDeviceConnected(vr::TrackedDeviceIndex_t device) override;
  bool GetBoolTrackedDeviceProperty(vr::TrackedDeviceIndex_t device, vr::ETrackedDeviceProperty prop,
                                    vr::ETrackedPropertyError* error) override;
  float GetFloatTrackedDeviceProperty(vr::TrackedDeviceIndex_t device, vr::ETrackedDeviceProperty prop,
                                      vr::ETrackedPropertyError* error) override;
  int32_t GetInt32TrackedDeviceProperty(vr::TrackedDeviceIndex_t device, vr::ETrackedDeviceProperty prop,
                                        vr::ETrackedPropertyError* error) override;
  uint64_t GetUint64TrackedDeviceProperty(vr::TrackedDeviceIndex_t device, vr::ETrackedDeviceProperty prop,
                                          vr::ETrackedPropertyError* error) override;
  uint32_t GetStringTrackedDeviceProperty(vr::TrackedDeviceIndex_t device, vr::ETrackedDeviceProperty prop, char* value,
                                          uint32_t bufferSize, vr::ETrackedPropertyError* error) override;
  const char* GetPropErrorNameFromEnum(vr::ETrackedPropertyError error) override;
  bool PollNextEvent(vr::VREvent_t* event, uint32_t eventSize) override;
  bool PollNextEventWithPose(vr::ETrackingUniverseOrigin origin, vr::VREvent_t* event, uint32_t eventSize,
                             vr::TrackedDevicePose_t* pose) override;
  const char* GetEventTypeNameFromEnum(vr::EVREventType type) override;
  bool GetControllerState(vr::TrackedDeviceIndex_t device, vr::VRControllerState001_t* state,
                          uint32_t stateSize) override;
  bool GetControllerStateWithPose(vr::ETrackingUniverseOrigin origin, vr::TrackedDeviceIndex_t device,
                                  vr::VRControllerState001_t* state, uint32_t stateSize,
                                  vr::TrackedDevicePose_t* pose) override;
  void TriggerHapticPulse(vr::TrackedDeviceIndex_t device, uint32_t axisId, unsigned short durationMicroseconds) override;
  const char* GetButtonIdNameFromEnum(vr::EVRButtonId id) override;
  const char* GetControllerAxisTypeNameFromEnum(vr::EVRControllerAxisType type) override;

  // The slots that return a record, in the form this compiler's callers use.
#if ZERIN_VR_RESULT_POINTER_SLOTS
  vr::HmdMatrix44_t* GetProjectionMatrix(vr::HmdMatrix44_t* result, vr::EVREye eye, float nearZ, float farZ) override;
  vr::HmdMatrix34_t* GetEyeToHeadTransform(vr::HmdMatrix34_t* result, vr::EVREye eye) override;
  vr::HmdMatrix34_t* GetSeatedZeroPoseToStandingAbsoluteTrackingPose(vr::HmdMatrix34_t* result) override;
  vr::HmdMatrix34_t* GetRawZeroPoseToStandingAbsoluteTrackingPose(vr::HmdMatrix34_t* result) override;
  vr::HmdMatrix34_t* GetMatrix34TrackedDeviceProperty(vr::HmdMatrix34_t* result, vr::TrackedDeviceIndex_t device,
                                                      vr::ETrackedDeviceProperty prop,
                                                      vr::ETrackedPropertyError* error) override;
  vr::HiddenAreaMesh_t* GetHiddenAreaMesh(vr::HiddenAreaMesh_t* result, vr::EVREye eye,
                                          vr::EHiddenAreaMeshType type) override;
#else
  vr::HmdMatrix44_t GetProjectionMatrix(vr::EVREye eye, float nearZ, float farZ) override;
  vr::HmdMatrix34_t GetEyeToHeadTransform(vr::EVREye eye) override;
  vr::HmdMatrix34_t GetSeatedZeroPoseToStandingAbsoluteTrackingPose() override;
  vr::HmdMatrix34_t GetRawZeroPoseToStandingAbsoluteTrackingPose() override;
  vr::HmdMatrix34_t GetMatrix34TrackedDeviceProperty(vr::TrackedDeviceIndex_t device, vr::ETrackedDeviceProperty prop,
                                                     vr::ETrackedPropertyError* error) override;
  vr::HiddenAreaMesh_t GetHiddenAreaMesh(vr::EVREye eye, vr::EHiddenAreaMeshType type) override;
#endif

 private:
  vr::HmdMatrix44_t projectionMatrix(vr::EVREye eye, float nearZ, float farZ);
  vr::HmdMatrix34_t eyeToHeadTransform(vr::EVREye eye);
  vr::HmdMatrix34_t seatedZeroPoseToStanding();
  vr::HmdMatrix34_t rawZeroPoseToStandingPose();
  vr::HmdMatrix34_t matrix34Property(vr::TrackedDeviceIndex_t device, vr::ETrackedDeviceProperty prop,
                                     vr::ETrackedPropertyError* error);
  vr::HiddenAreaMesh_t hiddenAreaMesh(vr::EVREye eye, vr::EHiddenAreaMeshType type);
};

SimulatedSystem& simulatedSystem();

}  // namespace ZerinSim
