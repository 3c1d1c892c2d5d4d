// The library's lifecycle: init in every runtime mode with its log lines and calls, shutdown,
// and what every export does while OpenVR is not initialised.
#include <array>

#include "openvr_test_support.h"

namespace {

using namespace ZerinOpenVRTest;
namespace api = Zerin::openVR;

using Lines = std::vector<std::string>;
using Names = std::vector<std::string>;

const std::string kInitialize = " --- [Zerin::openVR::init] Initialize OpenVR";
const std::string kSuccess = " --- [Zerin::openVR::init] Init success: true";
const Names kSuccessfulInitCalls = {"VR_IsRuntimeInstalled", "VR_IsHmdPresent", "VR_InitInternal2",
                                    "VR_IsInterfaceVersionValid", "VR_GetGenericInterface"};

class Lifecycle : public TrackerLinkTest {};

TEST_F(Lifecycle, InitSucceedsAsABackgroundApplicationAndLogsBothLines) {
  zerinsimvr_ClearCalls();
  EXPECT_TRUE(api::init());
  EXPECT_TRUE(api::isIVRSystemValid());
  EXPECT_EQ(initLines(), (Lines{kInitialize, kSuccess}));

  const auto calls = recordedCalls();
  ASSERT_EQ(recordedCallNames(), kSuccessfulInitCalls);
  const ZerinSimVRCall& initCall = calls[2];
  ASSERT_EQ(initCall.argumentCount, 3u);
  EXPECT_NE(initCall.arguments[0], 0u) << "the error goes to a variable";
  EXPECT_EQ(initCall.arguments[1], 3u) << "VRApplication_Background";
  EXPECT_EQ(initCall.arguments[2], 0u) << "no start-up information";
  EXPECT_STREQ(calls[3].text, "IVRSystem_017");
  EXPECT_STREQ(calls[4].text, "IVRSystem_017");
  EXPECT_NE(calls[4].result, 0u);
  EXPECT_TRUE(zerinsimvr_IsInitialized());
}

TEST_F(Lifecycle, TheHeldInterfaceIsTheOneTheRuntimeHandedOut) {
  ASSERT_TRUE(api::init());
  zerinsimvr_ClearCalls();
  // The runtime's own interface answers; no other object stands between.
  EXPECT_EQ(api::GetTrackedDeviceClass(3), vr::TrackedDeviceClass_GenericTracker);
  EXPECT_EQ(zerinsimvr_CountCallsTo("GetTrackedDeviceClass"), 1u);
}

TEST_F(Lifecycle, NoRuntimeFailsAndKeepsAnInterfaceHeldBefore) {
  ASSERT_TRUE(api::init());
  ZerinTest::clearCaptures();
  zerinsimvr_ClearCalls();
  zerinsimvr_SetMode(ZerinSimVRMode_NoRuntime, vr::VRInitError_None);

  EXPECT_FALSE(api::init());
  EXPECT_EQ(initLines(), (Lines{kInitialize, " ERR [Zerin::openVR::init] No runtime installed"}));
  EXPECT_EQ(recordedCallNames(), (Names{"VR_IsRuntimeInstalled"}));
  EXPECT_TRUE(api::isIVRSystemValid());
  zerinsimvr_ClearCalls();
  EXPECT_TRUE(api::IsTrackedDeviceConnected(1));
  EXPECT_EQ(zerinsimvr_CountCallsTo("IsTrackedDeviceConnected"), 1u);
}

TEST_F(Lifecycle, NoRuntimeBeforeAnyInitLeavesNoInterface) {
  zerinsimvr_SetMode(ZerinSimVRMode_NoRuntime, vr::VRInitError_None);
  EXPECT_FALSE(api::init());
  EXPECT_FALSE(api::isIVRSystemValid());
  EXPECT_EQ(initLines(), (Lines{kInitialize, " ERR [Zerin::openVR::init] No runtime installed"}));
}

TEST_F(Lifecycle, NoHmdFailsAndDropsTheInterface) {
  ASSERT_TRUE(api::init());
  ZerinTest::clearCaptures();
  zerinsimvr_ClearCalls();
  zerinsimvr_SetMode(ZerinSimVRMode_NoHmd, vr::VRInitError_None);

  EXPECT_FALSE(api::init());
  EXPECT_EQ(initLines(), (Lines{kInitialize, " ERR [Zerin::openVR::init] No HMD present"}));
  EXPECT_EQ(recordedCallNames(), (Names{"VR_IsRuntimeInstalled", "VR_IsHmdPresent"}));
  EXPECT_FALSE(api::isIVRSystemValid());
  EXPECT_EQ(api::GetTrackedDeviceActivityLevel(0), vr::k_EDeviceActivityLevel_Unknown);
}

TEST_F(Lifecycle, AnInitErrorIsLoggedWithItsCode) {
  for (const auto code : {108, 1000, -2}) {
    ASSERT_TRUE(api::init());
    ZerinTest::clearCaptures();
    zerinsimvr_SetMode(ZerinSimVRMode_InitError, static_cast<vr::EVRInitError>(code));
    EXPECT_FALSE(api::init());
    EXPECT_EQ(initLines(),
              (Lines{kInitialize, " ERR [Zerin::openVR::init] Failed to initialize openVR: " + std::to_string(code)}));
    EXPECT_FALSE(api::isIVRSystemValid());
    zerinsimvr_SetMode(ZerinSimVRMode_Normal, vr::VRInitError_None);
  }
}

TEST_F(Lifecycle, ARuntimeWithoutTheSystemVersionFailsWith105AndIsShutDownAgain) {
  zerinsimvr_SetMode(ZerinSimVRMode_NoSystemInterface, vr::VRInitError_None);
  zerinsimvr_ClearCalls();
  EXPECT_FALSE(api::init());
  EXPECT_EQ(initLines(), (Lines{kInitialize, " ERR [Zerin::openVR::init] Failed to initialize openVR: 105"}));
  EXPECT_EQ(recordedCallNames(), (Names{"VR_IsRuntimeInstalled", "VR_IsHmdPresent", "VR_InitInternal2",
                                        "VR_IsInterfaceVersionValid", "VR_ShutdownInternal"}));
  EXPECT_FALSE(api::isIVRSystemValid());
  EXPECT_FALSE(zerinsimvr_IsInitialized());
}

TEST_F(Lifecycle, AnInterfaceQueryAnsweringNullIsNotASuccess) {
  ASSERT_TRUE(api::init());
  ZerinTest::clearCaptures();
  zerinsimvr_SetMode(ZerinSimVRMode_NullSystem, vr::VRInitError_None);
  EXPECT_FALSE(api::init());
  EXPECT_EQ(initLines(), (Lines{kInitialize, " ERR [Zerin::openVR::init] VR system is not valid"}));
  EXPECT_FALSE(api::isIVRSystemValid());
}

TEST_F(Lifecycle, ShutdownWithoutInitStillShutsTheRuntimeDown) {
  zerinsimvr_ClearCalls();
  api::shutdown();
  EXPECT_EQ(recordedCallNames(), (Names{"VR_ShutdownInternal"}));
  EXPECT_FALSE(api::isIVRSystemValid());
  EXPECT_TRUE(initLines().empty());
}

TEST_F(Lifecycle, ShutdownDropsTheInterfaceAndInitAfterItRunsTheWholeSequenceAgain) {
  zerinsimvr_ClearCalls();
  ASSERT_TRUE(api::init());
  api::shutdown();
  EXPECT_FALSE(api::isIVRSystemValid());
  EXPECT_FALSE(zerinsimvr_IsInitialized());
  ASSERT_TRUE(api::init());

  Names expected = kSuccessfulInitCalls;
  expected.push_back("VR_ShutdownInternal");
  expected.insert(expected.end(), kSuccessfulInitCalls.begin(), kSuccessfulInitCalls.end());
  EXPECT_EQ(recordedCallNames(), expected);
  EXPECT_EQ(initLines(), (Lines{kInitialize, kSuccess, kInitialize, kSuccess}));
  EXPECT_TRUE(api::isIVRSystemValid());
}

TEST_F(Lifecycle, InitTwiceInitialisesOpenVRTwiceWithoutCounting) {
  ASSERT_TRUE(api::init());
  ASSERT_TRUE(api::init());
  EXPECT_EQ(zerinsimvr_CountCallsTo("VR_InitInternal2"), 2u);
  EXPECT_EQ(zerinsimvr_CountCallsTo("VR_ShutdownInternal"), 0u);
  api::shutdown();
  EXPECT_FALSE(api::isIVRSystemValid());
}

TEST_F(Lifecycle, ButtonMaskIsZeroWithoutOpenVRAndWrapsAt64) {
  EXPECT_EQ(api::ButtonMaskFromId(vr::k_EButton_Axis1), 0u);
  EXPECT_EQ(api::ButtonMaskFromId(vr::k_EButton_System), 0u);
  ASSERT_TRUE(api::init());
  EXPECT_EQ(api::ButtonMaskFromId(vr::k_EButton_Axis1), uint64_t{1} << 33);
  EXPECT_EQ(api::ButtonMaskFromId(vr::k_EButton_System), 1u);
  EXPECT_EQ(api::ButtonMaskFromId(static_cast<vr::EVRButtonId>(63)), uint64_t{1} << 63);
  EXPECT_EQ(api::ButtonMaskFromId(vr::k_EButton_Max), 1u);
  EXPECT_EQ(api::ButtonMaskFromId(static_cast<vr::EVRButtonId>(97)), uint64_t{1} << 33);
  EXPECT_EQ(api::ButtonMaskFromId(static_cast<vr::EVRButtonId>(127)), uint64_t{1} << 63);
  EXPECT_EQ(api::ButtonMaskFromId(static_cast<vr::EVRButtonId>(-1)), uint64_t{1} << 63);
  api::shutdown();
  EXPECT_EQ(api::ButtonMaskFromId(vr::k_EButton_Axis1), 0u);
}

// Filled with this byte, an output that a call touches shows it.
constexpr unsigned char kUntouched = 0xA5;

template <typename T>
T untouched() {
  T value;
  std::memset(&value, kUntouched, sizeof value);
  return value;
}

template <typename T>
bool stillUntouched(const T& value) {
  const T reference = untouched<T>();
  return sameBytes(&value, &reference, sizeof value);
}

bool isZeroMatrix(const vr::HmdMatrix34_t& m) {
  for (const auto& row : m.m)
    for (float element : row)
      if (element != 0.0f) return false;
  return true;
}

// Runs every export once and checks its default; no output may change, nothing may reach OpenVR.
void expectDefaultsEverywhere() {
  zerinsimvr_ClearCalls();
  std::array<vr::TrackedDevicePose_t, 4> poses;
  std::memset(poses.data(), kUntouched, sizeof poses);
  api::GetDeviceToAbsoluteTrackingPose(vr::TrackingUniverseStanding, 0.02f, poses.data(), 4);
  for (const auto& pose : poses) EXPECT_TRUE(stillUntouched(pose));

  api::ResetSeatedZeroPose();
  EXPECT_TRUE(isZeroMatrix(api::GetEyeToHeadTransform(vr::Eye_Right)));
  EXPECT_TRUE(isZeroMatrix(api::GetSeatedZeroPoseToStandingAbsoluteTrackingPose()));

  std::array<uint32_t, 3> indices;
  std::memset(indices.data(), kUntouched, sizeof indices);
  EXPECT_EQ(api::GetSortedTrackedDeviceIndicesOfClass(vr::TrackedDeviceClass_Controller, indices.data(), 3,
                                                       vr::k_unTrackedDeviceIndex_Hmd),
            0u);
  for (const auto index : indices) EXPECT_TRUE(stillUntouched(index));

  EXPECT_EQ(api::GetTrackedDeviceActivityLevel(0), -1);
  auto output = untouched<vr::TrackedDevicePose_t>();
  const vr::TrackedDevicePose_t input{};
  const vr::HmdMatrix34_t transform{};
  api::ApplyTransform(&output, &input, &transform);
  EXPECT_TRUE(stillUntouched(output));

  EXPECT_EQ(api::GetTrackedDeviceIndexForControllerRole(vr::TrackedControllerRole_LeftHand), 0u);
  EXPECT_EQ(api::GetControllerRoleForTrackedDeviceIndex(1), 0);
  EXPECT_EQ(api::GetTrackedDeviceClass(0), 0);
  EXPECT_FALSE(api::IsTrackedDeviceConnected(0));

  auto error = untouched<vr::ETrackedPropertyError>();
  EXPECT_FALSE(api::GetBoolTrackedDeviceProperty(1, vr::Prop_DeviceIsWireless_Bool, &error));
  EXPECT_EQ(api::GetFloatTrackedDeviceProperty(1, vr::Prop_DeviceBatteryPercentage_Float, &error), 0.0f);
  EXPECT_EQ(api::GetInt32TrackedDeviceProperty(1, vr::Prop_DeviceClass_Int32, &error), 0);
  EXPECT_EQ(api::GetUint64TrackedDeviceProperty(1, vr::Prop_SupportedButtons_Uint64, &error), 0u);
  EXPECT_TRUE(isZeroMatrix(api::GetMatrix34TrackedDeviceProperty(0, vr::Prop_StatusDisplayTransform_Matrix34, &error)));
  char buffer[16];
  std::memset(buffer, kUntouched, sizeof buffer);
  EXPECT_EQ(api::GetStringTrackedDeviceProperty(0, vr::Prop_SerialNumber_String, buffer, sizeof buffer, &error), 0u);
  for (const char c : buffer) EXPECT_EQ(static_cast<unsigned char>(c), kUntouched);
  EXPECT_TRUE(stillUntouched(error));
  EXPECT_EQ(api::GetPropErrorNameFromEnum(vr::TrackedProp_Success), nullptr);

  auto event = untouched<vr::VREvent_t>();
  auto pose = untouched<vr::TrackedDevicePose_t>();
  EXPECT_FALSE(api::PollNextEvent(&event, sizeof event));
  EXPECT_FALSE(api::PollNextEventWithPose(vr::TrackingUniverseStanding, &event, sizeof event, &pose));
  EXPECT_TRUE(stillUntouched(event));
  EXPECT_EQ(api::GetEventTypeNameFromEnum(vr::VREvent_ButtonPress), nullptr);

  auto state = untouched<vr::VRControllerState001_t>();
  EXPECT_FALSE(api::GetControllerState(1, &state, sizeof state));
  EXPECT_FALSE(api::GetControllerStateWithPose(vr::TrackingUniverseSeated, 1, &state, sizeof state, &pose));
  EXPECT_TRUE(stillUntouched(state));
  EXPECT_TRUE(stillUntouched(pose));

  api::TriggerHapticPulse(1, 0, 500);
  EXPECT_EQ(api::GetButtonIdNameFromEnum(vr::k_EButton_Grip), nullptr);
  EXPECT_EQ(api::GetControllerAxisTypeNameFromEnum(vr::k_eControllerAxis_Trigger), nullptr);
  EXPECT_EQ(api::ButtonMaskFromId(vr::k_EButton_Axis1), 0u);

  EXPECT_EQ(recordedCallNames(), Names{}) << "nothing may reach OpenVR";
  EXPECT_EQ(zerinsimvr_HapticPulseCount(), 0u);
  EXPECT_TRUE(linesTagged("Zerin::openVR::init").empty()) << "forwards never log";
}

TEST_F(Lifecycle, BeforeInitEveryExportReturnsItsDefaultAndTouchesNoOutput) {
  ASSERT_FALSE(api::isIVRSystemValid());
  expectDefaultsEverywhere();
}

TEST_F(Lifecycle, AfterShutdownEveryExportIsBackToItsDefault) {
  ASSERT_TRUE(api::init());
  api::shutdown();
  ZerinTest::clearCaptures();
  expectDefaultsEverywhere();
}

TEST_F(Lifecycle, AfterAFailedInitEveryExportIsAtItsDefault) {
  ASSERT_TRUE(api::init());
  zerinsimvr_SetMode(ZerinSimVRMode_InitError, static_cast<vr::EVRInitError>(108));
  ASSERT_FALSE(api::init());
  ZerinTest::clearCaptures();
  expectDefaultsEverywhere();
}

}  // namespace
