// After init, each export reaches the simulated runtime's method of the same name with its
// arguments unchanged and hands back exactly what the method answered.
#include <cmath>

#include "openvr_test_support.h"

namespace {

using namespace ZerinOpenVRTest;
namespace api = Zerin::openVR;

#if defined(_WIN32)
constexpr uint32_t kPlatformControllerStateSize = 64;
constexpr uint32_t kPlatformEventSize = 40;
#else
constexpr uint32_t kPlatformControllerStateSize = 60;
constexpr uint32_t kPlatformEventSize = 36;
#endif

class Forwarding : public TrackerLinkTest {
 protected:
  void SetUp() override {
    TrackerLinkTest::SetUp();
    initialise();
  }
  vr::IVRSystem& runtime() { return *zerinsimvr_System(); }
};

TEST_F(Forwarding, PosesOfEveryDeviceInTheAskedUniverse) {
  vr::TrackedDevicePose_t poses[vr::k_unMaxTrackedDeviceCount];
  api::GetDeviceToAbsoluteTrackingPose(vr::TrackingUniverseStanding, 0.011f, poses, vr::k_unMaxTrackedDeviceCount);
  expectSingleCall("GetDeviceToAbsoluteTrackingPose", vr::TrackingUniverseStanding, 0.011f, &poses[0],
                   vr::k_unMaxTrackedDeviceCount);

  vr::TrackedDevicePose_t expected[vr::k_unMaxTrackedDeviceCount];
  runtime().GetDeviceToAbsoluteTrackingPose(vr::TrackingUniverseStanding, 0.011f, expected,
                                            vr::k_unMaxTrackedDeviceCount);
  EXPECT_TRUE(sameBytes(poses, expected, sizeof poses));
  for (uint32_t index = 0; index < 4; ++index) {
    EXPECT_TRUE(poses[index].bPoseIsValid) << index;
    EXPECT_TRUE(poses[index].bDeviceIsConnected) << index;
    EXPECT_EQ(poses[index].eTrackingResult, vr::TrackingResult_Running_OK) << index;
  }
  EXPECT_FALSE(poses[4].bDeviceIsConnected);
  EXPECT_NEAR(poses[0].mDeviceToAbsoluteTracking.m[1][3], 1.7f, 0.05f) << "a standing head";
}

TEST_F(Forwarding, SeatedZeroPoseResetsToTheHeadAndComesBackAsAMatrix) {
  api::ResetSeatedZeroPose();
  expectSingleCall("ResetSeatedZeroPose");
  zerinsimvr_ClearCalls();

  const vr::HmdMatrix34_t seatedZero = api::GetSeatedZeroPoseToStandingAbsoluteTrackingPose();
  expectSingleCall("GetSeatedZeroPoseToStandingAbsoluteTrackingPose");
  vr::TrackedDevicePose_t standing[1];
  runtime().GetDeviceToAbsoluteTrackingPose(vr::TrackingUniverseStanding, 0.0f, standing, 1);
  EXPECT_TRUE(sameBytes(&seatedZero, &standing[0].mDeviceToAbsoluteTracking, sizeof seatedZero));

  // Seen from the new seated zero, the head sits at the origin.
  vr::TrackedDevicePose_t seated[1];
  api::GetDeviceToAbsoluteTrackingPose(vr::TrackingUniverseSeated, 0.0f, seated, 1);
  for (int row = 0; row < 3; ++row) EXPECT_NEAR(seated[0].mDeviceToAbsoluteTracking.m[row][3], 0.0f, 1e-5f);
}

TEST_F(Forwarding, EyeToHeadTransformPerEye) {
  const vr::HmdMatrix34_t left = api::GetEyeToHeadTransform(vr::Eye_Left);
  expectSingleCall("GetEyeToHeadTransform", vr::Eye_Left);
  zerinsimvr_ClearCalls();
  const vr::HmdMatrix34_t right = api::GetEyeToHeadTransform(vr::Eye_Right);
  expectSingleCall("GetEyeToHeadTransform", vr::Eye_Right);
  EXPECT_FLOAT_EQ(left.m[0][3], -0.032f);
  EXPECT_FLOAT_EQ(right.m[0][3], 0.032f);
  EXPECT_FLOAT_EQ(right.m[2][3], 0.015f);
  EXPECT_FLOAT_EQ(right.m[0][0], 1.0f);
  const vr::HmdMatrix34_t expected = runtime().GetEyeToHeadTransform(vr::Eye_Right);
  EXPECT_TRUE(sameBytes(&right, &expected, sizeof right));
}

TEST_F(Forwarding, SortedDeviceIndicesOfAClass) {
  uint32_t indices[4] = {99, 99, 99, 99};
  EXPECT_EQ(api::GetSortedTrackedDeviceIndicesOfClass(vr::TrackedDeviceClass_Controller, indices, 4,
                                                      vr::k_unTrackedDeviceIndexInvalid),
            2u);
  expectSingleCall("GetSortedTrackedDeviceIndicesOfClass", vr::TrackedDeviceClass_Controller, &indices[0], 4u,
                   vr::k_unTrackedDeviceIndexInvalid);
  EXPECT_EQ(indices[0], 2u) << "right to left";
  EXPECT_EQ(indices[1], 1u);
  EXPECT_EQ(indices[2], 99u);

  zerinsimvr_ClearCalls();
  uint32_t one[2] = {99, 99};
  EXPECT_EQ(api::GetSortedTrackedDeviceIndicesOfClass(vr::TrackedDeviceClass_Controller, one, 1, 0), 2u);
  expectSingleCall("GetSortedTrackedDeviceIndicesOfClass", vr::TrackedDeviceClass_Controller, &one[0], 1u, 0u);
  EXPECT_EQ(one[1], 99u) << "the count given bounds the writes";
}

TEST_F(Forwarding, ActivityLevelsClassesRolesAndConnection) {
  EXPECT_EQ(api::GetTrackedDeviceActivityLevel(3), vr::k_EDeviceActivityLevel_Idle);
  expectSingleCall("GetTrackedDeviceActivityLevel", 3u);
  zerinsimvr_ClearCalls();
  EXPECT_EQ(api::GetTrackedDeviceActivityLevel(0), vr::k_EDeviceActivityLevel_UserInteraction);
  EXPECT_EQ(api::GetTrackedDeviceActivityLevel(40), vr::k_EDeviceActivityLevel_Unknown);

  zerinsimvr_ClearCalls();
  EXPECT_EQ(api::GetTrackedDeviceIndexForControllerRole(vr::TrackedControllerRole_RightHand), 2u);
  expectSingleCall("GetTrackedDeviceIndexForControllerRole", vr::TrackedControllerRole_RightHand);
  EXPECT_EQ(api::GetTrackedDeviceIndexForControllerRole(vr::TrackedControllerRole_Invalid),
            vr::k_unTrackedDeviceIndexInvalid) << "OpenVR's answer, not the library's default";

  zerinsimvr_ClearCalls();
  EXPECT_EQ(api::GetControllerRoleForTrackedDeviceIndex(1), vr::TrackedControllerRole_LeftHand);
  expectSingleCall("GetControllerRoleForTrackedDeviceIndex", 1u);

  zerinsimvr_ClearCalls();
  EXPECT_EQ(api::GetTrackedDeviceClass(0), vr::TrackedDeviceClass_HMD);
  expectSingleCall("GetTrackedDeviceClass", 0u);
  EXPECT_EQ(api::GetTrackedDeviceClass(2), vr::TrackedDeviceClass_Controller);
  EXPECT_EQ(api::GetTrackedDeviceClass(7), vr::TrackedDeviceClass_Invalid);

  zerinsimvr_ClearCalls();
  EXPECT_TRUE(api::IsTrackedDeviceConnected(3));
  expectSingleCall("IsTrackedDeviceConnected", 3u);
  EXPECT_FALSE(api::IsTrackedDeviceConnected(4));
}

TEST_F(Forwarding, ApplyTransformWritesTheTransformedPose) {
  vr::TrackedDevicePose_t input[1];
  runtime().GetDeviceToAbsoluteTrackingPose(vr::TrackingUniverseStanding, 0.0f, input, 1);
  zerinsimvr_ClearCalls();
  vr::HmdMatrix34_t shift{};
  shift.m[0][0] = shift.m[1][1] = shift.m[2][2] = 1.0f;
  shift.m[1][3] = -1.0f;
  vr::TrackedDevicePose_t output{};
  api::ApplyTransform(&output, &input[0], &shift);
  expectSingleCall("ApplyTransform", &output, static_cast<const vr::TrackedDevicePose_t*>(&input[0]),
                   static_cast<const vr::HmdMatrix34_t*>(&shift));
  EXPECT_FLOAT_EQ(output.mDeviceToAbsoluteTracking.m[1][3], input[0].mDeviceToAbsoluteTracking.m[1][3] - 1.0f);
  EXPECT_FLOAT_EQ(output.mDeviceToAbsoluteTracking.m[0][3], input[0].mDeviceToAbsoluteTracking.m[0][3]);
  EXPECT_TRUE(output.bPoseIsValid);
}

TEST_F(Forwarding, PropertiesOfEveryTypeWithTheirErrors) {
  vr::ETrackedPropertyError error = vr::TrackedProp_NotYetAvailable;
  EXPECT_TRUE(api::GetBoolTrackedDeviceProperty(1, vr::Prop_DeviceIsWireless_Bool, &error));
  expectSingleCall("GetBoolTrackedDeviceProperty", 1u, vr::Prop_DeviceIsWireless_Bool, &error);
  EXPECT_EQ(error, vr::TrackedProp_Success);
  EXPECT_FALSE(api::GetBoolTrackedDeviceProperty(0, vr::Prop_DeviceIsWireless_Bool, &error));

  zerinsimvr_ClearCalls();
  EXPECT_FLOAT_EQ(api::GetFloatTrackedDeviceProperty(1, vr::Prop_DeviceBatteryPercentage_Float, &error), 0.85f);
  expectSingleCall("GetFloatTrackedDeviceProperty", 1u, vr::Prop_DeviceBatteryPercentage_Float, &error);
  EXPECT_EQ(api::GetFloatTrackedDeviceProperty(0, vr::Prop_DeviceBatteryPercentage_Float, &error), 0.0f);
  EXPECT_EQ(error, vr::TrackedProp_ValueNotProvidedByDevice) << "OpenVR's error is passed through";

  zerinsimvr_ClearCalls();
  EXPECT_EQ(api::GetInt32TrackedDeviceProperty(3, vr::Prop_DeviceClass_Int32, &error),
            vr::TrackedDeviceClass_GenericTracker);
  expectSingleCall("GetInt32TrackedDeviceProperty", 3u, vr::Prop_DeviceClass_Int32, &error);
  EXPECT_EQ(api::GetInt32TrackedDeviceProperty(2, vr::Prop_ControllerRoleHint_Int32, &error),
            vr::TrackedControllerRole_RightHand);
  EXPECT_EQ(api::GetInt32TrackedDeviceProperty(0, vr::Prop_Axis0Type_Int32, &error), 0);
  EXPECT_EQ(error, vr::TrackedProp_WrongDeviceClass);

  zerinsimvr_ClearCalls();
  const uint64_t revision = api::GetUint64TrackedDeviceProperty(2, vr::Prop_HardwareRevision_Uint64, &error);
  const ZerinSimVRCall call = expectSingleCall("GetUint64TrackedDeviceProperty", 2u, vr::Prop_HardwareRevision_Uint64,
                                               &error);
  EXPECT_EQ(revision, call.result);
  EXPECT_GT(revision, uint64_t{0xFFFFFFFF}) << "all 64 bits come through";
  EXPECT_NE(api::GetUint64TrackedDeviceProperty(1, vr::Prop_SupportedButtons_Uint64, &error) &
                (uint64_t{1} << vr::k_EButton_Axis1),
            0u);

  zerinsimvr_ClearCalls();
  const vr::HmdMatrix34_t display = api::GetMatrix34TrackedDeviceProperty(2, vr::Prop_StatusDisplayTransform_Matrix34,
                                                                          &error);
  expectSingleCall("GetMatrix34TrackedDeviceProperty", 2u, vr::Prop_StatusDisplayTransform_Matrix34, &error);
  EXPECT_EQ(error, vr::TrackedProp_Success);
  vr::ETrackedPropertyError directError;
  const vr::HmdMatrix34_t expected =
      runtime().GetMatrix34TrackedDeviceProperty(2, vr::Prop_StatusDisplayTransform_Matrix34, &directError);
  EXPECT_TRUE(sameBytes(&display, &expected, sizeof display));
  EXPECT_FLOAT_EQ(display.m[0][3], 0.03f);

  EXPECT_FALSE(api::GetBoolTrackedDeviceProperty(1, vr::Prop_SerialNumber_String, &error));
  EXPECT_EQ(error, vr::TrackedProp_WrongDataType);
  EXPECT_EQ(api::GetInt32TrackedDeviceProperty(1, static_cast<vr::ETrackedDeviceProperty>(4242), &error), 0);
  EXPECT_EQ(error, vr::TrackedProp_UnknownProperty);
  EXPECT_EQ(api::GetUint64TrackedDeviceProperty(9, vr::Prop_HardwareRevision_Uint64, &error), 0u);
  EXPECT_EQ(error, vr::TrackedProp_InvalidDevice);
  EXPECT_TRUE(api::GetBoolTrackedDeviceProperty(1, vr::Prop_DeviceIsCharging_Bool, nullptr)) << "no error wanted";

  zerinsimvr_ClearCalls();
  const char* name = api::GetPropErrorNameFromEnum(vr::TrackedProp_BufferTooSmall);
  const ZerinSimVRCall nameCall = expectSingleCall("GetPropErrorNameFromEnum", vr::TrackedProp_BufferTooSmall);
  EXPECT_EQ(encoded(name), nameCall.result) << "the runtime's own string";
  EXPECT_STREQ(name, "TrackedProp_BufferTooSmall");
}

TEST_F(Forwarding, StringPropertiesIntoSmallAndLargeBuffers) {
  char small[8];
  std::memset(small, '#', sizeof small);
  vr::ETrackedPropertyError error = vr::TrackedProp_Success;
  const uint32_t needed = api::GetStringTrackedDeviceProperty(1, vr::Prop_ModelNumber_String, small, sizeof small, &error);
  expectSingleCall("GetStringTrackedDeviceProperty", 1u, vr::Prop_ModelNumber_String, &small[0], 8u, &error);
  EXPECT_EQ(error, vr::TrackedProp_BufferTooSmall);
  EXPECT_GT(needed, 64u) << "longer than a small buffer";
  EXPECT_EQ(std::string(small, sizeof small), std::string(8, '#'));

  zerinsimvr_ClearCalls();
  std::vector<char> large(needed, '#');
  EXPECT_EQ(api::GetStringTrackedDeviceProperty(1, vr::Prop_ModelNumber_String, large.data(), needed, &error), needed);
  expectSingleCall("GetStringTrackedDeviceProperty", 1u, vr::Prop_ModelNumber_String, large.data(), needed, &error);
  EXPECT_EQ(error, vr::TrackedProp_Success);
  EXPECT_EQ(std::strlen(large.data()) + 1, needed);
  EXPECT_EQ(std::string(large.data()).rfind("Zerin Simulated Motion Controller, left hand", 0), 0u) << large.data();

  EXPECT_EQ(api::GetStringTrackedDeviceProperty(0, vr::Prop_SerialNumber_String, nullptr, 0, &error), 14u)
      << "the size query";
  EXPECT_EQ(error, vr::TrackedProp_BufferTooSmall);
  char serial[14];
  EXPECT_EQ(api::GetStringTrackedDeviceProperty(0, vr::Prop_SerialNumber_String, serial, sizeof serial, &error), 14u);
  EXPECT_STREQ(serial, "ZSIM-HMD-0001");
}

TEST_F(Forwarding, EventsInOrderWithAndWithoutPose) {
  ASSERT_EQ(zerinsimvr_PendingEventCount(), 4u) << "activation of each device";
  vr::VREvent_t event{};
  for (uint32_t index = 0; index < 4; ++index) {
    zerinsimvr_ClearCalls();
    ASSERT_TRUE(api::PollNextEvent(&event, sizeof event));
    expectSingleCall("PollNextEvent", &event, kPlatformEventSize);
    EXPECT_EQ(event.eventType, static_cast<uint32_t>(vr::VREvent_TrackedDeviceActivated));
    EXPECT_EQ(event.trackedDeviceIndex, index);
  }
  EXPECT_FALSE(api::PollNextEvent(&event, sizeof event)) << "queue empty";

  ASSERT_TRUE(zerinsimvr_SetButton(2, vr::k_EButton_Axis1, true, true));
  zerinsimvr_ClearCalls();
  vr::TrackedDevicePose_t pose{};
  ASSERT_TRUE(api::PollNextEventWithPose(vr::TrackingUniverseRawAndUncalibrated, &event, sizeof event, &pose));
  expectSingleCall("PollNextEventWithPose", vr::TrackingUniverseRawAndUncalibrated, &event, kPlatformEventSize, &pose);
  EXPECT_EQ(event.eventType, static_cast<uint32_t>(vr::VREvent_ButtonTouch));
  EXPECT_EQ(event.trackedDeviceIndex, 2u);
  EXPECT_EQ(event.data.controller.button, static_cast<uint32_t>(vr::k_EButton_Axis1));
  vr::TrackedDevicePose_t raw[3];
  runtime().GetDeviceToAbsoluteTrackingPose(vr::TrackingUniverseRawAndUncalibrated, 0.0f, raw, 3);
  EXPECT_TRUE(sameBytes(&pose, &raw[2], sizeof pose)) << "the pose of the event's device";

  // A record of the wrong size is refused and the event stays queued.
  auto wrong = event;
  wrong.eventType = 77;
  EXPECT_FALSE(api::PollNextEvent(&wrong, sizeof wrong - 4));
  EXPECT_EQ(wrong.eventType, 77u);
  ASSERT_TRUE(api::PollNextEvent(&event, sizeof event));
  EXPECT_EQ(event.eventType, static_cast<uint32_t>(vr::VREvent_ButtonPress));

  zerinsimvr_ClearCalls();
  const char* name = api::GetEventTypeNameFromEnum(vr::VREvent_ButtonPress);
  const ZerinSimVRCall call = expectSingleCall("GetEventTypeNameFromEnum", vr::VREvent_ButtonPress);
  EXPECT_EQ(encoded(name), call.result);
  EXPECT_STREQ(name, "VREvent_ButtonPress");
}

TEST_F(Forwarding, ControllerStateHasThePlatformsRecordSizeAndTheButtons) {
  ASSERT_TRUE(zerinsimvr_SetButton(1, vr::k_EButton_Axis1, true, true));
  ASSERT_TRUE(zerinsimvr_SetButton(1, vr::k_EButton_Grip, false, true));
  zerinsimvr_ClearCalls();
  vr::VRControllerState001_t state{};
  ASSERT_TRUE(api::GetControllerState(1, &state, sizeof state));
  expectSingleCall("GetControllerState", 1u, &state, kPlatformControllerStateSize);
  // Copied out first: outside Windows the fields are packed off their natural alignment.
  const uint64_t pressed = state.ulButtonPressed, touched = state.ulButtonTouched;
  EXPECT_EQ(pressed, uint64_t{1} << 33);
  EXPECT_EQ(touched, (uint64_t{1} << 33) | (uint64_t{1} << 2));
  EXPECT_GT(state.unPacketNum, 0u);
  EXPECT_GE(state.rAxis[1].x, 0.0f);
  EXPECT_LE(state.rAxis[1].x, 1.0f);

  zerinsimvr_ClearCalls();
  vr::VRControllerState001_t withPose{};
  vr::TrackedDevicePose_t pose{};
  ASSERT_TRUE(api::GetControllerStateWithPose(vr::TrackingUniverseSeated, 1, &withPose, sizeof withPose, &pose));
  expectSingleCall("GetControllerStateWithPose", vr::TrackingUniverseSeated, 1u, &withPose,
                   kPlatformControllerStateSize, &pose);
  EXPECT_TRUE(sameBytes(&withPose, &state, sizeof state));
  vr::TrackedDevicePose_t seated[2];
  runtime().GetDeviceToAbsoluteTrackingPose(vr::TrackingUniverseSeated, 0.0f, seated, 2);
  EXPECT_TRUE(sameBytes(&pose, &seated[1], sizeof pose));

  EXPECT_FALSE(api::GetControllerState(1, &state, sizeof state - 4)) << "a foreign record size is refused";
  EXPECT_FALSE(api::GetControllerState(12, &state, sizeof state));
}

TEST_F(Forwarding, HapticPulsesReachTheController) {
  api::TriggerHapticPulse(2, 0, 3999);
  expectSingleCall("TriggerHapticPulse", 2u, 0u, 3999u);
  api::TriggerHapticPulse(1, 1, 65535);
  ASSERT_EQ(zerinsimvr_HapticPulseCount(), 2u);
  ZerinSimVRHapticPulse pulse{};
  ASSERT_TRUE(zerinsimvr_GetHapticPulse(0, &pulse));
  EXPECT_EQ(pulse.deviceIndex, 2u);
  EXPECT_EQ(pulse.axisId, 0u);
  EXPECT_EQ(pulse.durationMicroseconds, 3999u);
  EXPECT_DOUBLE_EQ(pulse.atSeconds, 12.5);
  ASSERT_TRUE(zerinsimvr_GetHapticPulse(1, &pulse));
  EXPECT_EQ(pulse.durationMicroseconds, 65535u) << "the whole unsigned short";

  api::TriggerHapticPulse(0, 0, 100);
  EXPECT_EQ(zerinsimvr_HapticPulseCount(), 2u) << "the headset has no actuator";
}

TEST_F(Forwarding, ButtonAndAxisNames) {
  const char* button = api::GetButtonIdNameFromEnum(vr::k_EButton_Axis1);
  const ZerinSimVRCall call = expectSingleCall("GetButtonIdNameFromEnum", vr::k_EButton_Axis1);
  EXPECT_EQ(encoded(button), call.result);
  EXPECT_STREQ(button, "k_EButton_Axis1");

  zerinsimvr_ClearCalls();
  const char* axis = api::GetControllerAxisTypeNameFromEnum(vr::k_eControllerAxis_Trigger);
  const ZerinSimVRCall axisCall = expectSingleCall("GetControllerAxisTypeNameFromEnum", vr::k_eControllerAxis_Trigger);
  EXPECT_EQ(encoded(axis), axisCall.result);
  EXPECT_STREQ(axis, "k_eControllerAxis_Trigger");
}

}  // namespace
