// The simulated runtime itself, where tests of the library lean on it: devices move, velocities
// agree with the motion, button changes queue their events.
#include "openvr_test_support.h"

namespace {

using namespace ZerinOpenVRTest;

class SimulatedRuntime : public TrackerLinkTest {
 protected:
  vr::TrackedDevicePose_t poseAt(double seconds, uint32_t index) {
    zerinsimvr_FreezeClock(seconds);
    vr::TrackedDevicePose_t poses[4];
    zerinsimvr_System()->GetDeviceToAbsoluteTrackingPose(vr::TrackingUniverseStanding, 0.0f, poses, 4);
    return poses[index];
  }
};

TEST_F(SimulatedRuntime, DevicesMoveAndTheirVelocitiesMatchTheMotion) {
  constexpr double kStep = 1e-3;
  for (uint32_t index = 0; index < 4; ++index) {
    const auto before = poseAt(3.0, index);
    const auto after = poseAt(3.0 + kStep, index);
    const auto later = poseAt(4.0, index);
    bool moved = false;
    for (int axis = 0; axis < 3; ++axis) {
      const float difference = (after.mDeviceToAbsoluteTracking.m[axis][3] - before.mDeviceToAbsoluteTracking.m[axis][3]) /
                               static_cast<float>(kStep);
      EXPECT_NEAR(difference, before.vVelocity.v[axis], 0.01f) << "device " << index << " axis " << axis;
      moved = moved || later.mDeviceToAbsoluteTracking.m[axis][3] != before.mDeviceToAbsoluteTracking.m[axis][3];
    }
    EXPECT_TRUE(moved) << "device " << index;
  }
}

TEST_F(SimulatedRuntime, PredictionLooksAhead) {
  zerinsimvr_FreezeClock(2.0);
  vr::TrackedDevicePose_t predicted[2];
  zerinsimvr_System()->GetDeviceToAbsoluteTrackingPose(vr::TrackingUniverseStanding, 0.5f, predicted, 2);
  const auto ahead = poseAt(2.5, 1);
  EXPECT_TRUE(sameBytes(&predicted[1].mDeviceToAbsoluteTracking, &ahead.mDeviceToAbsoluteTracking,
                        sizeof ahead.mDeviceToAbsoluteTracking));
}

TEST_F(SimulatedRuntime, ButtonChangesQueueTouchPressUnpressUntouch) {
  ASSERT_TRUE(Zerin::openVR::init());
  vr::VREvent_t event;
  while (zerinsimvr_System()->PollNextEvent(&event, sizeof event)) {
  }
  ASSERT_TRUE(zerinsimvr_SetButton(1, vr::k_EButton_Grip, true, true));
  ASSERT_TRUE(zerinsimvr_SetButton(1, vr::k_EButton_Grip, false, false));
  EXPECT_FALSE(zerinsimvr_SetButton(0, vr::k_EButton_Grip, true, true)) << "the headset has no grip";
  EXPECT_FALSE(zerinsimvr_SetButton(1, vr::k_EButton_Max, true, true));
  std::vector<uint32_t> types;
  while (zerinsimvr_System()->PollNextEvent(&event, sizeof event)) {
    EXPECT_EQ(event.data.controller.button, static_cast<uint32_t>(vr::k_EButton_Grip));
    types.push_back(event.eventType);
  }
  EXPECT_EQ(types, (std::vector<uint32_t>{vr::VREvent_ButtonTouch, vr::VREvent_ButtonPress, vr::VREvent_ButtonUnpress,
                                          vr::VREvent_ButtonUntouch}));
}

TEST_F(SimulatedRuntime, EventsAgeOnTheClock) {
  ASSERT_TRUE(Zerin::openVR::init());
  zerinsimvr_FreezeClock(20.0);
  zerinsimvr_QueueEvent(vr::VREvent_PropertyChanged, 3, 0);
  zerinsimvr_FreezeClock(20.25);
  vr::VREvent_t event;
  do {
    ASSERT_TRUE(zerinsimvr_System()->PollNextEvent(&event, sizeof event));
  } while (event.eventType != vr::VREvent_PropertyChanged);
  EXPECT_FLOAT_EQ(event.eventAgeSeconds, 0.25f);
}

}  // namespace
