// ZerinTrackerLink's thirty-one functions in namespace Zerin::openVR. The library exports them
// under C++-decorated names: the Windows DLL under the names MSVC gives them, the Linux build
// under the Itanium ones. Each entry point names both, here and nowhere else; a test compares
// them with the built libraries' export tables.
using System;
using System.Runtime.InteropServices;
using Zerin.OpenVR;

namespace Zerin
{
    /// <summary>The library's log callback: level (0 critical, 1 error, 2 warning, 3 info), tag
    /// and message, UTF-8 and valid only during the call.</summary>
    [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
    public delegate void LogLineCallback(int level, IntPtr tag, IntPtr message);

    public static partial class Native
    {
        /// <summary>The raw functions of ZerinTrackerLink, forwarded to OpenVR's system interface
        /// ("IVRSystem_017"); without it each returns its default and leaves its outputs alone.
        /// Prefer <see cref="OpenVR.TrackedDevices"/>.</summary>
        public static class TrackerLink
        {
            /// <summary>The tracker library's name, as the engine resolves it.</summary>
            public const string Library = "ZerinTrackerLink";

            // The Windows editor and Windows players load the Windows DLL; ZERIN_WINDOWS_ABI builds
            // the same choice outside the engine.
#if UNITY_EDITOR_WIN || (UNITY_STANDALONE_WIN && !UNITY_EDITOR) || ZERIN_WINDOWS_ABI
            /// <summary>Whether the entry points carry MSVC's decorated names (the Windows DLL) or
            /// the Itanium ones (the Linux build).</summary>
            public const bool MsvcNames = true;
            /// <summary>Packing of VREvent and VRControllerState: natural on Windows.</summary>
            public const int RecordPacking = 8;
#else
            /// <summary>Whether the entry points carry MSVC's decorated names (the Windows DLL) or
            /// the Itanium ones (the Linux build).</summary>
            public const bool MsvcNames = false;
            /// <summary>Packing of VREvent and VRControllerState: 4 bytes outside Windows.</summary>
            public const int RecordPacking = 4;
#endif

            /// <summary>Initialises OpenVR as a background application; true on success.</summary>
            [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                       EntryPoint = MsvcNames ? "?init@openVR@Zerin@@YA_NXZ"
                                              : "_ZN5Zerin6openVR4initEv")]
            [return: MarshalAs(UnmanagedType.I1)]
            public static extern bool Init();

            /// <summary>Shuts OpenVR down (also when Init failed).</summary>
            [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                       EntryPoint = MsvcNames ? "?shutdown@openVR@Zerin@@YAXXZ"
                                              : "_ZN5Zerin6openVR8shutdownEv")]
            public static extern void Shutdown();

            /// <summary>Installs a callback for the library's log lines, called on the thread of the
            /// export that logs; null removes it, and once this returns the callback it replaced runs
            /// no more. The caller keeps the delegate alive while it is installed.</summary>
            [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                       EntryPoint = MsvcNames ? "?SetLogLineCallback@openVR@Zerin@@YAXP6AXHPEBD0@Z@Z"
                                              : "_ZN5Zerin6openVR18SetLogLineCallbackEPFviPKcS2_E")]
            public static extern void SetLogLineCallback(LogLineCallback callback);

            /// <summary>Whether Init found the system interface.</summary>
            [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                       EntryPoint = MsvcNames ? "?isIVRSystemValid@openVR@Zerin@@YA_NXZ"
                                              : "_ZN5Zerin6openVR16isIVRSystemValidEv")]
            [return: MarshalAs(UnmanagedType.I1)]
            public static extern bool IsIVRSystemValid();

            /// <summary>1 shifted by the identifier (modulo 64); 0 before Init.</summary>
            [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                       EntryPoint = MsvcNames ? "?ButtonMaskFromId@openVR@Zerin@@YA_KW4EVRButtonId@vr@@@Z"
                                              : "_ZN5Zerin6openVR16ButtonMaskFromIdEN2vr11EVRButtonIdE")]
            public static extern ulong ButtonMaskFromId(VRButtonId id);

            /// <summary>Fills up to <paramref name="poseCount"/> poses, indexed by device, predicted the given seconds ahead.</summary>
            [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                       EntryPoint = MsvcNames ? "?GetDeviceToAbsoluteTrackingPose@openVR@Zerin@@YAXW4ETrackingUniverseOrigin@vr@@MPEAUTrackedDevicePose_t@4@I@Z"
                                              : "_ZN5Zerin6openVR31GetDeviceToAbsoluteTrackingPoseEN2vr23ETrackingUniverseOriginEfPNS1_19TrackedDevicePose_tEj")]
            public static extern void GetDeviceToAbsoluteTrackingPose(TrackingUniverseOrigin origin, float predictedSecondsToPhotonsFromNow, [Out] TrackedDevicePose[] poses, uint poseCount);

            /// <summary>Makes the current head pose the seated origin.</summary>
            [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                       EntryPoint = MsvcNames ? "?ResetSeatedZeroPose@openVR@Zerin@@YAXXZ"
                                              : "_ZN5Zerin6openVR19ResetSeatedZeroPoseEv")]
            public static extern void ResetSeatedZeroPose();

            /// <summary>The eye's transform in head space (right-handed, metres).</summary>
            [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                       EntryPoint = MsvcNames ? "?GetEyeToHeadTransform@openVR@Zerin@@YA?AUHmdMatrix34_t@vr@@W4EVREye@4@@Z"
                                              : "_ZN5Zerin6openVR21GetEyeToHeadTransformEN2vr6EVREyeE")]
            public static extern HmdMatrix34 GetEyeToHeadTransform(Eye eye);

            /// <summary>The seated origin in standing space.</summary>
            [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                       EntryPoint = MsvcNames ? "?GetSeatedZeroPoseToStandingAbsoluteTrackingPose@openVR@Zerin@@YA?AUHmdMatrix34_t@vr@@XZ"
                                              : "_ZN5Zerin6openVR47GetSeatedZeroPoseToStandingAbsoluteTrackingPoseEv")]
            public static extern HmdMatrix34 GetSeatedZeroPoseToStandingAbsoluteTrackingPose();

            /// <summary>Writes the indices of a class's devices, nearest first; returns how many there are.</summary>
            [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                       EntryPoint = MsvcNames ? "?GetSortedTrackedDeviceIndicesOfClass@openVR@Zerin@@YAIW4ETrackedDeviceClass@vr@@PEAIII@Z"
                                              : "_ZN5Zerin6openVR36GetSortedTrackedDeviceIndicesOfClassEN2vr19ETrackedDeviceClassEPjjj")]
            public static extern uint GetSortedTrackedDeviceIndicesOfClass(TrackedDeviceClass deviceClass, [Out] uint[] indices, uint indexCount, uint relativeToIndex);

            /// <summary>The device's activity level.</summary>
            [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                       EntryPoint = MsvcNames ? "?GetTrackedDeviceActivityLevel@openVR@Zerin@@YA?AW4EDeviceActivityLevel@vr@@I@Z"
                                              : "_ZN5Zerin6openVR29GetTrackedDeviceActivityLevelEj")]
            public static extern DeviceActivityLevel GetTrackedDeviceActivityLevel(uint deviceIndex);

            /// <summary><paramref name="outputPose"/> is the pose transformed by <paramref name="transform"/>.</summary>
            [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                       EntryPoint = MsvcNames ? "?ApplyTransform@openVR@Zerin@@YAXPEAUTrackedDevicePose_t@vr@@PEBU34@PEBUHmdMatrix34_t@4@@Z"
                                              : "_ZN5Zerin6openVR14ApplyTransformEPN2vr19TrackedDevicePose_tEPKS2_PKNS1_13HmdMatrix34_tE")]
            public static extern void ApplyTransform(out TrackedDevicePose outputPose, [In] ref TrackedDevicePose trackedDevicePose, [In] ref HmdMatrix34 transform);

            /// <summary>The device holding a role, or 0xFFFFFFFF.</summary>
            [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                       EntryPoint = MsvcNames ? "?GetTrackedDeviceIndexForControllerRole@openVR@Zerin@@YAIW4ETrackedControllerRole@vr@@@Z"
                                              : "_ZN5Zerin6openVR38GetTrackedDeviceIndexForControllerRoleEN2vr22ETrackedControllerRoleE")]
            public static extern uint GetTrackedDeviceIndexForControllerRole(TrackedControllerRole role);

            /// <summary>The role of a device.</summary>
            [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                       EntryPoint = MsvcNames ? "?GetControllerRoleForTrackedDeviceIndex@openVR@Zerin@@YA?AW4ETrackedControllerRole@vr@@I@Z"
                                              : "_ZN5Zerin6openVR38GetControllerRoleForTrackedDeviceIndexEj")]
            public static extern TrackedControllerRole GetControllerRoleForTrackedDeviceIndex(uint deviceIndex);

            /// <summary>The class of a device; Invalid for an empty index.</summary>
            [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                       EntryPoint = MsvcNames ? "?GetTrackedDeviceClass@openVR@Zerin@@YA?AW4ETrackedDeviceClass@vr@@I@Z"
                                              : "_ZN5Zerin6openVR21GetTrackedDeviceClassEj")]
            public static extern TrackedDeviceClass GetTrackedDeviceClass(uint deviceIndex);

            /// <summary>Whether a device is connected.</summary>
            [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                       EntryPoint = MsvcNames ? "?IsTrackedDeviceConnected@openVR@Zerin@@YA_NI@Z"
                                              : "_ZN5Zerin6openVR24IsTrackedDeviceConnectedEj")]
            [return: MarshalAs(UnmanagedType.I1)]
            public static extern bool IsTrackedDeviceConnected(uint deviceIndex);

            /// <summary>A bool property, with why it failed in <paramref name="error"/>.</summary>
            [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                       EntryPoint = MsvcNames ? "?GetBoolTrackedDeviceProperty@openVR@Zerin@@YA_NIW4ETrackedDeviceProperty@vr@@PEAW4ETrackedPropertyError@4@@Z"
                                              : "_ZN5Zerin6openVR28GetBoolTrackedDevicePropertyEjN2vr22ETrackedDevicePropertyEPNS1_21ETrackedPropertyErrorE")]
            [return: MarshalAs(UnmanagedType.I1)]
            public static extern bool GetBoolTrackedDeviceProperty(uint deviceIndex, TrackedDeviceProperty property, out TrackedPropertyError error);

            /// <summary>A float property, with why it failed in <paramref name="error"/>.</summary>
            [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                       EntryPoint = MsvcNames ? "?GetFloatTrackedDeviceProperty@openVR@Zerin@@YAMIW4ETrackedDeviceProperty@vr@@PEAW4ETrackedPropertyError@4@@Z"
                                              : "_ZN5Zerin6openVR29GetFloatTrackedDevicePropertyEjN2vr22ETrackedDevicePropertyEPNS1_21ETrackedPropertyErrorE")]
            public static extern float GetFloatTrackedDeviceProperty(uint deviceIndex, TrackedDeviceProperty property, out TrackedPropertyError error);

            /// <summary>An int property, with why it failed in <paramref name="error"/>.</summary>
            [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                       EntryPoint = MsvcNames ? "?GetInt32TrackedDeviceProperty@openVR@Zerin@@YAHIW4ETrackedDeviceProperty@vr@@PEAW4ETrackedPropertyError@4@@Z"
                                              : "_ZN5Zerin6openVR29GetInt32TrackedDevicePropertyEjN2vr22ETrackedDevicePropertyEPNS1_21ETrackedPropertyErrorE")]
            public static extern int GetInt32TrackedDeviceProperty(uint deviceIndex, TrackedDeviceProperty property, out TrackedPropertyError error);

            /// <summary>A 64-bit property, with why it failed in <paramref name="error"/>.</summary>
            [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                       EntryPoint = MsvcNames ? "?GetUint64TrackedDeviceProperty@openVR@Zerin@@YA_KIW4ETrackedDeviceProperty@vr@@PEAW4ETrackedPropertyError@4@@Z"
                                              : "_ZN5Zerin6openVR30GetUint64TrackedDevicePropertyEjN2vr22ETrackedDevicePropertyEPNS1_21ETrackedPropertyErrorE")]
            public static extern ulong GetUint64TrackedDeviceProperty(uint deviceIndex, TrackedDeviceProperty property, out TrackedPropertyError error);

            /// <summary>A matrix property, with why it failed in <paramref name="error"/>.</summary>
            [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                       EntryPoint = MsvcNames ? "?GetMatrix34TrackedDeviceProperty@openVR@Zerin@@YA?AUHmdMatrix34_t@vr@@IW4ETrackedDeviceProperty@4@PEAW4ETrackedPropertyError@4@@Z"
                                              : "_ZN5Zerin6openVR32GetMatrix34TrackedDevicePropertyEjN2vr22ETrackedDevicePropertyEPNS1_21ETrackedPropertyErrorE")]
            public static extern HmdMatrix34 GetMatrix34TrackedDeviceProperty(uint deviceIndex, TrackedDeviceProperty property, out TrackedPropertyError error);

            /// <summary>Writes a NUL-terminated UTF-8 value; returns the size it needs (see OpenVR.TrackedDevice.GetStringProperty).</summary>
            [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                       EntryPoint = MsvcNames ? "?GetStringTrackedDeviceProperty@openVR@Zerin@@YAIIW4ETrackedDeviceProperty@vr@@PEADIPEAW4ETrackedPropertyError@4@@Z"
                                              : "_ZN5Zerin6openVR30GetStringTrackedDevicePropertyEjN2vr22ETrackedDevicePropertyEPcjPNS1_21ETrackedPropertyErrorE")]
            public static extern uint GetStringTrackedDeviceProperty(uint deviceIndex, TrackedDeviceProperty property, [Out] byte[] buffer, uint bufferSize, out TrackedPropertyError error);

            /// <summary>OpenVR's static text (never freed); see OpenVR.TrackedDevices.Name.</summary>
            [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                       EntryPoint = MsvcNames ? "?GetPropErrorNameFromEnum@openVR@Zerin@@YAPEBDW4ETrackedPropertyError@vr@@@Z"
                                              : "_ZN5Zerin6openVR24GetPropErrorNameFromEnumEN2vr21ETrackedPropertyErrorE")]
            public static extern IntPtr GetPropErrorNameFromEnum(TrackedPropertyError error);

            /// <summary>Pass Marshal.SizeOf(typeof(VREvent)) as the size.</summary>
            [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                       EntryPoint = MsvcNames ? "?PollNextEvent@openVR@Zerin@@YA_NPEAUVREvent_t@vr@@I@Z"
                                              : "_ZN5Zerin6openVR13PollNextEventEPN2vr9VREvent_tEj")]
            [return: MarshalAs(UnmanagedType.I1)]
            public static extern bool PollNextEvent(out VREvent vrEvent, uint eventSize);

            /// <summary>Takes the next event and the pose of its device; false when none is waiting. Pass Marshal.SizeOf(typeof(VREvent)) as the size.</summary>
            [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                       EntryPoint = MsvcNames ? "?PollNextEventWithPose@openVR@Zerin@@YA_NW4ETrackingUniverseOrigin@vr@@PEAUVREvent_t@4@IPEAUTrackedDevicePose_t@4@@Z"
                                              : "_ZN5Zerin6openVR21PollNextEventWithPoseEN2vr23ETrackingUniverseOriginEPNS1_9VREvent_tEjPNS1_19TrackedDevicePose_tE")]
            [return: MarshalAs(UnmanagedType.I1)]
            public static extern bool PollNextEventWithPose(TrackingUniverseOrigin origin, out VREvent vrEvent, uint eventSize, out TrackedDevicePose pose);

            /// <summary>OpenVR's static name of an event type (never freed).</summary>
            [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                       EntryPoint = MsvcNames ? "?GetEventTypeNameFromEnum@openVR@Zerin@@YAPEBDW4EVREventType@vr@@@Z"
                                              : "_ZN5Zerin6openVR24GetEventTypeNameFromEnumEN2vr12EVREventTypeE")]
            public static extern IntPtr GetEventTypeNameFromEnum(VREventType type);

            /// <summary>Pass Marshal.SizeOf(typeof(VRControllerState)) as the size.</summary>
            [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                       EntryPoint = MsvcNames ? "?GetControllerState@openVR@Zerin@@YA_NIPEAUVRControllerState001_t@vr@@I@Z"
                                              : "_ZN5Zerin6openVR18GetControllerStateEjPN2vr22VRControllerState001_tEj")]
            [return: MarshalAs(UnmanagedType.I1)]
            public static extern bool GetControllerState(uint deviceIndex, out VRControllerState state, uint stateSize);

            /// <summary>The controller's state and pose. Pass Marshal.SizeOf(typeof(VRControllerState)) as the size.</summary>
            [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                       EntryPoint = MsvcNames ? "?GetControllerStateWithPose@openVR@Zerin@@YA_NW4ETrackingUniverseOrigin@vr@@IPEAUVRControllerState001_t@4@IPEAUTrackedDevicePose_t@4@@Z"
                                              : "_ZN5Zerin6openVR26GetControllerStateWithPoseEN2vr23ETrackingUniverseOriginEjPNS1_22VRControllerState001_tEjPNS1_19TrackedDevicePose_tE")]
            [return: MarshalAs(UnmanagedType.I1)]
            public static extern bool GetControllerStateWithPose(TrackingUniverseOrigin origin, uint deviceIndex, out VRControllerState state, uint stateSize, out TrackedDevicePose pose);

            /// <summary>A haptic pulse on one axis of a controller.</summary>
            [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                       EntryPoint = MsvcNames ? "?TriggerHapticPulse@openVR@Zerin@@YAXIIG@Z"
                                              : "_ZN5Zerin6openVR18TriggerHapticPulseEjjt")]
            public static extern void TriggerHapticPulse(uint deviceIndex, uint axisId, ushort durationMicroseconds);

            /// <summary>OpenVR's static name of a button (never freed).</summary>
            [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                       EntryPoint = MsvcNames ? "?GetButtonIdNameFromEnum@openVR@Zerin@@YAPEBDW4EVRButtonId@vr@@@Z"
                                              : "_ZN5Zerin6openVR23GetButtonIdNameFromEnumEN2vr11EVRButtonIdE")]
            public static extern IntPtr GetButtonIdNameFromEnum(VRButtonId id);

            /// <summary>OpenVR's static name of an axis type (never freed).</summary>
            [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                       EntryPoint = MsvcNames ? "?GetControllerAxisTypeNameFromEnum@openVR@Zerin@@YAPEBDW4EVRControllerAxisType@vr@@@Z"
                                              : "_ZN5Zerin6openVR33GetControllerAxisTypeNameFromEnumEN2vr21EVRControllerAxisTypeE")]
            public static extern IntPtr GetControllerAxisTypeNameFromEnum(ControllerAxisType type);
        }
    }
}
