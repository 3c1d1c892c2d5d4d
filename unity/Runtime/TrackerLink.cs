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

    public static class TrackerLink
    {
        public const string Library = "ZerinTrackerLink";

        // The Windows editor and Windows players load the Windows DLL; ZERIN_WINDOWS_ABI builds
        // the same choice outside the engine.
#if UNITY_EDITOR_WIN || (UNITY_STANDALONE_WIN && !UNITY_EDITOR) || ZERIN_WINDOWS_ABI
        public const bool MsvcNames = true;
        /// <summary>Packing of VREvent and VRControllerState: natural on Windows.</summary>
        public const int RecordPacking = 8;
#else
        public const bool MsvcNames = false;
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

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                   EntryPoint = MsvcNames ? "?GetDeviceToAbsoluteTrackingPose@openVR@Zerin@@YAXW4ETrackingUniverseOrigin@vr@@MPEAUTrackedDevicePose_t@4@I@Z"
                                          : "_ZN5Zerin6openVR31GetDeviceToAbsoluteTrackingPoseEN2vr23ETrackingUniverseOriginEfPNS1_19TrackedDevicePose_tEj")]
        public static extern void GetDeviceToAbsoluteTrackingPose(TrackingUniverseOrigin origin, float predictedSecondsToPhotonsFromNow, [Out] TrackedDevicePose[] poses, uint poseCount);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                   EntryPoint = MsvcNames ? "?ResetSeatedZeroPose@openVR@Zerin@@YAXXZ"
                                          : "_ZN5Zerin6openVR19ResetSeatedZeroPoseEv")]
        public static extern void ResetSeatedZeroPose();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                   EntryPoint = MsvcNames ? "?GetEyeToHeadTransform@openVR@Zerin@@YA?AUHmdMatrix34_t@vr@@W4EVREye@4@@Z"
                                          : "_ZN5Zerin6openVR21GetEyeToHeadTransformEN2vr6EVREyeE")]
        public static extern HmdMatrix34 GetEyeToHeadTransform(Eye eye);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                   EntryPoint = MsvcNames ? "?GetSeatedZeroPoseToStandingAbsoluteTrackingPose@openVR@Zerin@@YA?AUHmdMatrix34_t@vr@@XZ"
                                          : "_ZN5Zerin6openVR47GetSeatedZeroPoseToStandingAbsoluteTrackingPoseEv")]
        public static extern HmdMatrix34 GetSeatedZeroPoseToStandingAbsoluteTrackingPose();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                   EntryPoint = MsvcNames ? "?GetSortedTrackedDeviceIndicesOfClass@openVR@Zerin@@YAIW4ETrackedDeviceClass@vr@@PEAIII@Z"
                                          : "_ZN5Zerin6openVR36GetSortedTrackedDeviceIndicesOfClassEN2vr19ETrackedDeviceClassEPjjj")]
        public static extern uint GetSortedTrackedDeviceIndicesOfClass(TrackedDeviceClass deviceClass, [Out] uint[] indices, uint indexCount, uint relativeToIndex);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                   EntryPoint = MsvcNames ? "?GetTrackedDeviceActivityLevel@openVR@Zerin@@YA?AW4EDeviceActivityLevel@vr@@I@Z"
                                          : "_ZN5Zerin6openVR29GetTrackedDeviceActivityLevelEj")]
        public static extern DeviceActivityLevel GetTrackedDeviceActivityLevel(uint deviceIndex);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                   EntryPoint = MsvcNames ? "?ApplyTransform@openVR@Zerin@@YAXPEAUTrackedDevicePose_t@vr@@PEBU34@PEBUHmdMatrix34_t@4@@Z"
                                          : "_ZN5Zerin6openVR14ApplyTransformEPN2vr19TrackedDevicePose_tEPKS2_PKNS1_13HmdMatrix34_tE")]
        public static extern void ApplyTransform(out TrackedDevicePose outputPose, [In] ref TrackedDevicePose trackedDevicePose, [In] ref HmdMatrix34 transform);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                   EntryPoint = MsvcNames ? "?GetTrackedDeviceIndexForControllerRole@openVR@Zerin@@YAIW4ETrackedControllerRole@vr@@@Z"
                                          : "_ZN5Zerin6openVR38GetTrackedDeviceIndexForControllerRoleEN2vr22ETrackedControllerRoleE")]
        public static extern uint GetTrackedDeviceIndexForControllerRole(TrackedControllerRole role);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                   EntryPoint = MsvcNames ? "?GetControllerRoleForTrackedDeviceIndex@openVR@Zerin@@YA?AW4ETrackedControllerRole@vr@@I@Z"
                                          : "_ZN5Zerin6openVR38GetControllerRoleForTrackedDeviceIndexEj")]
        public static extern TrackedControllerRole GetControllerRoleForTrackedDeviceIndex(uint deviceIndex);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                   EntryPoint = MsvcNames ? "?GetTrackedDeviceClass@openVR@Zerin@@YA?AW4ETrackedDeviceClass@vr@@I@Z"
                                          : "_ZN5Zerin6openVR21GetTrackedDeviceClassEj")]
        public static extern TrackedDeviceClass GetTrackedDeviceClass(uint deviceIndex);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                   EntryPoint = MsvcNames ? "?IsTrackedDeviceConnected@openVR@Zerin@@YA_NI@Z"
                                          : "_ZN5Zerin6openVR24IsTrackedDeviceConnectedEj")]
        [return: MarshalAs(UnmanagedType.I1)]
        public static extern bool IsTrackedDeviceConnected(uint deviceIndex);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                   EntryPoint = MsvcNames ? "?GetBoolTrackedDeviceProperty@openVR@Zerin@@YA_NIW4ETrackedDeviceProperty@vr@@PEAW4ETrackedPropertyError@4@@Z"
                                          : "_ZN5Zerin6openVR28GetBoolTrackedDevicePropertyEjN2vr22ETrackedDevicePropertyEPNS1_21ETrackedPropertyErrorE")]
        [return: MarshalAs(UnmanagedType.I1)]
        public static extern bool GetBoolTrackedDeviceProperty(uint deviceIndex, TrackedDeviceProperty property, out TrackedPropertyError error);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                   EntryPoint = MsvcNames ? "?GetFloatTrackedDeviceProperty@openVR@Zerin@@YAMIW4ETrackedDeviceProperty@vr@@PEAW4ETrackedPropertyError@4@@Z"
                                          : "_ZN5Zerin6openVR29GetFloatTrackedDevicePropertyEjN2vr22ETrackedDevicePropertyEPNS1_21ETrackedPropertyErrorE")]
        public static extern float GetFloatTrackedDeviceProperty(uint deviceIndex, TrackedDeviceProperty property, out TrackedPropertyError error);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                   EntryPoint = MsvcNames ? "?GetInt32TrackedDeviceProperty@openVR@Zerin@@YAHIW4ETrackedDeviceProperty@vr@@PEAW4ETrackedPropertyError@4@@Z"
                                          : "_ZN5Zerin6openVR29GetInt32TrackedDevicePropertyEjN2vr22ETrackedDevicePropertyEPNS1_21ETrackedPropertyErrorE")]
        public static extern int GetInt32TrackedDeviceProperty(uint deviceIndex, TrackedDeviceProperty property, out TrackedPropertyError error);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                   EntryPoint = MsvcNames ? "?GetUint64TrackedDeviceProperty@openVR@Zerin@@YA_KIW4ETrackedDeviceProperty@vr@@PEAW4ETrackedPropertyError@4@@Z"
                                          : "_ZN5Zerin6openVR30GetUint64TrackedDevicePropertyEjN2vr22ETrackedDevicePropertyEPNS1_21ETrackedPropertyErrorE")]
        public static extern ulong GetUint64TrackedDeviceProperty(uint deviceIndex, TrackedDeviceProperty property, out TrackedPropertyError error);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                   EntryPoint = MsvcNames ? "?GetMatrix34TrackedDeviceProperty@openVR@Zerin@@YA?AUHmdMatrix34_t@vr@@IW4ETrackedDeviceProperty@4@PEAW4ETrackedPropertyError@4@@Z"
                                          : "_ZN5Zerin6openVR32GetMatrix34TrackedDevicePropertyEjN2vr22ETrackedDevicePropertyEPNS1_21ETrackedPropertyErrorE")]
        public static extern HmdMatrix34 GetMatrix34TrackedDeviceProperty(uint deviceIndex, TrackedDeviceProperty property, out TrackedPropertyError error);

        /// <summary>Writes a NUL-terminated UTF-8 value; returns the size it needs (see GetStringProperty).</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                   EntryPoint = MsvcNames ? "?GetStringTrackedDeviceProperty@openVR@Zerin@@YAIIW4ETrackedDeviceProperty@vr@@PEADIPEAW4ETrackedPropertyError@4@@Z"
                                          : "_ZN5Zerin6openVR30GetStringTrackedDevicePropertyEjN2vr22ETrackedDevicePropertyEPcjPNS1_21ETrackedPropertyErrorE")]
        public static extern uint GetStringTrackedDeviceProperty(uint deviceIndex, TrackedDeviceProperty property, [Out] byte[] buffer, uint bufferSize, out TrackedPropertyError error);

        /// <summary>OpenVR's static text (never freed); see NameText.</summary>
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

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                   EntryPoint = MsvcNames ? "?PollNextEventWithPose@openVR@Zerin@@YA_NW4ETrackingUniverseOrigin@vr@@PEAUVREvent_t@4@IPEAUTrackedDevicePose_t@4@@Z"
                                          : "_ZN5Zerin6openVR21PollNextEventWithPoseEN2vr23ETrackingUniverseOriginEPNS1_9VREvent_tEjPNS1_19TrackedDevicePose_tE")]
        [return: MarshalAs(UnmanagedType.I1)]
        public static extern bool PollNextEventWithPose(TrackingUniverseOrigin origin, out VREvent vrEvent, uint eventSize, out TrackedDevicePose pose);

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

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                   EntryPoint = MsvcNames ? "?GetControllerStateWithPose@openVR@Zerin@@YA_NW4ETrackingUniverseOrigin@vr@@IPEAUVRControllerState001_t@4@IPEAUTrackedDevicePose_t@4@@Z"
                                          : "_ZN5Zerin6openVR26GetControllerStateWithPoseEN2vr23ETrackingUniverseOriginEjPNS1_22VRControllerState001_tEjPNS1_19TrackedDevicePose_tE")]
        [return: MarshalAs(UnmanagedType.I1)]
        public static extern bool GetControllerStateWithPose(TrackingUniverseOrigin origin, uint deviceIndex, out VRControllerState state, uint stateSize, out TrackedDevicePose pose);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                   EntryPoint = MsvcNames ? "?TriggerHapticPulse@openVR@Zerin@@YAXIIG@Z"
                                          : "_ZN5Zerin6openVR18TriggerHapticPulseEjjt")]
        public static extern void TriggerHapticPulse(uint deviceIndex, uint axisId, ushort durationMicroseconds);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                   EntryPoint = MsvcNames ? "?GetButtonIdNameFromEnum@openVR@Zerin@@YAPEBDW4EVRButtonId@vr@@@Z"
                                          : "_ZN5Zerin6openVR23GetButtonIdNameFromEnumEN2vr11EVRButtonIdE")]
        public static extern IntPtr GetButtonIdNameFromEnum(VRButtonId id);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl,
                   EntryPoint = MsvcNames ? "?GetControllerAxisTypeNameFromEnum@openVR@Zerin@@YAPEBDW4EVRControllerAxisType@vr@@@Z"
                                          : "_ZN5Zerin6openVR33GetControllerAxisTypeNameFromEnumEN2vr21EVRControllerAxisTypeE")]
        public static extern IntPtr GetControllerAxisTypeNameFromEnum(ControllerAxisType type);

        /// <summary>A string property of a device, or null with the reason in
        /// <paramref name="error"/>.</summary>
        public static string GetStringProperty(uint deviceIndex, TrackedDeviceProperty property,
                                               out TrackedPropertyError error)
        {
            uint size = GetStringTrackedDeviceProperty(deviceIndex, property, null, 0, out error);
            if (size == 0) return null;
            var buffer = new byte[size];
            size = GetStringTrackedDeviceProperty(deviceIndex, property, buffer, size, out error);
            if (size == 0 || error != TrackedPropertyError.Success) return null;
            return System.Text.Encoding.UTF8.GetString(buffer, 0, Math.Max(Array.IndexOf(buffer, (byte)0), 0));
        }

        /// <summary>The text of one of the *NameFromEnum results (OpenVR's own; not freed).</summary>
        public static string NameText(IntPtr name)
        {
            return Utf8.FromNative(name);
        }
    }
}
