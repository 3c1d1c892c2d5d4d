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
            Native.TrackerLink.Shutdown();
        }

        [Test]
        public void DefaultsBeforeInitAndButtonMasksAfter()
        {
            Assert.IsFalse(Native.TrackerLink.IsIVRSystemValid());
            Assert.AreEqual(DeviceActivityLevel.Unknown, Native.TrackerLink.GetTrackedDeviceActivityLevel(0));
            Assert.AreEqual(0UL, Native.TrackerLink.ButtonMaskFromId(VRButtonId.Axis1));
            Assert.AreEqual(IntPtr.Zero, Native.TrackerLink.GetButtonIdNameFromEnum(VRButtonId.A));
            Assert.IsTrue(Native.TrackerLink.Init());
            Assert.IsTrue(Native.TrackerLink.IsIVRSystemValid());
            Assert.AreEqual(1UL << 33, Native.TrackerLink.ButtonMaskFromId(VRButtonId.Axis1));
            Assert.AreEqual(1UL << 2, Native.TrackerLink.ButtonMaskFromId((VRButtonId)66), "identifiers wrap at 64");
            Native.TrackerLink.Shutdown();
            Assert.IsFalse(Native.TrackerLink.IsIVRSystemValid());
        }

        [Test]
        public void TrackedDevicesWithPosesClassesRolesAndProperties()
        {
            using (TrackedDevices devices = TrackedDevices.Open())
            {
                Assert.IsTrue(devices.IsValid);
                Assert.AreEqual(new[] { TrackedDeviceClass.HMD, TrackedDeviceClass.Controller, TrackedDeviceClass.Controller,
                                        TrackedDeviceClass.GenericTracker, TrackedDeviceClass.Invalid },
                                new[] { 0u, 1u, 2u, 3u, 4u }.Select(index => devices[index].Class));
                Assert.AreEqual(new[] { 0u, 1u, 2u, 3u }, devices.Connected().Select(device => device.Index));
                Assert.AreEqual(new[] { 2u, 1u }, devices.OfClass(TrackedDeviceClass.Controller).Select(device => device.Index),
                                "right to left as the headset sees them");
                TrackedDevicePose[] poses = devices.GetPoses(TrackingUniverseOrigin.Standing, 0);
                Assert.IsTrue(poses[1].PoseIsValid && poses[1].DeviceIsConnected);
                Assert.IsFalse(poses[4].DeviceIsConnected);
                Assert.AreEqual(TrackingResult.RunningOK, poses[0].TrackingResult);
                Assert.Greater(devices[0].GetPose(TrackingUniverseOrigin.Standing, 0).DeviceToAbsoluteTracking.M13, 1.0f,
                               "the headset is above the floor");
                Assert.AreEqual(TrackedControllerRole.LeftHand, devices[1].Role);
                TrackedDevice right;
                Assert.IsTrue(devices.TryGetController(TrackedControllerRole.RightHand, out right));
                Assert.AreEqual(2u, right.Index);

                TrackedPropertyError error;
                StringAssert.StartsWith("ZSIM-CTL-L", devices[1].SerialNumber);
                Assert.IsNull(devices[9].GetStringProperty(TrackedDeviceProperty.SerialNumber_String, out error));
                Assert.AreEqual(TrackedPropertyError.InvalidDevice, error);
                Assert.AreEqual((int)TrackedDeviceClass.Controller, devices[1].GetInt32Property(TrackedDeviceProperty.DeviceClass_Int32, out error));
                devices[1].GetBoolProperty(TrackedDeviceProperty.DeviceIsWireless_Bool, out error);
                Assert.AreEqual(TrackedPropertyError.Success, error);
                Assert.AreEqual("TrackedProp_InvalidDevice", TrackedDevices.Name(TrackedPropertyError.InvalidDevice));

                HmdMatrix34 eye = Native.TrackerLink.GetEyeToHeadTransform(Eye.Right);
                Assert.AreEqual(1.0f, eye.M00, "a rotation-free transform");
                Assert.Greater(eye.M03, 0.0f, "the right eye sits right of the head");
            }
            Assert.IsFalse(Native.TrackerLink.IsIVRSystemValid(), "shut down with the object");
            TrackedDevices.Open();
            EngineBridgeLifetime.ReleaseAll();
            Assert.IsFalse(Native.TrackerLink.IsIVRSystemValid(), "and with the domain");
        }

        [Test]
        public void ControllerStateAndEventsInThisPlatformsPacking()
        {
            Assert.IsTrue(Native.TrackerLink.Init());
            Assert.IsTrue(SimOpenVR.zerinsimvr_SetButton(1, VRButtonId.Axis1, true, true));
            VRControllerState state;
            Assert.IsTrue(Native.TrackerLink.GetControllerState(1, out state, (uint)Marshal.SizeOf(typeof(VRControllerState))));
            Assert.AreEqual(1UL << 33, state.ButtonPressed);
            Assert.AreEqual(1UL << 33, state.ButtonTouched);
            Assert.IsFalse(Native.TrackerLink.GetControllerState(1, out state, 8), "a size that is not the record's");

            VREvent vrEvent;
            bool found = false;
            while (Native.TrackerLink.PollNextEvent(out vrEvent, (uint)Marshal.SizeOf(typeof(VREvent))))
                found |= vrEvent.EventType == VREventType.ButtonPress && vrEvent.TrackedDeviceIndex == 1 &&
                         vrEvent.Data.ControllerButton == (uint)VRButtonId.Axis1;
            Assert.IsTrue(found, "the button press event");
            Assert.AreEqual("k_EButton_Axis1", TrackedDevices.Name(VRButtonId.Axis1));

            Native.TrackerLink.TriggerHapticPulse(2, 0, 1500);
            Assert.AreEqual(1u, SimOpenVR.zerinsimvr_HapticPulseCount());
        }
    }
}
