// The exports of ZerinEngineBridge that scripts call (all but UnityPluginLoad and
// UnityPluginUnload, which are the engine's), with their exact native types: one-byte bools,
// IntPtr for slots, handles and strings the plug-in hands out, blittable records by reference,
// enums of the native width. Windows x64 has one calling convention; Cdecl names it on every
// platform. Scripts normally use Session, Submission, Swapchain and the other classes built on
// these; the raw calls stay public for what those do not cover.
using System;
using System.Runtime.InteropServices;

namespace Zerin
{
    /// <summary>The raw exports of the native libraries, one import each, as they are declared
    /// natively. Nothing here checks its arguments or keeps state: prefer <see cref="Session"/>,
    /// <see cref="Submission"/>, <see cref="Swapchain"/>, <see cref="RenderEvents"/> and
    /// <see cref="OpenVR.TrackedDevices"/>. ZerinTrackerLink's functions are in
    /// <see cref="Native.TrackerLink"/>.</summary>
    public static partial class Native
    {
        /// <summary>The plug-in's library name, as the engine resolves it.</summary>
        public const string Library = "ZerinEngineBridge";

        // ---- Plug-in log ------------------------------------------------------------------
        /// <summary>Installs a native DebugLogCallback, void (const char* message), called on
        /// whichever thread logs; IntPtr.Zero removes it. Returns once the callback it replaced
        /// runs no more (at once from inside it). The bindings install the callback queue's entry
        /// (<see cref="CallbackQueue_Entry"/>), never a managed delegate.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void SetDebugLog(IntPtr callback);

        /// <summary>Installs a native callback for the shared logger's lines (the program manager
        /// client and its pipe), void (int32_t level, const char* tag, const char* message), called
        /// on whichever thread logs; IntPtr.Zero removes it. Beside SetDebugLog, which receives
        /// the plug-in log alone. The bindings install the callback queue's entry.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void SetLogLineCallback(IntPtr callback);

        // ---- Session ----------------------------------------------------------------------
        /// <summary>Opens the process's one session when the runtime's version equals the
        /// plug-in's; false when one is open already, the runtime library is missing or the
        /// runtime refused (<see cref="Session.Open(out SessionOpenFailure)"/> says which).</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return: MarshalAs(UnmanagedType.I1)]
        public static extern bool InitSession();

        /// <summary>Opens the session on the runtime layer <paramref name="layerId"/>, without the
        /// version check.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return: MarshalAs(UnmanagedType.I1)]
        public static extern bool InitSessionWithLayerId(long layerId);

        /// <summary>Stops the streams, drops queued swap-chain requests and submissions, and ends
        /// the session; nothing without one.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void EndSession();

        /// <summary>True while no session is open.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return: MarshalAs(UnmanagedType.I1)]
        public static extern bool IsSessionNull();

        /// <summary>The runtime's session handle, IntPtr.Zero without a session.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr GetSession();

        /// <summary>Whether the runtime library was found and reports a runtime available; needs
        /// no session.</summary>
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
        /// to the runtime: never free it (<see cref="Session.ErrorText"/> decodes it).</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr GetErrorMessage(int code);

        /// <summary>Shows or hides the session's frames; the runtime takes it with or without a
        /// session.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void SetSessionVisible([MarshalAs(UnmanagedType.I1)] bool visible);

        /// <summary>Asks the runtime to blend the session's frames over what lies behind them.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void SetSessionTransparent([MarshalAs(UnmanagedType.I1)] bool transparent);

        /// <summary>Tells the runtime the application is alive; the value is passed on.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void SendHeartBeat(long sequence);

        /// <summary>Makes the current head pose the origin; <paramref name="originKind"/> is the
        /// runtime's.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void ResetPose([MarshalAs(UnmanagedType.I1)] bool includeHeight, int originKind);

        /// <summary>Key and value are NUL-terminated UTF-8; a null value removes the key
        /// (<see cref="Session.SetConfig"/> takes strings).</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void SetConfig(byte[] key, byte[] value);

        /// <summary>A buffer the caller owns and frees with Marshal.FreeCoTaskMem, or IntPtr.Zero
        /// (<see cref="Session.GetConfig"/> does both).</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr GetConfig(byte[] key);

        /// <summary>The size and format the runtime recommends for eye textures of a kind: kinds
        /// 2 and 3 are 2048 x 1152, every other 2048 x 2048.</summary>
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

        /// <summary>Copies up to four layers at once; the array may be reused after the call. The
        /// render thread drops a bad submission without a word: <see cref="Submission.Queue"/>
        /// checks first.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void QueueSubmission(int layerCount, [In] SubmissionLayer[] layers);

        /// <summary>The views and poses of the latest <see cref="RenderEvent.FrameSync"/>.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void GetFramePoseData(out FramePoseData data);

        /// <summary>Returns once per <see cref="RenderEvent.FrameSync"/> the render thread ran,
        /// counting those that ran before the call. Issue the event first, or this waits for ever.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void SyncRenderThread();

        // ---- Events and buttons -------------------------------------------------------------
        /// <summary>Takes the oldest queued runtime event, which the data getters then read;
        /// false when none is queued.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return: MarshalAs(UnmanagedType.I1)]
        public static extern bool PollEvent(out RuntimeEventType type);

        /// <summary>The first 32 bits of the polled event's data; 0 without one.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern uint GetEventForeground();

        /// <summary>The first 32 bits of the polled event's data; 0 without one.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern uint GetEventHeadsetStandbyStatus();

        /// <summary>The first 32 bits of the polled event's data; 0 without one.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern uint GetEventVisibility();

        /// <summary>All 8 bytes of the polled event's data; 0 without one.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern long GetEventButton();

        /// <summary>All 8 bytes of the polled event's data; 0 without one.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern long GetEventDataStreamStart();

        /// <summary>All 8 bytes of the polled event's data; 0 without one.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern long GetEventDataStreamStop();

        /// <summary>All 8 bytes of the polled event's data; 0 without one.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern long GetEventMRCameraPropertyChange();

        /// <summary>All 8 bytes of the polled event's data; 0 without one.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern long GetEventMRDeviceStatus();

        /// <summary>Asks the runtime directly, apart from the event queue, whether a button is in
        /// a state; both values are the runtime's.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return: MarshalAs(UnmanagedType.I1)]
        public static extern bool GetButtonEvent(long button, long state);

        // ---- Gaze ---------------------------------------------------------------------------
        /// <summary>Starts gaze tracking; true when the runtime reports no error.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return: MarshalAs(UnmanagedType.I1)]
        public static extern bool InitGaze();

        /// <summary>The runtime's latest gaze sample.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern GazeSample GetGaze();

        /// <summary>Takes the oldest buffered gaze sample; false, and <paramref name="sample"/>
        /// untouched, when there is none or no session.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return: MarshalAs(UnmanagedType.I1)]
        public static extern bool GetOldestGazeIfAvailable(out GazeSample sample);

        /// <summary>The runtime's latest raw gaze sample.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern RawGazeSample GetRawGazeData();

        /// <summary>Asks the runtime to calibrate gaze tracking.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void RequestGazeCalibration();

        /// <summary>Asks the runtime to calibrate gaze tracking with <paramref name="count"/>
        /// parameters.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void RequestGazeCalibrationWithParameters([In] GazeCalibrationParameter[] parameters,
                                                                       uint count);

        // ---- Mixed reality and occlusion mesh ------------------------------------------------
        /// <summary>Whether the runtime offers mixed reality.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return: MarshalAs(UnmanagedType.I1)]
        public static extern bool MRIsAvailable();

        /// <summary>Whether the runtime offers a stream of <paramref name="kind"/>.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return: MarshalAs(UnmanagedType.I1)]
        public static extern bool MRSupportsDataStream(DataStreamKind kind);

        /// <summary>Starts the stream of <paramref name="kind"/> with a native StreamFrameCallback,
        /// void (const void* frame, void* userData), called on the runtime's delivery thread. The
        /// bindings pass the callback queue's entry (<see cref="CallbackQueue_Entry"/>).</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return: MarshalAs(UnmanagedType.I1)]
        public static extern bool MRStartDataStream(DataStreamKind kind, IntPtr callback, IntPtr userData);

        /// <summary>Returns after the stream's last callback has returned.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void MRStopDataStream(DataStreamKind kind);

        /// <summary>The mesh (free it with <see cref="FreeOcclusionMesh"/>) with its vertex count
        /// and <see cref="OcclusionVertex"/> data, which lives as long as the mesh.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr CreateOcclusionMesh(int viewIndex, out int vertexCount, out IntPtr vertexData);

        /// <summary>Frees a mesh of <see cref="CreateOcclusionMesh"/>.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void FreeOcclusionMesh(IntPtr mesh);

        // ---- Program manager client ----------------------------------------------------------
        /// <summary>A new client's handle; it connects only when asked.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int ProgramManagerClient_Create();

        /// <summary>Joins the client's threads: may block up to a second.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void ProgramManagerClient_Destroy(int handle);

        /// <summary>Whether the client has a connection that completed its handshake.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return: MarshalAs(UnmanagedType.I1)]
        public static extern bool ProgramManagerClient_IsConnected(int handle);

        /// <summary>Blocks the calling thread until the service's pipe exists, then handshakes.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return: MarshalAs(UnmanagedType.I1)]
        public static extern bool ProgramManagerClient_Connect(int handle);

        /// <summary>Connects if needed; returns once the service has read the request.</summary>
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

        /// <summary>The native entry that queues calls of <paramref name="kind"/>, to be installed
        /// as that callback; IntPtr.Zero for another kind.</summary>
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr CallbackQueue_Entry(QueuedCallbackKind kind);

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
    }
}
