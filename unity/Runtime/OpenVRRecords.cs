// The OpenVR records and enumerations that ZerinTrackerLink's functions take ("IVRSystem_017").
// OpenVR packs VREvent_t and VRControllerState001_t to 4 bytes everywhere but on Windows, so
// their packing follows the platform the library was built for.
using System.Runtime.InteropServices;

namespace Zerin.OpenVR
{
    public enum TrackingUniverseOrigin { Seated = 0, Standing = 1, RawAndUncalibrated = 2 }

    public enum Eye { Left = 0, Right = 1 }

    public enum TrackedDeviceClass
    {
        Invalid = 0, HMD = 1, Controller = 2, GenericTracker = 3, TrackingReference = 4, DisplayRedirect = 5,
    }

    public enum DeviceActivityLevel { Unknown = -1, Idle = 0, UserInteraction = 1, UserInteractionTimeout = 2, Standby = 3 }

    public enum TrackedControllerRole { Invalid = 0, LeftHand = 1, RightHand = 2 }

    public enum TrackingResult
    {
        Uninitialized = 1, CalibratingInProgress = 100, CalibratingOutOfRange = 101, RunningOK = 200, RunningOutOfRange = 201,
    }

    public enum TrackedPropertyError
    {
        Success = 0, WrongDataType = 1, WrongDeviceClass = 2, BufferTooSmall = 3, UnknownProperty = 4,
        InvalidDevice = 5, CouldNotContactServer = 6, ValueNotProvidedByDevice = 7,
        StringExceedsMaximumLength = 8, NotYetAvailable = 9,
    }

    /// <summary>Device properties; any OpenVR property number may be cast to it.</summary>
    public enum TrackedDeviceProperty
    {
        Invalid = 0,
        TrackingSystemName_String = 1000, ModelNumber_String = 1001, SerialNumber_String = 1002,
        ManufacturerName_String = 1005, DeviceIsWireless_Bool = 1010, DeviceIsCharging_Bool = 1011,
        DeviceBatteryPercentage_Float = 1012, StatusDisplayTransform_Matrix34 = 1013,
        HardwareRevision_Uint64 = 1017, DeviceClass_Int32 = 1029, SupportedButtons_Uint64 = 3001,
        Axis0Type_Int32 = 3002, ControllerRoleHint_Int32 = 3007,
    }

    /// <summary>Event types; any OpenVR event number may be cast to it.</summary>
    public enum VREventType
    {
        None = 0, TrackedDeviceActivated = 100, TrackedDeviceDeactivated = 101, TrackedDeviceRoleChanged = 108,
        PropertyChanged = 111, ButtonPress = 200, ButtonUnpress = 201, ButtonTouch = 202, ButtonUntouch = 203,
    }

    public enum VRButtonId
    {
        System = 0, ApplicationMenu = 1, Grip = 2, DPadLeft = 3, DPadUp = 4, DPadRight = 5, DPadDown = 6, A = 7,
        ProximitySensor = 31, Axis0 = 32, Axis1 = 33, Axis2 = 34, Axis3 = 35, Axis4 = 36, Max = 64,
    }

    public enum ControllerAxisType { None = 0, TrackPad = 1, Joystick = 2, Trigger = 3 }

    /// <summary>A 3x4 row-major transform (48 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct HmdMatrix34
    {
        public float M00, M01, M02, M03;
        public float M10, M11, M12, M13;
        public float M20, M21, M22, M23;
    }

    [StructLayout(LayoutKind.Sequential)]
    public struct HmdVector3
    {
        public float X, Y, Z;
    }

    /// <summary>A tracked device's pose (80 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct TrackedDevicePose
    {
        public HmdMatrix34 DeviceToAbsoluteTracking;
        public HmdVector3 Velocity;
        public HmdVector3 AngularVelocity;
        public TrackingResult TrackingResult;
        [MarshalAs(UnmanagedType.I1)] public bool PoseIsValid;
        [MarshalAs(UnmanagedType.I1)] public bool DeviceIsConnected;
    }

    [StructLayout(LayoutKind.Sequential)]
    public struct VRControllerAxis
    {
        public float X, Y;
    }

    /// <summary>A controller's buttons and axes (64 bytes on Windows, 60 elsewhere).</summary>
    [StructLayout(LayoutKind.Sequential, Pack = TrackerLink.RecordPacking)]
    public struct VRControllerState
    {
        public uint PacketNum;
        public ulong ButtonPressed;
        public ulong ButtonTouched;
        public VRControllerAxis Axis0, Axis1, Axis2, Axis3, Axis4;
    }

    /// <summary>An event's payload, a union of 24 bytes; controller events carry the button
    /// in the first 32 bits.</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct VREventData
    {
        public ulong Word0, Word1, Word2;

        public uint ControllerButton { get { return unchecked((uint)Word0); } }
    }

    /// <summary>One event (40 bytes on Windows, 36 elsewhere).</summary>
    [StructLayout(LayoutKind.Sequential, Pack = TrackerLink.RecordPacking)]
    public struct VREvent
    {
        public VREventType EventType;
        public uint TrackedDeviceIndex;
        public float EventAgeSeconds;
        public VREventData Data;
    }
}
