using System;
using System.Linq;
using System.Runtime.InteropServices;
using NUnit.Framework;
using Zerin.OpenVR;

namespace Zerin.Tests
{
    [TestFixture]
    public class TrackerLinkTests
    {
        [SetUp]
        public void ResetOpenVR()
        {
            TestHost.RequireStandIns();
            SimOpenVR.zerinsimvr_Reset();
            SimOpenVR.zerinsimvr_FreezeClock(1.0);
        }

        [TearDown]
        public void ShutOpenVRDown()
        {
            TrackerLink.Shutdown();
        }

        [Test]
        public void DefaultsBeforeInitAndButtonMasksAfter()
        {
            Assert.IsFalse(TrackerLink.IsIVRSystemValid());
            Assert.AreEqual(DeviceActivityLevel.Unknown, TrackerLink.GetTrackedDeviceActivityLevel(0));
            Assert.AreEqual(0UL, TrackerLink.ButtonMaskFromId(VRButtonId.Axis1));
            Assert.AreEqual(IntPtr.Zero, TrackerLink.GetButtonIdNameFromEnum(VRButtonId.A));
            Assert.IsTrue(TrackerLink.Init());
            Assert.IsTrue(TrackerLink.IsIVRSystemValid());
            Assert.AreEqual(1UL << 33, TrackerLink.ButtonMaskFromId(VRButtonId.Axis1));
            Assert.AreEqual(1UL << 2, TrackerLink.ButtonMaskFromId((VRButtonId)66), "identifiers wrap at 64");
            TrackerLink.Shutdown();
            Assert.IsFalse(TrackerLink.IsIVRSystemValid());
        }

        [Test]
        public void TrackedDevicesWithPosesClassesRolesAndProperties()
        {
            Assert.IsTrue(TrackerLink.Init());
            var poses = new TrackedDevicePose[64];
            TrackerLink.GetDeviceToAbsoluteTrackingPose(TrackingUniverseOrigin.Standing, 0, poses, (uint)poses.Length);
            Assert.AreEqual(new[] { TrackedDeviceClass.HMD, TrackedDeviceClass.Controller, TrackedDeviceClass.Controller,
                                    TrackedDeviceClass.GenericTracker, TrackedDeviceClass.Invalid },
                            new[] { 0u, 1u, 2u, 3u, 4u }.Select(TrackerLink.GetTrackedDeviceClass));
            Assert.IsTrue(poses[1].PoseIsValid && poses[1].DeviceIsConnected);
            Assert.IsFalse(poses[4].DeviceIsConnected);
            Assert.AreEqual(TrackingResult.RunningOK, poses[0].TrackingResult);
            Assert.Greater(poses[0].DeviceToAbsoluteTracking.M13, 1.0f, "the headset is above the floor");
            Assert.IsTrue(TrackerLink.IsTrackedDeviceConnected(2));
            Assert.IsFalse(TrackerLink.IsTrackedDeviceConnected(4));
            Assert.AreEqual(TrackedControllerRole.LeftHand, TrackerLink.GetControllerRoleForTrackedDeviceIndex(1));
            Assert.AreEqual(2u, TrackerLink.GetTrackedDeviceIndexForControllerRole(TrackedControllerRole.RightHand));

            var controllers = new uint[4];
            Assert.AreEqual(2u, TrackerLink.GetSortedTrackedDeviceIndicesOfClass(TrackedDeviceClass.Controller, controllers, 4, 0));

            TrackedPropertyError error;
            StringAssert.StartsWith("ZSIM-CTL-L", TrackerLink.GetStringProperty(1, TrackedDeviceProperty.SerialNumber_String, out error));
            Assert.AreEqual(TrackedPropertyError.Success, error);
            Assert.IsNull(TrackerLink.GetStringProperty(9, TrackedDeviceProperty.SerialNumber_String, out error));
            Assert.AreEqual(TrackedPropertyError.InvalidDevice, error);
            Assert.AreEqual((int)TrackedDeviceClass.Controller,
                            TrackerLink.GetInt32TrackedDeviceProperty(1, TrackedDeviceProperty.DeviceClass_Int32, out error));
            TrackerLink.GetBoolTrackedDeviceProperty(1, TrackedDeviceProperty.DeviceIsWireless_Bool, out error);
            Assert.AreEqual(TrackedPropertyError.Success, error);
            Assert.AreEqual("TrackedProp_InvalidDevice",
                            TrackerLink.NameText(TrackerLink.GetPropErrorNameFromEnum(TrackedPropertyError.InvalidDevice)));

            HmdMatrix34 eye = TrackerLink.GetEyeToHeadTransform(Eye.Right);
            Assert.AreEqual(1.0f, eye.M00, "a rotation-free transform");
            Assert.Greater(eye.M03, 0.0f, "the right eye sits right of the head");
        }

        [Test]
        public void ControllerStateAndEventsInThisPlatformsPacking()
        {
            Assert.IsTrue(TrackerLink.Init());
            Assert.IsTrue(SimOpenVR.zerinsimvr_SetButton(1, VRButtonId.Axis1, true, true));
            VRControllerState state;
            Assert.IsTrue(TrackerLink.GetControllerState(1, out state, (uint)Marshal.SizeOf(typeof(VRControllerState))));
            Assert.AreEqual(1UL << 33, state.ButtonPressed);
            Assert.AreEqual(1UL << 33, state.ButtonTouched);
            Assert.IsFalse(TrackerLink.GetControllerState(1, out state, 8), "a size that is not the record's");

            VREvent vrEvent;
            bool found = false;
            while (TrackerLink.PollNextEvent(out vrEvent, (uint)Marshal.SizeOf(typeof(VREvent))))
                found |= vrEvent.EventType == VREventType.ButtonPress && vrEvent.TrackedDeviceIndex == 1 &&
                         vrEvent.Data.ControllerButton == (uint)VRButtonId.Axis1;
            Assert.IsTrue(found, "the button press event");
            Assert.AreEqual("k_EButton_Axis1",
                            TrackerLink.NameText(TrackerLink.GetButtonIdNameFromEnum(VRButtonId.Axis1)));

            TrackerLink.TriggerHapticPulse(2, 0, 1500);
            Assert.AreEqual(1u, SimOpenVR.zerinsimvr_HapticPulseCount());
        }
    }
}
