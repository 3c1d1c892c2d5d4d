// OpenVR's tracked devices through ZerinTrackerLink: the library holds one process-wide system
// interface between Init and Shutdown, so one TrackedDevices at a time stands for it, and
// EngineBridgeLifetime.ReleaseAll shuts it down with the domain.
using System;
using System.Collections.Generic;
using System.Text;

namespace Zerin.OpenVR
{
    /// <summary>OpenVR initialised as a background application, from <see cref="Open"/> until
    /// <see cref="Dispose"/>. Not thread-safe: OpenVR's set-up and shutdown must not overlap its
    /// other calls.</summary>
    public sealed class TrackedDevices : IDisposable
    {
        /// <summary>The most devices OpenVR tracks; indices run from 0 (the headset) below it.</summary>
        public const uint MaxDeviceCount = 64;

        /// <summary>The index OpenVR gives for no device.</summary>
        public const uint InvalidIndex = 0xFFFFFFFF;

        bool open = true;

        TrackedDevices() { }

        /// <summary>Initialises OpenVR, or returns null (after shutting down what the attempt
        /// started) when it is not installed, not running or has no headset; the tracker library
        /// logs why.</summary>
        public static TrackedDevices Open()
        {
            if (!Native.TrackerLink.Init())
            {
                Native.TrackerLink.Shutdown();
                return null;
            }
            var devices = new TrackedDevices();
            EngineBridgeLifetime.TrackerOpened(devices);
            return devices;
        }

        /// <summary>Whether OpenVR's system interface is there (false once disposed).</summary>
        public bool IsValid { get { return open && Native.TrackerLink.IsIVRSystemValid(); } }

        /// <summary>The device at <paramref name="index"/>, connected or not.</summary>
        public TrackedDevice this[uint index] { get { return new TrackedDevice(index); } }

        /// <summary>Every connected device, by index.</summary>
        public TrackedDevice[] Connected()
        {
            var devices = new List<TrackedDevice>();
            for (uint index = 0; index < MaxDeviceCount; ++index)
                if (Native.TrackerLink.IsTrackedDeviceConnected(index)) devices.Add(new TrackedDevice(index));
            return devices.ToArray();
        }

        /// <summary>The devices of a class, sorted by where they are as the headset sees them.</summary>
        public TrackedDevice[] OfClass(TrackedDeviceClass deviceClass)
        {
            var indices = new uint[MaxDeviceCount];
            uint count = Native.TrackerLink.GetSortedTrackedDeviceIndicesOfClass(deviceClass, indices, MaxDeviceCount, 0);
            var devices = new TrackedDevice[Math.Min(count, MaxDeviceCount)];
            for (int i = 0; i < devices.Length; ++i) devices[i] = new TrackedDevice(indices[i]);
            return devices;
        }

        /// <summary>The controller held in a hand, or false.</summary>
        public bool TryGetController(TrackedControllerRole role, out TrackedDevice controller)
        {
            uint index = Native.TrackerLink.GetTrackedDeviceIndexForControllerRole(role);
            controller = new TrackedDevice(index);
            return index != InvalidIndex;
        }

        /// <summary>Every device's pose, by index, predicted <paramref name="secondsAhead"/> from now.</summary>
        public TrackedDevicePose[] GetPoses(TrackingUniverseOrigin origin, float secondsAhead)
        {
            var poses = new TrackedDevicePose[MaxDeviceCount];
            Native.TrackerLink.GetDeviceToAbsoluteTrackingPose(origin, secondsAhead, poses, MaxDeviceCount);
            return poses;
        }

        /// <summary>Takes the next event; false when none is waiting.</summary>
        public bool PollNextEvent(out VREvent vrEvent)
        {
            vrEvent = default(VREvent);
            return open && Native.TrackerLink.PollNextEvent(out vrEvent, (uint)System.Runtime.InteropServices.Marshal.SizeOf(typeof(VREvent)));
        }

        /// <summary>OpenVR's name of a button.</summary>
        public static string Name(VRButtonId button) { return Utf8.FromNative(Native.TrackerLink.GetButtonIdNameFromEnum(button)); }

        /// <summary>OpenVR's name of an event type.</summary>
        public static string Name(VREventType type) { return Utf8.FromNative(Native.TrackerLink.GetEventTypeNameFromEnum(type)); }

        /// <summary>OpenVR's name of an axis type.</summary>
        public static string Name(ControllerAxisType type)
        {
            return Utf8.FromNative(Native.TrackerLink.GetControllerAxisTypeNameFromEnum(type));
        }

        /// <summary>OpenVR's name of a property error.</summary>
        public static string Name(TrackedPropertyError error)
        {
            return Utf8.FromNative(Native.TrackerLink.GetPropErrorNameFromEnum(error));
        }

        /// <summary>Shuts OpenVR down (once).</summary>
        public void Dispose()
        {
            if (!open) return;
            open = false;
            EngineBridgeLifetime.TrackerClosed(this);
            Native.TrackerLink.Shutdown();
        }
    }

    /// <summary>One tracked device by its index; every query asks OpenVR anew.</summary>
    public struct TrackedDevice
    {
        readonly uint index;

        /// <summary>The device at <paramref name="index"/>.</summary>
        public TrackedDevice(uint index) { this.index = index; }

        /// <summary>OpenVR's index of the device (0 is the headset).</summary>
        public uint Index { get { return index; } }

        /// <summary>What it is; Invalid when no device has the index.</summary>
        public TrackedDeviceClass Class { get { return Native.TrackerLink.GetTrackedDeviceClass(index); } }

        /// <summary>Whether it is connected.</summary>
        public bool IsConnected { get { return Native.TrackerLink.IsTrackedDeviceConnected(index); } }

        /// <summary>The hand it is held in.</summary>
        public TrackedControllerRole Role { get { return Native.TrackerLink.GetControllerRoleForTrackedDeviceIndex(index); } }

        /// <summary>How active its user is.</summary>
        public DeviceActivityLevel ActivityLevel { get { return Native.TrackerLink.GetTrackedDeviceActivityLevel(index); } }

        /// <summary>Its serial number, or null.</summary>
        public string SerialNumber
        {
            get
            {
                TrackedPropertyError error;
                return GetStringProperty(TrackedDeviceProperty.SerialNumber_String, out error);
            }
        }

        /// <summary>Its model number, or null.</summary>
        public string ModelNumber
        {
            get
            {
                TrackedPropertyError error;
                return GetStringProperty(TrackedDeviceProperty.ModelNumber_String, out error);
            }
        }

        /// <summary>A string property, or null with the reason in <paramref name="error"/>.</summary>
        public string GetStringProperty(TrackedDeviceProperty property, out TrackedPropertyError error)
        {
            uint size = Native.TrackerLink.GetStringTrackedDeviceProperty(index, property, null, 0, out error);
            if (size == 0) return null;
            var buffer = new byte[size];
            size = Native.TrackerLink.GetStringTrackedDeviceProperty(index, property, buffer, size, out error);
            if (size == 0 || error != TrackedPropertyError.Success) return null;
            return Encoding.UTF8.GetString(buffer, 0, Math.Max(Array.IndexOf(buffer, (byte)0), 0));
        }

        /// <summary>A bool property; the reason it failed in <paramref name="error"/>.</summary>
        public bool GetBoolProperty(TrackedDeviceProperty property, out TrackedPropertyError error)
        {
            return Native.TrackerLink.GetBoolTrackedDeviceProperty(index, property, out error);
        }

        /// <summary>A float property; the reason it failed in <paramref name="error"/>.</summary>
        public float GetFloatProperty(TrackedDeviceProperty property, out TrackedPropertyError error)
        {
            return Native.TrackerLink.GetFloatTrackedDeviceProperty(index, property, out error);
        }

        /// <summary>An int property; the reason it failed in <paramref name="error"/>.</summary>
        public int GetInt32Property(TrackedDeviceProperty property, out TrackedPropertyError error)
        {
            return Native.TrackerLink.GetInt32TrackedDeviceProperty(index, property, out error);
        }

        /// <summary>A 64-bit property; the reason it failed in <paramref name="error"/>.</summary>
        public ulong GetUInt64Property(TrackedDeviceProperty property, out TrackedPropertyError error)
        {
            return Native.TrackerLink.GetUint64TrackedDeviceProperty(index, property, out error);
        }

        /// <summary>A matrix property; the reason it failed in <paramref name="error"/>.</summary>
        public HmdMatrix34 GetMatrixProperty(TrackedDeviceProperty property, out TrackedPropertyError error)
        {
            return Native.TrackerLink.GetMatrix34TrackedDeviceProperty(index, property, out error);
        }

        /// <summary>Its pose predicted <paramref name="secondsAhead"/> from now.</summary>
        public TrackedDevicePose GetPose(TrackingUniverseOrigin origin, float secondsAhead)
        {
            if (index >= TrackedDevices.MaxDeviceCount) return default(TrackedDevicePose);
            var poses = new TrackedDevicePose[index + 1];
            Native.TrackerLink.GetDeviceToAbsoluteTrackingPose(origin, secondsAhead, poses, index + 1);
            return poses[index];
        }

        /// <summary>A controller's buttons and axes; false for another device.</summary>
        public bool TryGetControllerState(out VRControllerState state)
        {
            return Native.TrackerLink.GetControllerState(index, out state,
                                                          (uint)System.Runtime.InteropServices.Marshal.SizeOf(typeof(VRControllerState)));
        }

        /// <summary>A haptic pulse on one of its axes.</summary>
        public void TriggerHapticPulse(uint axis, ushort microseconds)
        {
            Native.TrackerLink.TriggerHapticPulse(index, axis, microseconds);
        }

        /// <summary>"device N".</summary>
        public override string ToString() { return "device " + index; }
    }
}
