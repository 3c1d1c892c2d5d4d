// A program as an MSVC-built engine would be: compiled by clang for the MSVC ABI, linked by
// lld-link against import libraries made from the built DLLs, without any C runtime. It calls
// all thirty-one exports of ZerinTrackerLink under their MSVC names against the simulated OpenVR
// and checks each answer, element by element, against what the simulated runtime recorded or
// answers when asked directly. Each failed check is printed; the exit code is their number.
#include "msvc_freestanding.h"
#include "openvr/zerinsim_openvr.h"
#include "zerin/tracker_link.h"

#if !defined(_MSC_VER)
#error "this caller stands for a program built with MSVC"
#endif

extern "C" __declspec(dllimport) void* __stdcall GetStdHandle(unsigned long handle);
extern "C" __declspec(dllimport) int __stdcall WriteFile(void* file, const void* data, unsigned long size,
                                                         unsigned long* written, void* overlapped);

namespace {

namespace api = Zerin::openVR;

int checks = 0;
int failures = 0;

void print(const char* text) {
  unsigned long length = 0;
  while (text[length]) ++length;
  unsigned long written = 0;
  WriteFile(GetStdHandle(static_cast<unsigned long>(-11)), text, length, &written, nullptr);
}

void printNumber(int value) {
  char digits[12];
  int at = 11;
  digits[at] = 0;
  do {
    digits[--at] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value > 0 && at > 0);
  print(digits + at);
}

void check(bool passed, const char* what) {
  ++checks;
  if (passed) return;
  ++failures;
  print("FAILED: ");
  print(what);
  print("\n");
}

bool sameBytes(const void* a, const void* b, size_t size) {
  const auto* x = static_cast<const unsigned char*>(a);
  const auto* y = static_cast<const unsigned char*>(b);
  for (size_t i = 0; i < size; ++i)
    if (x[i] != y[i]) return false;
  return true;
}

bool sameText(const char* a, const char* b) {
  if (!a || !b) return false;
  while (*a && *a == *b) ++a, ++b;
  return *a == *b;
}

uint64_t encoded(int32_t value) { return static_cast<uint64_t>(static_cast<int64_t>(value)); }
uint64_t encoded(uint32_t value) { return value; }
uint64_t encoded(const void* pointer) { return reinterpret_cast<uintptr_t>(pointer); }
uint64_t encoded(float value) {
  uint32_t bits = 0;
  memcpy(&bits, &value, sizeof bits);
  return bits;
}

// True when the one call that reached the simulated runtime since the last clear was `name`
// with these arguments (in the control surface's encoding); its result lands in `result`.
bool calledOnce(const char* name, uint32_t count, const uint64_t* arguments, uint64_t* result = nullptr) {
  ZerinSimVRCall call;
  if (zerinsimvr_CallCount() != 1 || !zerinsimvr_GetCall(0, &call)) return false;
  if (result) *result = call.result;
  if (!sameText(call.name, name) || call.argumentCount != count) return false;
  for (uint32_t i = 0; i < count; ++i)
    if (call.arguments[i] != arguments[i]) return false;
  return true;
}

// The twelve elements one by one, so that a record returned through the wrong register or
// half written cannot pass.
bool sameMatrix(const vr::HmdMatrix34_t& a, const vr::HmdMatrix34_t& b) {
  for (int row = 0; row < 3; ++row)
    for (int column = 0; column < 4; ++column)
      if (encoded(a.m[row][column]) != encoded(b.m[row][column])) return false;
  return true;
}

bool isZero(const vr::HmdMatrix34_t& m) {
  const vr::HmdMatrix34_t zero{};
  return sameMatrix(m, zero);
}

// Large records live here rather than on the stack: a program without a C runtime has no
// stack probe for frames beyond a page.
vr::TrackedDevicePose_t poses[vr::k_unMaxTrackedDeviceCount];
vr::TrackedDevicePose_t expectedPoses[vr::k_unMaxTrackedDeviceCount];

void beforeInit() {
  check(!api::isIVRSystemValid(), "isIVRSystemValid is false before init");
  check(api::ButtonMaskFromId(vr::k_EButton_Axis1) == 0, "ButtonMaskFromId is 0 before init");
  check(isZero(api::GetEyeToHeadTransform(vr::Eye_Right)), "GetEyeToHeadTransform is all zeros before init");
  check(zerinsimvr_CallCount() == 0, "nothing reaches OpenVR before init");
}

// The last line init logged: its level and tag (a literal of the DLL) and whether its message was
// the success line (the message lives only during the call).
int32_t loggedLevel = -1;
const char* loggedTag = nullptr;
bool loggedSuccess = false;

void recordLine(int32_t level, const char* tag, const char* message) {
  loggedLevel = level;
  loggedTag = tag;
  loggedSuccess = sameText(message, "Init success: true");
}

void lifecycle() {
  api::SetLogLineCallback(recordLine);
  check(api::init(), "init succeeds against the simulated runtime");
  api::SetLogLineCallback(nullptr);
  check(loggedLevel == 3 && sameText(loggedTag, "Zerin::openVR::init") && loggedSuccess,
        "SetLogLineCallback receives init's success line with level and tag");
  check(zerinsimvr_IsInitialized(), "init initialised the simulated runtime");
  check(zerinsimvr_CountCallsTo("VR_InitInternal2") == 1, "init called VR_InitInternal2 once");
  check(api::isIVRSystemValid(), "isIVRSystemValid is true after init");
  check(api::ButtonMaskFromId(vr::k_EButton_Axis1) == uint64_t{1} << 33, "ButtonMaskFromId(33) is bit 33");
  check(api::ButtonMaskFromId(static_cast<vr::EVRButtonId>(66)) == uint64_t{1} << 2, "ButtonMaskFromId wraps at 64");
}

void matrices(vr::IVRSystem& runtime) {
  const vr::EVREye eyes[] = {vr::Eye_Left, vr::Eye_Right};
  for (const vr::EVREye eye : eyes) {
    zerinsimvr_ClearCalls();
    const vr::HmdMatrix34_t m = api::GetEyeToHeadTransform(eye);
    const uint64_t arguments[] = {encoded(static_cast<int32_t>(eye))};
    check(calledOnce("GetEyeToHeadTransform", 1, arguments), "GetEyeToHeadTransform forwards the eye");
    check(sameMatrix(m, runtime.GetEyeToHeadTransform(eye)), "GetEyeToHeadTransform returns the runtime's matrix");
    check(m.m[0][3] == (eye == vr::Eye_Left ? -0.032f : 0.032f) && m.m[0][0] == 1.0f && m.m[2][3] == 0.015f,
          "GetEyeToHeadTransform holds the eye's offset");
  }

  zerinsimvr_ClearCalls();
  api::ResetSeatedZeroPose();
  check(calledOnce("ResetSeatedZeroPose", 0, nullptr), "ResetSeatedZeroPose reaches the runtime");

  zerinsimvr_ClearCalls();
  const vr::HmdMatrix34_t seated = api::GetSeatedZeroPoseToStandingAbsoluteTrackingPose();
  check(calledOnce("GetSeatedZeroPoseToStandingAbsoluteTrackingPose", 0, nullptr),
        "GetSeatedZeroPoseToStandingAbsoluteTrackingPose reaches the runtime");
  check(sameMatrix(seated, runtime.GetSeatedZeroPoseToStandingAbsoluteTrackingPose()),
        "GetSeatedZeroPoseToStandingAbsoluteTrackingPose returns the runtime's matrix");
  check(seated.m[1][3] > 1.6f && seated.m[1][3] < 1.8f, "the seated zero pose is at the head's height");

  vr::ETrackedPropertyError error = vr::TrackedProp_NotYetAvailable;
  zerinsimvr_ClearCalls();
  const vr::HmdMatrix34_t display =
      api::GetMatrix34TrackedDeviceProperty(2, vr::Prop_StatusDisplayTransform_Matrix34, &error);
  const uint64_t arguments[] = {encoded(2u), encoded(static_cast<int32_t>(vr::Prop_StatusDisplayTransform_Matrix34)),
                                encoded(&error)};
  check(calledOnce("GetMatrix34TrackedDeviceProperty", 3, arguments), "GetMatrix34TrackedDeviceProperty forwards");
  check(error == vr::TrackedProp_Success, "GetMatrix34TrackedDeviceProperty passes the error back");
  vr::ETrackedPropertyError directError;
  check(sameMatrix(display, runtime.GetMatrix34TrackedDeviceProperty(2, vr::Prop_StatusDisplayTransform_Matrix34,
                                                                     &directError)),
        "GetMatrix34TrackedDeviceProperty returns the runtime's matrix");
  check(display.m[0][3] == 0.03f, "GetMatrix34TrackedDeviceProperty holds the display's offset");
}

void posesAndDevices(vr::IVRSystem& runtime) {
  zerinsimvr_ClearCalls();
  api::GetDeviceToAbsoluteTrackingPose(vr::TrackingUniverseStanding, 0.011f, poses, vr::k_unMaxTrackedDeviceCount);
  const uint64_t poseArguments[] = {encoded(static_cast<int32_t>(vr::TrackingUniverseStanding)), encoded(0.011f),
                                    encoded(&poses[0]), encoded(vr::k_unMaxTrackedDeviceCount)};
  check(calledOnce("GetDeviceToAbsoluteTrackingPose", 4, poseArguments),
        "GetDeviceToAbsoluteTrackingPose forwards origin, prediction, poses and count");
  runtime.GetDeviceToAbsoluteTrackingPose(vr::TrackingUniverseStanding, 0.011f, expectedPoses,
                                          vr::k_unMaxTrackedDeviceCount);
  check(sameBytes(poses, expectedPoses, sizeof poses), "GetDeviceToAbsoluteTrackingPose writes the runtime's poses");
  check(poses[3].bDeviceIsConnected && !poses[4].bDeviceIsConnected, "four devices are connected");

  uint32_t indices[4] = {99, 99, 99, 99};
  zerinsimvr_ClearCalls();
  check(api::GetSortedTrackedDeviceIndicesOfClass(vr::TrackedDeviceClass_Controller, indices, 4,
                                                  vr::k_unTrackedDeviceIndexInvalid) == 2,
        "GetSortedTrackedDeviceIndicesOfClass counts two controllers");
  const uint64_t sortedArguments[] = {encoded(static_cast<int32_t>(vr::TrackedDeviceClass_Controller)),
                                      encoded(&indices[0]), encoded(4u), encoded(vr::k_unTrackedDeviceIndexInvalid)};
  check(calledOnce("GetSortedTrackedDeviceIndicesOfClass", 4, sortedArguments),
        "GetSortedTrackedDeviceIndicesOfClass forwards");
  check(indices[0] == 2 && indices[1] == 1 && indices[2] == 99, "GetSortedTrackedDeviceIndicesOfClass writes 2, 1");

  uint64_t result = 0;
  zerinsimvr_ClearCalls();
  const vr::EDeviceActivityLevel level = api::GetTrackedDeviceActivityLevel(0);
  const uint64_t device0[] = {encoded(0u)};
  check(calledOnce("GetTrackedDeviceActivityLevel", 1, device0, &result) &&
            level == vr::k_EDeviceActivityLevel_UserInteraction && encoded(static_cast<int32_t>(level)) == result,
        "GetTrackedDeviceActivityLevel");

  vr::HmdMatrix34_t shift{};
  shift.m[0][0] = shift.m[1][1] = shift.m[2][2] = 1.0f;
  shift.m[1][3] = -1.0f;
  vr::TrackedDevicePose_t output{};
  vr::TrackedDevicePose_t expectedOutput{};
  zerinsimvr_ClearCalls();
  api::ApplyTransform(&output, &poses[1], &shift);
  const uint64_t transformArguments[] = {encoded(&output), encoded(&poses[1]), encoded(&shift)};
  check(calledOnce("ApplyTransform", 3, transformArguments), "ApplyTransform forwards");
  runtime.ApplyTransform(&expectedOutput, &poses[1], &shift);
  check(sameBytes(&output, &expectedOutput, sizeof output) && output.bPoseIsValid,
        "ApplyTransform writes the runtime's pose");

  zerinsimvr_ClearCalls();
  const uint32_t right = api::GetTrackedDeviceIndexForControllerRole(vr::TrackedControllerRole_RightHand);
  const uint64_t roleArguments[] = {encoded(static_cast<int32_t>(vr::TrackedControllerRole_RightHand))};
  check(calledOnce("GetTrackedDeviceIndexForControllerRole", 1, roleArguments) && right == 2,
        "GetTrackedDeviceIndexForControllerRole");

  zerinsimvr_ClearCalls();
  const vr::ETrackedControllerRole role = api::GetControllerRoleForTrackedDeviceIndex(1);
  const uint64_t device1[] = {encoded(1u)};
  check(calledOnce("GetControllerRoleForTrackedDeviceIndex", 1, device1) && role == vr::TrackedControllerRole_LeftHand,
        "GetControllerRoleForTrackedDeviceIndex");

  zerinsimvr_ClearCalls();
  const vr::ETrackedDeviceClass deviceClass = api::GetTrackedDeviceClass(0);
  check(calledOnce("GetTrackedDeviceClass", 1, device0) && deviceClass == vr::TrackedDeviceClass_HMD,
        "GetTrackedDeviceClass");

  zerinsimvr_ClearCalls();
  const bool connected = api::IsTrackedDeviceConnected(3);
  const uint64_t device3[] = {encoded(3u)};
  check(calledOnce("IsTrackedDeviceConnected", 1, device3) && connected && !api::IsTrackedDeviceConnected(4),
        "IsTrackedDeviceConnected");
}

void properties(vr::IVRSystem& runtime) {
  vr::ETrackedPropertyError error = vr::TrackedProp_NotYetAvailable;
  uint64_t result = 0;

  zerinsimvr_ClearCalls();
  const bool wireless = api::GetBoolTrackedDeviceProperty(1, vr::Prop_DeviceIsWireless_Bool, &error);
  const uint64_t boolArguments[] = {encoded(1u), encoded(static_cast<int32_t>(vr::Prop_DeviceIsWireless_Bool)),
                                    encoded(&error)};
  check(calledOnce("GetBoolTrackedDeviceProperty", 3, boolArguments) && wireless && error == vr::TrackedProp_Success,
        "GetBoolTrackedDeviceProperty");

  zerinsimvr_ClearCalls();
  const float battery = api::GetFloatTrackedDeviceProperty(1, vr::Prop_DeviceBatteryPercentage_Float, &error);
  const uint64_t floatArguments[] = {encoded(1u), encoded(static_cast<int32_t>(vr::Prop_DeviceBatteryPercentage_Float)),
                                     encoded(&error)};
  check(calledOnce("GetFloatTrackedDeviceProperty", 3, floatArguments, &result) && battery == 0.85f &&
            encoded(battery) == result,
        "GetFloatTrackedDeviceProperty");

  zerinsimvr_ClearCalls();
  const int32_t trackerClass = api::GetInt32TrackedDeviceProperty(3, vr::Prop_DeviceClass_Int32, &error);
  const uint64_t intArguments[] = {encoded(3u), encoded(static_cast<int32_t>(vr::Prop_DeviceClass_Int32)),
                                   encoded(&error)};
  check(calledOnce("GetInt32TrackedDeviceProperty", 3, intArguments) &&
            trackerClass == vr::TrackedDeviceClass_GenericTracker,
        "GetInt32TrackedDeviceProperty");

  zerinsimvr_ClearCalls();
  const uint64_t revision = api::GetUint64TrackedDeviceProperty(2, vr::Prop_HardwareRevision_Uint64, &error);
  const uint64_t uintArguments[] = {encoded(2u), encoded(static_cast<int32_t>(vr::Prop_HardwareRevision_Uint64)),
                                    encoded(&error)};
  check(calledOnce("GetUint64TrackedDeviceProperty", 3, uintArguments, &result) && revision == result &&
            revision > 0xFFFFFFFFull,
        "GetUint64TrackedDeviceProperty returns all 64 bits");

  char model[128];
  char expectedModel[128];
  zerinsimvr_ClearCalls();
  const uint32_t length = api::GetStringTrackedDeviceProperty(1, vr::Prop_ModelNumber_String, model, sizeof model, &error);
  const uint64_t stringArguments[] = {encoded(1u), encoded(static_cast<int32_t>(vr::Prop_ModelNumber_String)),
                                      encoded(&model[0]), encoded(static_cast<uint32_t>(sizeof model)), encoded(&error)};
  check(calledOnce("GetStringTrackedDeviceProperty", 5, stringArguments), "GetStringTrackedDeviceProperty forwards");
  vr::ETrackedPropertyError directError;
  const uint32_t expectedLength = runtime.GetStringTrackedDeviceProperty(1, vr::Prop_ModelNumber_String, expectedModel,
                                                                         sizeof expectedModel, &directError);
  check(length == expectedLength && length > 1 && sameText(model, expectedModel),
        "GetStringTrackedDeviceProperty writes the runtime's text");

  zerinsimvr_ClearCalls();
  const char* errorName = api::GetPropErrorNameFromEnum(vr::TrackedProp_BufferTooSmall);
  const uint64_t errorArguments[] = {encoded(static_cast<int32_t>(vr::TrackedProp_BufferTooSmall))};
  check(calledOnce("GetPropErrorNameFromEnum", 1, errorArguments, &result) && encoded(errorName) == result &&
            sameText(errorName, "TrackedProp_BufferTooSmall"),
        "GetPropErrorNameFromEnum");
}

void eventsAndControllers(vr::IVRSystem& runtime) {
  vr::VREvent_t event{};
  while (runtime.PollNextEvent(&event, sizeof event)) {
  }  // the activations that init queued
  zerinsimvr_QueueEvent(vr::VREvent_ButtonPress, 1, vr::k_EButton_Grip);
  zerinsimvr_ClearCalls();
  const bool polled = api::PollNextEvent(&event, sizeof event);
  const uint64_t pollArguments[] = {encoded(&event), encoded(static_cast<uint32_t>(sizeof event))};
  check(calledOnce("PollNextEvent", 2, pollArguments) && polled, "PollNextEvent forwards and finds the event");
  check(event.eventType == vr::VREvent_ButtonPress && event.trackedDeviceIndex == 1 &&
            event.data.controller.button == vr::k_EButton_Grip,
        "PollNextEvent writes the queued event");

  vr::TrackedDevicePose_t pose{};
  zerinsimvr_QueueEvent(vr::VREvent_ButtonUnpress, 2, vr::k_EButton_A);
  zerinsimvr_ClearCalls();
  const bool polledWithPose = api::PollNextEventWithPose(vr::TrackingUniverseStanding, &event, sizeof event, &pose);
  const uint64_t poseArguments[] = {encoded(static_cast<int32_t>(vr::TrackingUniverseStanding)), encoded(&event),
                                    encoded(static_cast<uint32_t>(sizeof event)), encoded(&pose)};
  check(calledOnce("PollNextEventWithPose", 4, poseArguments) && polledWithPose,
        "PollNextEventWithPose forwards and finds the event");
  runtime.GetDeviceToAbsoluteTrackingPose(vr::TrackingUniverseStanding, 0.0f, expectedPoses, 3);
  check(event.eventType == vr::VREvent_ButtonUnpress && event.trackedDeviceIndex == 2 &&
            sameBytes(&pose, &expectedPoses[2], sizeof pose),
        "PollNextEventWithPose writes the event and its device's pose");

  uint64_t result = 0;
  zerinsimvr_ClearCalls();
  const char* typeName = api::GetEventTypeNameFromEnum(vr::VREvent_ButtonPress);
  const uint64_t typeArguments[] = {encoded(static_cast<int32_t>(vr::VREvent_ButtonPress))};
  check(calledOnce("GetEventTypeNameFromEnum", 1, typeArguments, &result) && encoded(typeName) == result &&
            sameText(typeName, "VREvent_ButtonPress"),
        "GetEventTypeNameFromEnum");

  zerinsimvr_SetButton(1, vr::k_EButton_Axis1, true, true);
  vr::VRControllerState001_t state{};
  vr::VRControllerState001_t expectedState{};
  zerinsimvr_ClearCalls();
  const bool stateRead = api::GetControllerState(1, &state, sizeof state);
  const uint64_t stateArguments[] = {encoded(1u), encoded(&state), encoded(static_cast<uint32_t>(sizeof state))};
  check(calledOnce("GetControllerState", 3, stateArguments) && stateRead, "GetControllerState forwards");
  runtime.GetControllerState(1, &expectedState, sizeof expectedState);
  check(sameBytes(&state, &expectedState, sizeof state) && state.ulButtonPressed == uint64_t{1} << 33,
        "GetControllerState writes the runtime's state");

  zerinsimvr_ClearCalls();
  const bool stateWithPose =
      api::GetControllerStateWithPose(vr::TrackingUniverseStanding, 2, &state, sizeof state, &pose);
  const uint64_t stateWithPoseArguments[] = {encoded(static_cast<int32_t>(vr::TrackingUniverseStanding)), encoded(2u),
                                             encoded(&state), encoded(static_cast<uint32_t>(sizeof state)),
                                             encoded(&pose)};
  check(calledOnce("GetControllerStateWithPose", 5, stateWithPoseArguments) && stateWithPose,
        "GetControllerStateWithPose forwards");
  runtime.GetControllerState(2, &expectedState, sizeof expectedState);
  check(sameBytes(&state, &expectedState, sizeof state) && sameBytes(&pose, &expectedPoses[2], sizeof pose),
        "GetControllerStateWithPose writes the runtime's state and pose");

  zerinsimvr_ClearCalls();
  api::TriggerHapticPulse(2, 1, 65000);
  const uint64_t pulseArguments[] = {encoded(2u), encoded(1u), encoded(65000u)};
  ZerinSimVRHapticPulse pulse{};
  check(calledOnce("TriggerHapticPulse", 3, pulseArguments) && zerinsimvr_HapticPulseCount() == 1 &&
            zerinsimvr_GetHapticPulse(0, &pulse) && pulse.deviceIndex == 2 && pulse.axisId == 1 &&
            pulse.durationMicroseconds == 65000,
        "TriggerHapticPulse");

  zerinsimvr_ClearCalls();
  const char* buttonName = api::GetButtonIdNameFromEnum(vr::k_EButton_Grip);
  const uint64_t buttonArguments[] = {encoded(static_cast<int32_t>(vr::k_EButton_Grip))};
  check(calledOnce("GetButtonIdNameFromEnum", 1, buttonArguments, &result) && encoded(buttonName) == result &&
            sameText(buttonName, "k_EButton_Grip"),
        "GetButtonIdNameFromEnum");

  zerinsimvr_ClearCalls();
  const char* axisName = api::GetControllerAxisTypeNameFromEnum(vr::k_eControllerAxis_Joystick);
  const uint64_t axisArguments[] = {encoded(static_cast<int32_t>(vr::k_eControllerAxis_Joystick))};
  check(calledOnce("GetControllerAxisTypeNameFromEnum", 1, axisArguments, &result) && encoded(axisName) == result &&
            sameText(axisName, "k_eControllerAxis_Joystick"),
        "GetControllerAxisTypeNameFromEnum");
}

void afterShutdown() {
  zerinsimvr_ClearCalls();
  api::shutdown();
  check(zerinsimvr_CountCallsTo("VR_ShutdownInternal") == 1 && !zerinsimvr_IsInitialized(),
        "shutdown shuts the runtime down");
  check(!api::isIVRSystemValid(), "isIVRSystemValid is false after shutdown");
  check(api::ButtonMaskFromId(vr::k_EButton_Axis1) == 0, "ButtonMaskFromId is 0 after shutdown");
}

}  // namespace

extern "C" int zerinMsvcCallerMain() {
  zerinsimvr_Reset();
  zerinsimvr_FreezeClock(12.5);
  beforeInit();
  lifecycle();
  if (api::isIVRSystemValid()) {
    vr::IVRSystem& runtime = *zerinsimvr_System();
    matrices(runtime);
    posesAndDevices(runtime);
    properties(runtime);
    eventsAndControllers(runtime);
  }
  afterShutdown();
  printNumber(checks);
  print(" checks, ");
  printNumber(failures);
  print(" failed\n");
  return failures;
}
