// The exports against a system interface compiled apart from the library: on Windows by clang
// for the MSVC ABI, as the real runtime is. The simulated runtime hands that interface out.
#include "openvr_test_support.h"
#include "probe_system.h"

namespace {

using namespace ZerinOpenVRTest;
namespace api = Zerin::openVR;

class SeparatelyCompiledSystem : public TrackerLinkTest {
 protected:
  void SetUp() override {
    TrackerLinkTest::SetUp();
    zerinsimvr_SetSystemOverride(zerinprobe_System());
    initialise();
  }
  // The probe's last call, checked to be `slot` with these arguments.
  template <typename... Args>
  void expectProbeCall(int32_t slot, Args... arguments) {
    ZerinProbeCall call{};
    zerinprobe_LastCall(&call);
    EXPECT_EQ(call.slot, slot);
    const std::vector<uint64_t> expected{encoded(arguments)...};
    EXPECT_EQ(std::vector<uint64_t>(call.arguments, call.arguments + call.argumentCount), expected) << "slot " << slot;
  }
};

TEST_F(SeparatelyCompiledSystem, IsTheMsvcAbiBuildOnWindows) {
#if defined(_WIN32)
  EXPECT_TRUE(zerinprobe_BuiltForMsvcAbi());
#else
  EXPECT_FALSE(zerinprobe_BuiltForMsvcAbi());
#endif
  EXPECT_TRUE(api::isIVRSystemValid());
}

TEST_F(SeparatelyCompiledSystem, MatrixSlotsReturnTheTwelveValues) {
  for (const auto eye : {vr::Eye_Left, vr::Eye_Right}) {
    const vr::HmdMatrix34_t m = api::GetEyeToHeadTransform(eye);
    expectProbeCall(4, eye);
    for (int row = 0; row < 3; ++row)
      for (int column = 0; column < 4; ++column)
        EXPECT_EQ(m.m[row][column], probeEyeToHeadElement(eye, row, column)) << row << "," << column;
  }

  const vr::HmdMatrix34_t seated = api::GetSeatedZeroPoseToStandingAbsoluteTrackingPose();
  expectProbeCall(13);
  for (int row = 0; row < 3; ++row)
    for (int column = 0; column < 4; ++column)
      EXPECT_EQ(seated.m[row][column], probeSeatedZeroElement(row, column)) << row << "," << column;

  vr::ETrackedPropertyError error = vr::TrackedProp_Success;
  const vr::HmdMatrix34_t property =
      api::GetMatrix34TrackedDeviceProperty(7, vr::Prop_StatusDisplayTransform_Matrix34, &error);
  expectProbeCall(26, 7u, vr::Prop_StatusDisplayTransform_Matrix34, &error);
  EXPECT_EQ(error, static_cast<vr::ETrackedPropertyError>(7));
  for (int row = 0; row < 3; ++row)
    for (int column = 0; column < 4; ++column)
      EXPECT_EQ(property.m[row][column], probePropertyMatrixElement(7, vr::Prop_StatusDisplayTransform_Matrix34, row, column))
          << row << "," << column;
}

TEST_F(SeparatelyCompiledSystem, ScalarSlotsGetTheirArgumentsAndAnswers) {
  vr::TrackedDevicePose_t poses[3]{};
  api::GetDeviceToAbsoluteTrackingPose(vr::TrackingUniverseSeated, 0.25f, poses, 3);
  expectProbeCall(11, vr::TrackingUniverseSeated, 0.25f, &poses[0], 3u);
  EXPECT_EQ(poses[2].mDeviceToAbsoluteTracking.m[1][0], 3.25f);
  EXPECT_EQ(poses[2].eTrackingResult, vr::TrackingResult_Running_OutOfRange);
  EXPECT_TRUE(poses[2].bDeviceIsConnected);

  api::ResetSeatedZeroPose();
  expectProbeCall(12);

  uint32_t indices[3]{};
  EXPECT_EQ(api::GetSortedTrackedDeviceIndicesOfClass(vr::TrackedDeviceClass_GenericTracker, indices, 3, 20), 33u);
  expectProbeCall(15, vr::TrackedDeviceClass_GenericTracker, &indices[0], 3u, 20u);
  EXPECT_EQ(indices[2], 23u);

  EXPECT_EQ(api::GetTrackedDeviceActivityLevel(6), vr::k_EDeviceActivityLevel_UserInteraction_Timeout);
  expectProbeCall(16, 6u);

  vr::TrackedDevicePose_t output{};
  vr::TrackedDevicePose_t input{};
  input.mDeviceToAbsoluteTracking.m[0][0] = 2.0f;
  vr::HmdMatrix34_t transform{};
  transform.m[2][3] = 0.5f;
  api::ApplyTransform(&output, &input, &transform);
  expectProbeCall(17, &output, static_cast<const vr::TrackedDevicePose_t*>(&input),
                  static_cast<const vr::HmdMatrix34_t*>(&transform));
  EXPECT_EQ(output.mDeviceToAbsoluteTracking.m[2][3], 4.5f);

  EXPECT_EQ(api::GetTrackedDeviceIndexForControllerRole(vr::TrackedControllerRole_RightHand), 42u);
  expectProbeCall(18, vr::TrackedControllerRole_RightHand);
  EXPECT_EQ(api::GetControllerRoleForTrackedDeviceIndex(5), vr::TrackedControllerRole_RightHand);
  expectProbeCall(19, 5u);
  EXPECT_EQ(api::GetTrackedDeviceClass(9), vr::TrackedDeviceClass_GenericTracker);
  expectProbeCall(20, 9u);
  EXPECT_TRUE(api::IsTrackedDeviceConnected(3));
  expectProbeCall(21, 3u);
  EXPECT_FALSE(api::IsTrackedDeviceConnected(4));

  vr::ETrackedPropertyError error = vr::TrackedProp_Success;
  EXPECT_TRUE(api::GetBoolTrackedDeviceProperty(3, vr::Prop_DeviceIsWireless_Bool, &error));
  expectProbeCall(22, 3u, vr::Prop_DeviceIsWireless_Bool, &error);
  EXPECT_EQ(error, vr::TrackedProp_BufferTooSmall);
  EXPECT_FLOAT_EQ(api::GetFloatTrackedDeviceProperty(2, vr::Prop_DeviceBatteryPercentage_Float, &error), 2.1012f);
  expectProbeCall(23, 2u, vr::Prop_DeviceBatteryPercentage_Float, &error);
  EXPECT_EQ(api::GetInt32TrackedDeviceProperty(4, vr::Prop_DeviceClass_Int32, &error), -4 * 1029);
  expectProbeCall(24, 4u, vr::Prop_DeviceClass_Int32, &error);
  EXPECT_EQ(api::GetUint64TrackedDeviceProperty(6, vr::Prop_SupportedButtons_Uint64, &error),
            (uint64_t{6} << 40) | 3001u);
  expectProbeCall(25, 6u, vr::Prop_SupportedButtons_Uint64, &error);

  char buffer[32];
  EXPECT_EQ(api::GetStringTrackedDeviceProperty(1, vr::Prop_ModelNumber_String, buffer, sizeof buffer, &error),
            std::strlen(kProbeString) + 1);
  expectProbeCall(27, 1u, vr::Prop_ModelNumber_String, &buffer[0], 32u, &error);
  EXPECT_STREQ(buffer, kProbeString);
  EXPECT_EQ(api::GetStringTrackedDeviceProperty(1, vr::Prop_ModelNumber_String, buffer, 4, &error),
            std::strlen(kProbeString) + 1);
  EXPECT_EQ(error, vr::TrackedProp_BufferTooSmall);

  EXPECT_STREQ(api::GetPropErrorNameFromEnum(vr::TrackedProp_UnknownProperty), "probe:UnknownProperty");
  expectProbeCall(28, vr::TrackedProp_UnknownProperty);
  EXPECT_STREQ(api::GetEventTypeNameFromEnum(vr::VREvent_ButtonPress), "probe:ButtonPress");
  expectProbeCall(31, vr::VREvent_ButtonPress);
  EXPECT_STREQ(api::GetButtonIdNameFromEnum(vr::k_EButton_Grip), "probe:Grip");
  expectProbeCall(36, vr::k_EButton_Grip);
  EXPECT_STREQ(api::GetControllerAxisTypeNameFromEnum(vr::k_eControllerAxis_Joystick), "probe:Joystick");
  expectProbeCall(37, vr::k_eControllerAxis_Joystick);

  api::TriggerHapticPulse(2, 1, 65000);
  expectProbeCall(35, 2u, 1u, 65000u);
}

TEST_F(SeparatelyCompiledSystem, EventAndStateRecordsLayOutAlike) {
  vr::VREvent_t event{};
  ASSERT_TRUE(api::PollNextEvent(&event, sizeof event)) << "the probe refuses a size other than its own";
  expectProbeCall(29, &event, static_cast<uint32_t>(sizeof event));
  EXPECT_EQ(event.eventType, static_cast<uint32_t>(vr::VREvent_ButtonTouch));
  EXPECT_EQ(event.trackedDeviceIndex, 5u);
  EXPECT_EQ(event.eventAgeSeconds, 0.5f);
  EXPECT_EQ(event.data.controller.button, static_cast<uint32_t>(vr::k_EButton_Axis1));
  const uint64_t reserved = event.data.reserved.reserved1;  // packed outside Windows
  EXPECT_EQ(reserved, 0x1122334455667788ull);

  vr::TrackedDevicePose_t pose{};
  ASSERT_TRUE(api::PollNextEventWithPose(vr::TrackingUniverseRawAndUncalibrated, &event, sizeof event, &pose));
  expectProbeCall(30, vr::TrackingUniverseRawAndUncalibrated, &event, static_cast<uint32_t>(sizeof event), &pose);
  EXPECT_EQ(pose.mDeviceToAbsoluteTracking.m[0][0], 2.5f);

  vr::VRControllerState001_t state{};
  ASSERT_TRUE(api::GetControllerState(8, &state, sizeof state));
  expectProbeCall(33, 8u, &state, static_cast<uint32_t>(sizeof state));
  EXPECT_EQ(state.unPacketNum, 1008u);
  const uint64_t pressed = state.ulButtonPressed, touched = state.ulButtonTouched;  // packed outside Windows
  EXPECT_EQ(pressed, (uint64_t{1} << 33) | 1u);
  EXPECT_EQ(touched, uint64_t{1} << 32);
  EXPECT_EQ(state.rAxis[4].x, 1.0f);
  EXPECT_EQ(state.rAxis[4].y, -0.5f);

  ASSERT_TRUE(api::GetControllerStateWithPose(vr::TrackingUniverseStanding, 2, &state, sizeof state, &pose));
  expectProbeCall(34, vr::TrackingUniverseStanding, 2u, &state, static_cast<uint32_t>(sizeof state), &pose);
  EXPECT_EQ(pose.mDeviceToAbsoluteTracking.m[2][0], 4.0f);
}

}  // namespace
