#pragma once
// The part of the OpenVR API (system interface "IVRSystem_017") that the tracking library
// uses, declared from its public ABI: records with their per-platform packing, enumerations,
// the C entry points of the openvr_api library and the vtable of vr::IVRSystem.
//
// Only C headers are included: an implementation of vr::IVRSystem is also compiled from this
// header freestanding for the MSVC ABI, where no C++ library is at hand.
#include <stddef.h>
#include <stdint.h>

// The entry points live in openvr_api. The simulated library defines ZERIN_OPENVR_API_BUILD.
#if defined(_WIN32)
#if defined(ZERIN_OPENVR_API_BUILD)
#define ZERIN_VR_ENTRY extern "C" __declspec(dllexport)
#else
#define ZERIN_VR_ENTRY extern "C" __declspec(dllimport)
#endif
#else
#define ZERIN_VR_ENTRY extern "C" __attribute__((visibility("default")))
#endif

// The OpenVR runtime on Windows is compiled with MSVC, which passes a member function's hidden
// result pointer after `this`; GNU compilers for Windows pass it before. Compiled by one of
// those, the slots that return a record take the result pointer explicitly (and return it,
// as MSVC does), so the call lands in the order the runtime expects.
#if defined(_WIN32) && !defined(_MSC_VER)
#define ZERIN_VR_RESULT_POINTER_SLOTS 1
#else
#define ZERIN_VR_RESULT_POINTER_SLOTS 0
#endif

namespace vr {

typedef uint32_t TrackedDeviceIndex_t;

constexpr TrackedDeviceIndex_t k_unTrackedDeviceIndex_Hmd = 0;
constexpr TrackedDeviceIndex_t k_unTrackedDeviceIndexInvalid = 0xFFFFFFFFu;
constexpr uint32_t k_unMaxTrackedDeviceCount = 64;
constexpr uint32_t k_unControllerStateAxisCount = 5;

constexpr const char* IVRSystem_Version = "IVRSystem_017";

// ---- Enumerations (all 32-bit) ----

enum EVRInitError : int32_t {
  VRInitError_None = 0,
  VRInitError_Init_InterfaceNotFound = 105,
};

enum EVRApplicationType : int32_t {
  VRApplication_Other = 0,
  VRApplication_Scene = 1,
  VRApplication_Overlay = 2,
  VRApplication_Background = 3,
  VRApplication_Utility = 4,
};

enum ETrackedDeviceClass : int32_t {
  TrackedDeviceClass_Invalid = 0,
  TrackedDeviceClass_HMD = 1,
  TrackedDeviceClass_Controller = 2,
  TrackedDeviceClass_GenericTracker = 3,
  TrackedDeviceClass_TrackingReference = 4,
  TrackedDeviceClass_DisplayRedirect = 5,
};

enum ETrackedControllerRole : int32_t {
  TrackedControllerRole_Invalid = 0,
  TrackedControllerRole_LeftHand = 1,
  TrackedControllerRole_RightHand = 2,
};

enum ETrackingUniverseOrigin : int32_t {
  TrackingUniverseSeated = 0,
  TrackingUniverseStanding = 1,
  TrackingUniverseRawAndUncalibrated = 2,
};

enum EVREye : int32_t {
  Eye_Left = 0,
  Eye_Right = 1,
};

enum EDeviceActivityLevel : int32_t {
  k_EDeviceActivityLevel_Unknown = -1,
  k_EDeviceActivityLevel_Idle = 0,
  k_EDeviceActivityLevel_UserInteraction = 1,
  k_EDeviceActivityLevel_UserInteraction_Timeout = 2,
  k_EDeviceActivityLevel_Standby = 3,
};

enum ETrackingResult : int32_t {
  TrackingResult_Uninitialized = 1,
  TrackingResult_Calibrating_InProgress = 100,
  TrackingResult_Calibrating_OutOfRange = 101,
  TrackingResult_Running_OK = 200,
  TrackingResult_Running_OutOfRange = 201,
};

enum ETrackedPropertyError : int32_t {
  TrackedProp_Success = 0,
  TrackedProp_WrongDataType = 1,
  TrackedProp_WrongDeviceClass = 2,
  TrackedProp_BufferTooSmall = 3,
  TrackedProp_UnknownProperty = 4,
  TrackedProp_InvalidDevice = 5,
  TrackedProp_CouldNotContactServer = 6,
  TrackedProp_ValueNotProvidedByDevice = 7,
  TrackedProp_StringExceedsMaximumLength = 8,
  TrackedProp_NotYetAvailable = 9,
};

enum EVRButtonId : int32_t {
  k_EButton_System = 0,
  k_EButton_ApplicationMenu = 1,
  k_EButton_Grip = 2,
  k_EButton_DPad_Left = 3,
  k_EButton_DPad_Up = 4,
  k_EButton_DPad_Right = 5,
  k_EButton_DPad_Down = 6,
  k_EButton_A = 7,
  k_EButton_ProximitySensor = 31,
  k_EButton_Axis0 = 32,
  k_EButton_Axis1 = 33,
  k_EButton_Axis2 = 34,
  k_EButton_Axis3 = 35,
  k_EButton_Axis4 = 36,
  k_EButton_Max = 64,
};

enum EVRControllerAxisType : int32_t {
  k_eControllerAxis_None = 0,
  k_eControllerAxis_TrackPad = 1,
  k_eControllerAxis_Joystick = 2,
  k_eControllerAxis_Trigger = 3,
};

enum EVREventType : int32_t {
  VREvent_None = 0,
  VREvent_TrackedDeviceActivated = 100,
  VREvent_TrackedDeviceDeactivated = 101,
  VREvent_TrackedDeviceRoleChanged = 108,
  VREvent_PropertyChanged = 111,
  VREvent_ButtonPress = 200,
  VREvent_ButtonUnpress = 201,
  VREvent_ButtonTouch = 202,
  VREvent_ButtonUntouch = 203,
};

enum ETrackedDeviceProperty : int32_t {
  Prop_Invalid = 0,
  Prop_TrackingSystemName_String = 1000,
  Prop_ModelNumber_String = 1001,
  Prop_SerialNumber_String = 1002,
  Prop_ManufacturerName_String = 1005,
  Prop_DeviceIsWireless_Bool = 1010,
  Prop_DeviceIsCharging_Bool = 1011,
  Prop_DeviceBatteryPercentage_Float = 1012,
  Prop_StatusDisplayTransform_Matrix34 = 1013,
  Prop_HardwareRevision_Uint64 = 1017,
  Prop_DeviceClass_Int32 = 1029,
  Prop_SupportedButtons_Uint64 = 3001,
  Prop_Axis0Type_Int32 = 3002,
  Prop_ControllerRoleHint_Int32 = 3007,
};

// Only the unwrapped slots use these; declared as far as their slots need.
enum ETextureType : int32_t { TextureType_DirectX = 0 };
enum EHiddenAreaMeshType : int32_t { k_eHiddenAreaMesh_Standard = 0 };
struct VkInstance_T;

// ---- Records ----

struct HmdMatrix34_t {
  float m[3][4];
};

struct HmdMatrix44_t {
  float m[4][4];
};

struct HmdVector3_t {
  float v[3];
};

struct HmdVector2_t {
  float v[2];
};

struct DistortionCoordinates_t {
  float rfRed[2];
  float rfGreen[2];
  float rfBlue[2];
};

struct HiddenAreaMesh_t {
  const HmdVector2_t* pVertexData;
  uint32_t unTriangleCount;
};

struct TrackedDevicePose_t {
  HmdMatrix34_t mDeviceToAbsoluteTracking;
  HmdVector3_t vVelocity;
  HmdVector3_t vAngularVelocity;
  ETrackingResult eTrackingResult;
  bool bPoseIsValid;
  bool bDeviceIsConnected;
};

struct VRControllerAxis_t {
  float x;
  float y;
};

struct VREvent_Controller_t {
  uint32_t button;
};

struct VREvent_Reserved_t {
  uint64_t reserved0;
  uint64_t reserved1;
  uint64_t reserved2;
};

// The payload of an event; which member is meant depends on the event type.
union VREvent_Data_t {
  VREvent_Reserved_t reserved;
  VREvent_Controller_t controller;
};

// Outside Windows these two records keep a 4-byte packing that the API has always had there.
#if !defined(_WIN32)
#pragma pack(push, 4)
#endif

struct VRControllerState001_t {
  uint32_t unPacketNum;
  uint64_t ulButtonPressed;
  uint64_t ulButtonTouched;
  VRControllerAxis_t rAxis[k_unControllerStateAxisCount];
};

struct VREvent_t {
  uint32_t eventType;
  TrackedDeviceIndex_t trackedDeviceIndex;
  float eventAgeSeconds;
  VREvent_Data_t data;
};

#if !defined(_WIN32)
#pragma pack(pop)
#endif

typedef VRControllerState001_t VRControllerState_t;

static_assert(sizeof(EVRInitError) == 4 && sizeof(ETrackedDeviceProperty) == 4 &&
                  sizeof(EDeviceActivityLevel) == 4 && sizeof(EVRButtonId) == 4,
              "enumerations are 32-bit");
static_assert(sizeof(HmdMatrix34_t) == 48, "HmdMatrix34_t");
static_assert(sizeof(HmdVector3_t) == 12, "HmdVector3_t");
static_assert(sizeof(VRControllerAxis_t) == 8, "VRControllerAxis_t");
static_assert(sizeof(TrackedDevicePose_t) == 80, "TrackedDevicePose_t");
static_assert(offsetof(TrackedDevicePose_t, vVelocity) == 48, "TrackedDevicePose_t");
static_assert(offsetof(TrackedDevicePose_t, vAngularVelocity) == 60, "TrackedDevicePose_t");
static_assert(offsetof(TrackedDevicePose_t, eTrackingResult) == 72, "TrackedDevicePose_t");
static_assert(offsetof(TrackedDevicePose_t, bPoseIsValid) == 76, "TrackedDevicePose_t");
static_assert(offsetof(TrackedDevicePose_t, bDeviceIsConnected) == 77, "TrackedDevicePose_t");
static_assert(sizeof(VREvent_Data_t) == 24 && alignof(VREvent_Data_t) == 8, "VREvent_Data_t");
static_assert(offsetof(VREvent_t, trackedDeviceIndex) == 4, "VREvent_t");
static_assert(offsetof(VREvent_t, eventAgeSeconds) == 8, "VREvent_t");
#if defined(_WIN32)
static_assert(sizeof(VRControllerState001_t) == 64, "VRControllerState001_t");
static_assert(offsetof(VRControllerState001_t, ulButtonPressed) == 8, "VRControllerState001_t");
static_assert(offsetof(VRControllerState001_t, ulButtonTouched) == 16, "VRControllerState001_t");
static_assert(offsetof(VRControllerState001_t, rAxis) == 24, "VRControllerState001_t");
static_assert(sizeof(VREvent_t) == 40, "VREvent_t");
static_assert(offsetof(VREvent_t, data) == 16, "VREvent_t");
#else
static_assert(sizeof(VRControllerState001_t) == 60, "VRControllerState001_t");
static_assert(offsetof(VRControllerState001_t, ulButtonPressed) == 4, "VRControllerState001_t");
static_assert(offsetof(VRControllerState001_t, ulButtonTouched) == 12, "VRControllerState001_t");
static_assert(offsetof(VRControllerState001_t, rAxis) == 20, "VRControllerState001_t");
static_assert(sizeof(VREvent_t) == 36, "VREvent_t");
static_assert(offsetof(VREvent_t, data) == 12, "VREvent_t");
#endif

// ---- The system interface, "IVRSystem_017": slots 0 to 37 in vtable order ----
//
// Slots that return a record have two forms where ZERIN_VR_RESULT_POINTER_SLOTS is set: the
// virtual one with the explicit result pointer (what implementations override) and an inline
// by-value one for callers, so calling code reads the same on every target.

class IVRSystem {
 public:
  virtual void GetRecommendedRenderTargetSize(uint32_t* width, uint32_t* height) = 0;
#if ZERIN_VR_RESULT_POINTER_SLOTS
  virtual HmdMatrix44_t* GetProjectionMatrix(HmdMatrix44_t* result, EVREye eye, float nearZ, float farZ) = 0;
#else
  virtual HmdMatrix44_t GetProjectionMatrix(EVREye eye, float nearZ, float farZ) = 0;
#endif
  virtual void GetProjectionRaw(EVREye eye, float* left, float* right, float* top, float* bottom) = 0;
  virtual bool ComputeDistortion(EVREye eye, float u, float v, DistortionCoordinates_t* out) = 0;
#if ZERIN_VR_RESULT_POINTER_SLOTS
  virtual HmdMatrix34_t* GetEyeToHeadTransform(HmdMatrix34_t* result, EVREye eye) = 0;
#else
  virtual HmdMatrix34_t GetEyeToHeadTransform(EVREye eye) = 0;
#endif
  virtual bool GetTimeSinceLastVsync(float* secondsSinceLastVsync, uint64_t* frameCounter) = 0;
  virtual int32_t GetD3D9AdapterIndex() = 0;
  virtual void GetDXGIOutputInfo(int32_t* adapterIndex) = 0;
  virtual void GetOutputDevice(uint64_t* device, ETextureType textureType, VkInstance_T* instance) = 0;
  virtual bool IsDisplayOnDesktop() = 0;
  virtual bool SetDisplayVisibility(bool visibleOnDesktop) = 0;
  virtual void GetDeviceToAbsoluteTrackingPose(ETrackingUniverseOrigin origin, float predictedSecondsToPhotonsFromNow,
                                               TrackedDevicePose_t* poses, uint32_t poseCount) = 0;
  virtual void ResetSeatedZeroPose() = 0;
#if ZERIN_VR_RESULT_POINTER_SLOTS
  virtual HmdMatrix34_t* GetSeatedZeroPoseToStandingAbsoluteTrackingPose(HmdMatrix34_t* result) = 0;
  virtual HmdMatrix34_t* GetRawZeroPoseToStandingAbsoluteTrackingPose(HmdMatrix34_t* result) = 0;
#else
  virtual HmdMatrix34_t GetSeatedZeroPoseToStandingAbsoluteTrackingPose() = 0;
  virtual HmdMatrix34_t GetRawZeroPoseToStandingAbsoluteTrackingPose() = 0;
#endif
  virtual uint32_t GetSortedTrackedDeviceIndicesOfClass(ETrackedDeviceClass deviceClass, TrackedDeviceIndex_t* indices,
                                                        uint32_t indexCount, TrackedDeviceIndex_t relativeToIndex) = 0;
  virtual EDeviceActivityLevel GetTrackedDeviceActivityLevel(TrackedDeviceIndex_t device) = 0;
  virtual void ApplyTransform(TrackedDevicePose_t* outputPose, const TrackedDevicePose_t* trackedDevicePose,
                              const HmdMatrix34_t* transform) = 0;
  virtual TrackedDeviceIndex_t GetTrackedDeviceIndexForControllerRole(ETrackedControllerRole role) = 0;
  virtual ETrackedControllerRole GetControllerRoleForTrackedDeviceIndex(TrackedDeviceIndex_t device) = 0;
  virtual ETrackedDeviceClass GetTrackedDeviceClass(TrackedDeviceIndex_t device) = 0;
  virtual bool IsTrackedDeviceConnected(TrackedDeviceIndex_t device) = 0;
  virtual bool GetBoolTrackedDeviceProperty(TrackedDeviceIndex_t device, ETrackedDeviceProperty prop,
                                            ETrackedPropertyError* error) = 0;
  virtual float GetFloatTrackedDeviceProperty(TrackedDeviceIndex_t device, ETrackedDeviceProperty prop,
                                              ETrackedPropertyError* error) = 0;
  virtual int32_t GetInt32TrackedDeviceProperty(TrackedDeviceIndex_t device, ETrackedDeviceProperty prop,
                                                ETrackedPropertyError* error) = 0;
  virtual uint64_t GetUint64TrackedDeviceProperty(TrackedDeviceIndex_t device, ETrackedDeviceProperty prop,
                                                  ETrackedPropertyError* error) = 0;
#if ZERIN_VR_RESULT_POINTER_SLOTS
  virtual HmdMatrix34_t* GetMatrix34TrackedDeviceProperty(HmdMatrix34_t* result, TrackedDeviceIndex_t device,
                                                          ETrackedDeviceProperty prop, ETrackedPropertyError* error) = 0;
#else
  virtual HmdMatrix34_t GetMatrix34TrackedDeviceProperty(TrackedDeviceIndex_t device, ETrackedDeviceProperty prop,
                                                         ETrackedPropertyError* error) = 0;
#endif
  virtual uint32_t GetStringTrackedDeviceProperty(TrackedDeviceIndex_t device, ETrackedDeviceProperty prop, char* value,
                                                  uint32_t bufferSize, ETrackedPropertyError* error) = 0;
  virtual const char* GetPropErrorNameFromEnum(ETrackedPropertyError error) = 0;
  virtual bool PollNextEvent(VREvent_t* event, uint32_t eventSize) = 0;
  virtual bool PollNextEventWithPose(ETrackingUniverseOrigin origin, VREvent_t* event, uint32_t eventSize,
                                     TrackedDevicePose_t* pose) = 0;
  virtual const char* GetEventTypeNameFromEnum(EVREventType type) = 0;
#if ZERIN_VR_RESULT_POINTER_SLOTS
  virtual HiddenAreaMesh_t* GetHiddenAreaMesh(HiddenAreaMesh_t* result, EVREye eye, EHiddenAreaMeshType type) = 0;
#else
  virtual HiddenAreaMesh_t GetHiddenAreaMesh(EVREye eye, EHiddenAreaMeshType type) = 0;
#endif
  virtual bool GetControllerState(TrackedDeviceIndex_t device, VRControllerState001_t* state, uint32_t stateSize) = 0;
  virtual bool GetControllerStateWithPose(ETrackingUniverseOrigin origin, TrackedDeviceIndex_t device,
                                          VRControllerState001_t* state, uint32_t stateSize,
                                          TrackedDevicePose_t* pose) = 0;
  virtual void TriggerHapticPulse(TrackedDeviceIndex_t device, uint32_t axisId, unsigned short durationMicroseconds) = 0;
  virtual const char* GetButtonIdNameFromEnum(EVRButtonId id) = 0;
  virtual const char* GetControllerAxisTypeNameFromEnum(EVRControllerAxisType type) = 0;
  // Slots 38 and later are never called through this declaration.

#if ZERIN_VR_RESULT_POINTER_SLOTS
  HmdMatrix44_t GetProjectionMatrix(EVREye eye, float nearZ, float farZ) {
    HmdMatrix44_t result;
    GetProjectionMatrix(&result, eye, nearZ, farZ);
    return result;
  }
  HmdMatrix34_t GetEyeToHeadTransform(EVREye eye) {
    HmdMatrix34_t result;
    GetEyeToHeadTransform(&result, eye);
    return result;
  }
  HmdMatrix34_t GetSeatedZeroPoseToStandingAbsoluteTrackingPose() {
    HmdMatrix34_t result;
    GetSeatedZeroPoseToStandingAbsoluteTrackingPose(&result);
    return result;
  }
  HmdMatrix34_t GetRawZeroPoseToStandingAbsoluteTrackingPose() {
    HmdMatrix34_t result;
    GetRawZeroPoseToStandingAbsoluteTrackingPose(&result);
    return result;
  }
  HmdMatrix34_t GetMatrix34TrackedDeviceProperty(TrackedDeviceIndex_t device, ETrackedDeviceProperty prop,
                                                 ETrackedPropertyError* error) {
    HmdMatrix34_t result;
    GetMatrix34TrackedDeviceProperty(&result, device, prop, error);
    return result;
  }
  HiddenAreaMesh_t GetHiddenAreaMesh(EVREye eye, EHiddenAreaMeshType type) {
    HiddenAreaMesh_t result;
    GetHiddenAreaMesh(&result, eye, type);
    return result;
  }
#endif
};

// ---- C entry points of openvr_api ----

ZERIN_VR_ENTRY bool VR_IsHmdPresent();
ZERIN_VR_ENTRY bool VR_IsRuntimeInstalled();
ZERIN_VR_ENTRY void* VR_GetGenericInterface(const char* interfaceVersion, EVRInitError* error);
ZERIN_VR_ENTRY bool VR_IsInterfaceVersionValid(const char* interfaceVersion);
ZERIN_VR_ENTRY uint32_t VR_GetInitToken();
ZERIN_VR_ENTRY uint32_t VR_InitInternal2(EVRInitError* error, EVRApplicationType type, const char* startupInfo);
ZERIN_VR_ENTRY void VR_ShutdownInternal();

// ---- Initialisation as applications see it (inline, not exported by openvr_api) ----

// The token of the last initialisation this module made.
inline uint32_t& initTokenOfThisModule() {
  static uint32_t token = 0;
  return token;
}

// Initialises OpenVR and returns its system interface, or null with the reason in `error`.
inline IVRSystem* VR_Init(EVRInitError* error, EVRApplicationType type, const char* startupInfo = nullptr) {
  EVRInitError result = VRInitError_None;
  initTokenOfThisModule() = VR_InitInternal2(&result, type, startupInfo);
  IVRSystem* system = nullptr;
  if (result == VRInitError_None) {
    if (VR_IsInterfaceVersionValid(IVRSystem_Version)) {
      system = static_cast<IVRSystem*>(VR_GetGenericInterface(IVRSystem_Version, &result));
      if (result != VRInitError_None) system = nullptr;
    } else {
      VR_ShutdownInternal();
      result = VRInitError_Init_InterfaceNotFound;
    }
  }
  if (error) *error = result;
  return system;
}

inline void VR_Shutdown() { VR_ShutdownInternal(); }

}  // namespace vr
