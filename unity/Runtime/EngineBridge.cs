// The exports of ZerinEngineBridge that scripts call (all but UnityPluginLoad and
// UnityPluginUnload, which are the engine's), with their exact native types: one-byte bools,
// IntPtr for slots, handles and strings the plug-in hands out, blittable records by reference.
// Windows x64 has one calling convention; Cdecl names it on every platform.
using System;
using System.Runtime.InteropServices;
using System.Text;

namespace Zerin
{
    public static class EngineBridge
    {
        public const string Library = "ZerinEngineBridge";

        // ---- Plug-in log ------------------------------------------------------------------
        /// <summary>Installs a native DebugLogCallback, void (const char* message), called on
        /// whichever thread logs; IntPtr.Zero removes it. The bindings install the callback
        /// queue's entry (<see cref="CallbackQueue_Entry"/>), never a managed delegate.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void SetDebugLog(IntPtr callback);

        /// <summary>Installs a native callback for the shared logger's lines (the program manager
        /// client and its pipe), void (int32_t level, const char* tag, const char* message), called
        /// on whichever thread logs; IntPtr.Zero removes it. Beside SetDebugLog, which receives
        /// the plug-in log alone. The bindings install the callback queue's entry.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void SetLogLineCallback(IntPtr callback);

        // ---- Session ----------------------------------------------------------------------
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return: MarshalAs(UnmanagedType.I1)]
        public static extern bool InitSession();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return: MarshalAs(UnmanagedType.I1)]
        public static extern bool InitSessionWithLayerId(long layerId);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void EndSession();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return: MarshalAs(UnmanagedType.I1)]
        public static extern bool IsSessionNull();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr GetSession();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return: MarshalAs(UnmanagedType.I1)]
        public static extern bool IsZerinSystemInstalled();

        /// <summary>The runtime's last error code; 1 without a session.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern long GetError();

        /// <summary>The runtime's error code that ended the last failed session start; 0 when none
        /// did, or when the render thread's error check took the runtime's error first.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern long GetSessionStartError();

        /// <summary>The runtime library's version text (empty when it reports none), or IntPtr.Zero
        /// without the library; opens nothing. It belongs to the runtime: never free it.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr GetRuntimeVersion();

        /// <summary>The runtime version the plug-in was built for: InitSession opens only
        /// against a runtime reporting the same text. Static: never free it.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr GetPluginVersion();

        /// <summary>The runtime's text for a code, which the plug-in widens to 64 bits. It belongs
        /// to the runtime: never free it (use <see cref="GetErrorText"/>).</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr GetErrorMessage(int code);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void SetSessionVisible([MarshalAs(UnmanagedType.I1)] bool visible);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void SetSessionTransparent([MarshalAs(UnmanagedType.I1)] bool transparent);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void SendHeartBeat(long sequence);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void ResetPose([MarshalAs(UnmanagedType.I1)] bool includeHeight, int originKind);

        /// <summary>Key and value are NUL-terminated UTF-8 (<see cref="Utf8"/>); a null value
        /// removes the key. <see cref="SetConfigValue"/> takes strings.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void SetConfig(byte[] key, byte[] value);

        /// <summary>A buffer the caller owns and frees with Marshal.FreeCoTaskMem, or IntPtr.Zero
        /// (use <see cref="GetConfigValue"/>).</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr GetConfig(byte[] key);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern RenderTextureDesc GetRenderTextureFormat(int kind);

        /// <summary>The quaternion (x, y, z, w) as Euler angles; without a session
        /// <paramref name="angles"/> is left as it was.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void GetEulerAngles(double x, double y, double z, double w, ref EulerAngles angles);

        // ---- Render queue -----------------------------------------------------------------
        /// <summary>The callback for GL.IssuePluginEvent / CommandBuffer.IssuePluginEvent with
        /// the ids of <see cref="RenderEvent"/>.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr GetRenderEventFunc();

        /// <summary>A slot naming the swap chain from now on; it holds the runtime's handle once a
        /// <see cref="RenderEvent.SwapchainRequests"/> has run. IntPtr.Zero without a session.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr QueueCreateD3D11Swapchain([In] ref SwapchainConfig config);

        /// <summary>The slot is freed by the next <see cref="RenderEvent.SwapchainRequests"/>;
        /// do not use it after that.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void QueueDestroySwapchain(IntPtr slot);

        /// <summary>Copies up to four layers at once; the array may be reused after the call.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void QueueSubmission(int layerCount, [In] SubmissionLayer[] layers);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void GetFramePoseData(out FramePoseData data);

        /// <summary>Returns once per <see cref="RenderEvent.FrameSync"/> the render thread ran,
        /// counting those that ran before the call. Issue the event first, or this waits for ever.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void SyncRenderThread();

        // ---- Events and buttons -------------------------------------------------------------
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return: MarshalAs(UnmanagedType.I1)]
        public static extern bool PollEvent(out long type);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern uint GetEventForeground();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern uint GetEventHeadsetStandbyStatus();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern uint GetEventVisibility();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern long GetEventButton();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern long GetEventDataStreamStart();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern long GetEventDataStreamStop();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern long GetEventMRCameraPropertyChange();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern long GetEventMRDeviceStatus();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return: MarshalAs(UnmanagedType.I1)]
        public static extern bool GetButtonEvent(long button, long state);

        // ---- Gaze ---------------------------------------------------------------------------
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return: MarshalAs(UnmanagedType.I1)]
        public static extern bool InitGaze();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern GazeSample GetGaze();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return: MarshalAs(UnmanagedType.I1)]
        public static extern bool GetOldestGazeIfAvailable(out GazeSample sample);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern RawGazeSample GetRawGazeData();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void RequestGazeCalibration();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void RequestGazeCalibrationWithParameters([In] GazeCalibrationParameter[] parameters,
                                                                       uint count);

        // ---- Mixed reality and occlusion mesh ------------------------------------------------
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return: MarshalAs(UnmanagedType.I1)]
        public static extern bool MRIsAvailable();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return: MarshalAs(UnmanagedType.I1)]
        public static extern bool MRSupportsDataStream(long kind);

        /// <summary>Starts the stream of <paramref name="kind"/> with a native StreamFrameCallback,
        /// void (const void* frame, void* userData), called on the runtime's delivery thread. The
        /// bindings pass the callback queue's entry (<see cref="CallbackQueue_Entry"/>).</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return: MarshalAs(UnmanagedType.I1)]
        public static extern bool MRStartDataStream(long kind, IntPtr callback, IntPtr userData);

        /// <summary>Returns after the stream's last callback has returned.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void MRStopDataStream(long kind);

        /// <summary>The mesh (free it with <see cref="FreeOcclusionMesh"/>) with its vertex count
        /// and <see cref="OcclusionVertex"/> data, which lives as long as the mesh.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr CreateOcclusionMesh(int viewIndex, out int vertexCount, out IntPtr vertexData);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void FreeOcclusionMesh(IntPtr mesh);

        // ---- Program manager client ----------------------------------------------------------
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int ProgramManagerClient_Create();

        /// <summary>Joins the client's threads: may block up to a second.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void ProgramManagerClient_Destroy(int handle);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return: MarshalAs(UnmanagedType.I1)]
        public static extern bool ProgramManagerClient_IsConnected(int handle);

        /// <summary>Blocks the calling thread until the service's pipe exists, then handshakes.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return: MarshalAs(UnmanagedType.I1)]
        public static extern bool ProgramManagerClient_Connect(int handle);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void ProgramManagerClient_RestartActiveClient(int handle);

        /// <summary>One native handler for all clients, void (int clientHandle, const char* name,
        /// int nameLength, const byte* data, int dataSize), called on the receiving client's
        /// dispatcher thread; IntPtr.Zero removes it. The bindings install the callback queue's
        /// entry (<see cref="CallbackQueue_Entry"/>).</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void SetProgramManagerUnityMessageHandler(IntPtr handler);

        // ---- Callback queue ------------------------------------------------------------------
        // The plug-in's callbacks, copied into a queue that one managed thread drains, so that no
        // native thread ever calls into managed code (EngineBridgeCallbacks does this).

        /// <summary>The native entry that queues calls of a kind (<see cref="QueuedCallbackKind"/>),
        /// to be installed as that callback; IntPtr.Zero for another kind.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr CallbackQueue_Entry(int kind);

        /// <summary>From now on queued calls are kept; anything left from before is dropped.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void CallbackQueue_Open();

        /// <summary>For one consumer thread: waits up to <paramref name="timeoutMs"/> (negative: no
        /// limit). 1: <paramref name="next"/> filled, what it points at valid until this thread's
        /// next call; 0: time-out; -1: the queue is closed.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int CallbackQueue_Next(out QueuedCallback next, int timeoutMs);

        /// <summary>Drops what is queued and wakes the consumer with -1.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void CallbackQueue_Close();

        // ---- Strings ------------------------------------------------------------------------

        /// <summary>The runtime's text for an error code as <see cref="GetError"/> returns it (not
        /// freed: it is the runtime's); null for a code the plug-in cannot pass on, whose 32 bits
        /// would name another error.</summary>
        public static string GetErrorText(long code)
        {
            if (code < int.MinValue || code > int.MaxValue) return null;
            return Utf8.FromNative(GetErrorMessage((int)code));
        }

        /// <summary>The configuration value of <paramref name="key"/>, or null. The plug-in's
        /// buffer is freed here, also when decoding fails.</summary>
        public static string GetConfigValue(string key)
        {
            IntPtr buffer = GetConfig(Utf8.ToNative(key));
            if (buffer == IntPtr.Zero) return null;
            try
            {
                return Utf8.FromNative(buffer);
            }
            finally
            {
                Marshal.FreeCoTaskMem(buffer);
            }
        }

        /// <summary>Sets <paramref name="key"/>; a null value removes it.</summary>
        public static void SetConfigValue(string key, string value)
        {
            SetConfig(Utf8.ToNative(key), Utf8.ToNative(value));
        }
    }

    /// <summary>NUL-terminated UTF-8 strings across the boundary (the marshaller's own string
    /// conversion uses the system code page on Windows).</summary>
    public static class Utf8
    {
        public static byte[] ToNative(string text)
        {
            if (text == null) return null;
            byte[] bytes = new byte[Encoding.UTF8.GetByteCount(text) + 1];
            Encoding.UTF8.GetBytes(text, 0, text.Length, bytes, 0);
            return bytes;
        }

        public static string FromNative(IntPtr text)
        {
            if (text == IntPtr.Zero) return null;
            int length = 0;
            while (Marshal.ReadByte(text, length) != 0) ++length;
            return FromNative(text, length);
        }

        public static string FromNative(IntPtr text, int length)
        {
            if (text == IntPtr.Zero) return null;
            byte[] bytes = new byte[length];
            Marshal.Copy(text, bytes, 0, length);
            return Encoding.UTF8.GetString(bytes);
        }
    }
}
