// The OpenVR records and enumerations that ZerinTrackerLink's functions take ("IVRSystem_017").
// OpenVR packs VREvent_t and VRControllerState001_t to 4 bytes everywhere but on Windows, so
// their packing follows the platform the library was built for. Every record is blittable: the
// pose's two one-byte bools are bytes behind bool properties.
using System.Runtime.InteropServices;

namespace Zerin.OpenVR
{
    /// <summary>The space poses are given in.</summary>
    public enum TrackingUniverseOrigin
    {
        /// <summary>Relative to the seated zero pose.</summary>
        Seated = 0,
        /// <summary>Relative to the standing play area's origin on the floor.</summary>
        Standing = 1,
        /// <summary>The tracking system's own, uncalibrated space.</summary>
        RawAndUncalibrated = 2,
    }

    /// <summary>An eye.</summary>
    public enum Eye
    {
        /// <summary>The left eye.</summary>
        Left = 0,
        /// <summary>The right eye.</summary>
        Right = 1,
    }

    /// <summary>What a tracked device is.</summary>
    public enum TrackedDeviceClass
    {
        /// <summary>No device at this index.</summary>
        Invalid = 0,
        /// <summary>The head-mounted display.</summary>
        HMD = 1,
        /// <summary>A hand controller.</summary>
        Controller = 2,
        /// <summary>A tracker without buttons of its own.</summary>
        GenericTracker = 3,
        /// <summary>A base station or camera.</summary>
        TrackingReference = 4,
        /// <summary>A display that stands in for the headset.</summary>
        DisplayRedirect = 5,
    }

    /// <summary>How active a device's user is.</summary>
    public enum DeviceActivityLevel
    {
        /// <summary>Not known.</summary>
        Unknown = -1,
        /// <summary>No activity for a while.</summary>
        Idle = 0,
        /// <summary>In use.</summary>
        UserInteraction = 1,
        /// <summary>Was in use until a short while ago.</summary>
        UserInteractionTimeout = 2,
        /// <summary>Standing by.</summary>
        Standby = 3,
    }

    /// <summary>The hand a controller is held in.</summary>
    public enum TrackedControllerRole
    {
        /// <summary>No role.</summary>
        Invalid = 0,
        /// <summary>The left hand.</summary>
        LeftHand = 1,
        /// <summary>The right hand.</summary>
        RightHand = 2,
    }

    /// <summary>How well a pose is tracked.</summary>
    public enum TrackingResult
    {
        /// <summary>Tracking has not started.</summary>
        Uninitialized = 1,
        /// <summary>Calibrating.</summary>
        CalibratingInProgress = 100,
        /// <summary>Calibrating, out of range.</summary>
        CalibratingOutOfRange = 101,
        /// <summary>Tracked.</summary>
        RunningOK = 200,
        /// <summary>Running but out of range.</summary>
        RunningOutOfRange = 201,
    }

    /// <summary>Why a property could not be read.</summary>
    public enum TrackedPropertyError
    {
        /// <summary>It was read.</summary>
        Success = 0,
        /// <summary>The property has another type.</summary>
        WrongDataType = 1,
        /// <summary>The device's class has no such property.</summary>
        WrongDeviceClass = 2,
        /// <summary>The buffer is too small: the result is the size needed.</summary>
        BufferTooSmall = 3,
        /// <summary>No such property.</summary>
        UnknownProperty = 4,
        /// <summary>No device at the index.</summary>
        InvalidDevice = 5,
        /// <summary>OpenVR's server is not reachable.</summary>
        CouldNotContactServer = 6,
        /// <summary>The device does not provide it.</summary>
        ValueNotProvidedByDevice = 7,
        /// <summary>The string is longer than OpenVR allows.</summary>
        StringExceedsMaximumLength = 8,
        /// <summary>Not known yet; ask again later.</summary>
        NotYetAvailable = 9,
    }

    /// <summary>Device properties; any OpenVR property number may be cast to it. The suffix names
    /// the getter to use.</summary>
    public enum TrackedDeviceProperty
    {
        /// <summary>No property.</summary>
        Invalid = 0,
        /// <summary>The tracking system's name.</summary>
        TrackingSystemName_String = 1000,
        /// <summary>The model number.</summary>
        ModelNumber_String = 1001,
        /// <summary>The serial number.</summary>
        SerialNumber_String = 1002,
        /// <summary>The manufacturer's name.</summary>
        ManufacturerName_String = 1005,
        /// <summary>Whether the device is wireless.</summary>
        DeviceIsWireless_Bool = 1010,
        /// <summary>Whether it is charging.</summary>
        DeviceIsCharging_Bool = 1011,
        /// <summary>Battery charge, 0 to 1.</summary>
        DeviceBatteryPercentage_Float = 1012,
        /// <summary>Where to draw its status display.</summary>
        StatusDisplayTransform_Matrix34 = 1013,
        /// <summary>The hardware revision.</summary>
        HardwareRevision_Uint64 = 1017,
        /// <summary>The device's class.</summary>
        DeviceClass_Int32 = 1029,
        /// <summary>Bit mask of its buttons (<see cref="VRButtonId"/>).</summary>
        SupportedButtons_Uint64 = 3001,
        /// <summary>The first axis's type (<see cref="ControllerAxisType"/>).</summary>
        Axis0Type_Int32 = 3002,
        /// <summary>The role it would like (<see cref="TrackedControllerRole"/>).</summary>
        ControllerRoleHint_Int32 = 3007,
    }

    /// <summary>Event types; any OpenVR event number may be cast to it.</summary>
    public enum VREventType
    {
        /// <summary>No event.</summary>
        None = 0,
        /// <summary>A device was turned on or connected.</summary>
        TrackedDeviceActivated = 100,
        /// <summary>A device was turned off or lost.</summary>
        TrackedDeviceDeactivated = 101,
        /// <summary>A controller changed hands.</summary>
        TrackedDeviceRoleChanged = 108,
        /// <summary>A property changed.</summary>
        PropertyChanged = 111,
        /// <summary>A button was pressed.</summary>
        ButtonPress = 200,
        /// <summary>A button was released.</summary>
        ButtonUnpress = 201,
        /// <summary>A button was touched.</summary>
        ButtonTouch = 202,
        /// <summary>A button is touched no more.</summary>
        ButtonUntouch = 203,
    }

    /// <summary>Controller buttons, as bit numbers of the button masks.</summary>
    public enum VRButtonId
    {
        /// <summary>The system button.</summary>
        System = 0,
        /// <summary>The menu button.</summary>
        ApplicationMenu = 1,
        /// <summary>The grip.</summary>
        Grip = 2,
        /// <summary>Directional pad, left.</summary>
        DPadLeft = 3,
        /// <summary>Directional pad, up.</summary>
        DPadUp = 4,
        /// <summary>Directional pad, right.</summary>
        DPadRight = 5,
        /// <summary>Directional pad, down.</summary>
        DPadDown = 6,
        /// <summary>The A button.</summary>
        A = 7,
        /// <summary>The headset's proximity sensor.</summary>
        ProximitySensor = 31,
        /// <summary>Axis 0 (usually the touch pad) pressed.</summary>
        Axis0 = 32,
        /// <summary>Axis 1 (usually the trigger) pressed.</summary>
        Axis1 = 33,
        /// <summary>Axis 2 pressed.</summary>
        Axis2 = 34,
        /// <summary>Axis 3 pressed.</summary>
        Axis3 = 35,
        /// <summary>Axis 4 pressed.</summary>
        Axis4 = 36,
        /// <summary>One past the last bit.</summary>
        Max = 64,
    }

    /// <summary>What a controller axis is.</summary>
    public enum ControllerAxisType
    {
        /// <summary>No axis.</summary>
        None = 0,
        /// <summary>A touch pad (x and y).</summary>
        TrackPad = 1,
        /// <summary>A joystick (x and y).</summary>
        Joystick = 2,
        /// <summary>A trigger (x only, 0 to 1).</summary>
        Trigger = 3,
    }

    /// <summary>A 3x4 row-major transform acting on column vectors, translation in M03, M13 and
    /// M23 (48 bytes); right-handed, -z forward, metres, as the runtime's <see cref="Zerin.Matrix"/>.</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct HmdMatrix34
    {
        /// <summary>Row 0, column 0.</summary>
        public float M00;
        /// <summary>Row 0, column 1.</summary>
        public float M01;
        /// <summary>Row 0, column 2.</summary>
        public float M02;
        /// <summary>Row 0, column 3.</summary>
        public float M03;
        /// <summary>Row 1, column 0.</summary>
        public float M10;
        /// <summary>Row 1, column 1.</summary>
        public float M11;
        /// <summary>Row 1, column 2.</summary>
        public float M12;
        /// <summary>Row 1, column 3.</summary>
        public float M13;
        /// <summary>Row 2, column 0.</summary>
        public float M20;
        /// <summary>Row 2, column 1.</summary>
        public float M21;
        /// <summary>Row 2, column 2.</summary>
        public float M22;
        /// <summary>Row 2, column 3.</summary>
        public float M23;

        /// <summary>The same transform as the runtime's 4x4 matrix (same handedness).</summary>
        public Zerin.Matrix ToMatrix()
        {
            return new Zerin.Matrix
            {
                M00 = M00, M01 = M01, M02 = M02, M03 = M03,
                M10 = M10, M11 = M11, M12 = M12, M13 = M13,
                M20 = M20, M21 = M21, M22 = M22, M23 = M23,
                M33 = 1,
            };
        }
    }

    /// <summary>A vector of three floats (12 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct HmdVector3
    {
        /// <summary>x.</summary>
        public float X;
        /// <summary>y.</summary>
        public float Y;
        /// <summary>z.</summary>
        public float Z;
    }

    /// <summary>A tracked device's pose (80 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct TrackedDevicePose
    {
        /// <summary>The device in the requested tracking space.</summary>
        public HmdMatrix34 DeviceToAbsoluteTracking;
        /// <summary>Metres per second, tracking space.</summary>
        public HmdVector3 Velocity;
        /// <summary>Radians per second, tracking space.</summary>
        public HmdVector3 AngularVelocity;
        /// <summary>How well it is tracked.</summary>
        public TrackingResult TrackingResult;
        byte poseIsValid, deviceIsConnected;  // one-byte bools natively

        /// <summary>Whether the pose may be used.</summary>
        public bool PoseIsValid
        {
            get { return poseIsValid != 0; }
            set { poseIsValid = (byte)(value ? 1 : 0); }
        }

        /// <summary>Whether the device is connected.</summary>
        public bool DeviceIsConnected
        {
            get { return deviceIsConnected != 0; }
            set { deviceIsConnected = (byte)(value ? 1 : 0); }
        }
    }

    /// <summary>One axis of a controller (8 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct VRControllerAxis
    {
        /// <summary>-1 to 1 (a trigger: 0 to 1).</summary>
        public float X;
        /// <summary>-1 to 1 (unused by a trigger).</summary>
        public float Y;
    }

    /// <summary>A controller's buttons and axes (64 bytes on Windows, 60 elsewhere).</summary>
    [StructLayout(LayoutKind.Sequential, Pack = Native.TrackerLink.RecordPacking)]
    public struct VRControllerState
    {
        /// <summary>Changes whenever the state does.</summary>
        public uint PacketNum;
        /// <summary>Bit mask of pressed buttons (<see cref="VRButtonId"/> bits).</summary>
        public ulong ButtonPressed;
        /// <summary>Bit mask of touched buttons.</summary>
        public ulong ButtonTouched;
        /// <summary>Axis 0 (usually the touch pad).</summary>
        public VRControllerAxis Axis0;
        /// <summary>Axis 1 (usually the trigger).</summary>
        public VRControllerAxis Axis1;
        /// <summary>Axis 2.</summary>
        public VRControllerAxis Axis2;
        /// <summary>Axis 3.</summary>
        public VRControllerAxis Axis3;
        /// <summary>Axis 4.</summary>
        public VRControllerAxis Axis4;
    }

    /// <summary>An event's payload, a union of 24 bytes; controller events carry the button
    /// in the first 32 bits.</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct VREventData
    {
        /// <summary>Bytes 0 to 7 of the union.</summary>
        public ulong Word0;
        /// <summary>Bytes 8 to 15.</summary>
        public ulong Word1;
        /// <summary>Bytes 16 to 23.</summary>
        public ulong Word2;

        /// <summary>A controller event's button.</summary>
        public uint ControllerButton { get { return unchecked((uint)Word0); } }
    }

    /// <summary>One event (40 bytes on Windows, 36 elsewhere).</summary>
    [StructLayout(LayoutKind.Sequential, Pack = Native.TrackerLink.RecordPacking)]
    public struct VREvent
    {
        /// <summary>What happened.</summary>
        public VREventType EventType;
        /// <summary>The device it happened to.</summary>
        public uint TrackedDeviceIndex;
        /// <summary>Seconds since it happened.</summary>
        public float EventAgeSeconds;
        /// <summary>Its payload.</summary>
        public VREventData Data;
    }
}
