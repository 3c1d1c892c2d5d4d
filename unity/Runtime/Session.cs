// The one compositor session of the process, for `using` blocks and OnDestroy: what it opens
// is closed again, and a failed start does not leave a half-open session behind. A session and
// the clients are also closed by EngineBridgeLifetime.ReleaseAll; their objects then do nothing.
using System;
using System.Runtime.InteropServices;

namespace Zerin
{
    /// <summary>One runtime event: its type and its 8 data bytes as one value.</summary>
    public struct RuntimeEvent
    {
        /// <summary>What happened.</summary>
        public RuntimeEventType Type;
        /// <summary>All 8 data bytes; see <see cref="RuntimeEventType"/> for each type's.</summary>
        public long Data;

        /// <summary>The first 32 bits of the data (visibility, foreground, standby).</summary>
        public uint Data32 { get { return unchecked((uint)Data); } }
    }

    /// <summary>Why <see cref="Session.Open(out SessionOpenFailure)"/> opened no session.</summary>
    public enum SessionOpenFailureKind
    {
        /// <summary>No runtime library was found, or it reports no runtime available.</summary>
        NoRuntime,
        /// <summary>The runtime's version differs from the one the plug-in was built for.</summary>
        VersionMismatch,
        /// <summary>A session is open already; it was left alone.</summary>
        AlreadyOpen,
        /// <summary>The runtime refused: see the error code and text.</summary>
        RuntimeError,
    }

    /// <summary>The cause of a failed session start.</summary>
    public sealed class SessionOpenFailure
    {
        internal SessionOpenFailure(SessionOpenFailureKind kind, long errorCode, string errorText, string message)
        {
            Kind = kind;
            ErrorCode = errorCode;
            ErrorText = errorText;
            Message = message;
        }

        /// <summary>Which of the causes it was.</summary>
        public SessionOpenFailureKind Kind { get; private set; }
        /// <summary>The runtime's error code (as <see cref="Session.LastError"/> gives them); 0 when there is none.</summary>
        public long ErrorCode { get; private set; }
        /// <summary>The runtime's text for the code, or why the runtime library was not loaded; else null.</summary>
        public string ErrorText { get; private set; }
        /// <summary>One line for a person: "no runtime installed (...)", "version mismatch: runtime X,
        /// plug-in Y", "runtime error C: text", ...</summary>
        public string Message { get; private set; }

        /// <summary>The <see cref="Message"/>.</summary>
        public override string ToString() { return Message; }
    }

    /// <summary>The process's one compositor session: opened by <see cref="Open()"/>, closed by
    /// <see cref="Dispose"/> (or by <see cref="EngineBridgeLifetime.ReleaseAll"/>, after which
    /// its methods do nothing).</summary>
    public sealed class Session : IDisposable
    {
        Session() { }

        // Until Dispose or EngineBridgeLifetime.ReleaseAll ended it.
        bool Ended { get { return !EngineBridgeLifetime.IsOpen(this); } }

        static readonly OncePerCause openReports = new OncePerCause();

        /// <summary>Opens the session (the runtime's version must equal the plug-in's), or
        /// returns null and logs why, once until a start succeeds.</summary>
        public static Session Open()
        {
            SessionOpenFailure why;
            return Logged(Open(out why), why);
        }

        /// <summary>Opens the session, or returns null with the reason in <paramref name="why"/>
        /// (null on success); logs nothing itself.</summary>
        public static Session Open(out SessionOpenFailure why)
        {
            return Open(Native.InitSession, true, out why);
        }

        /// <summary>Opens the session on a layer of the runtime's choosing, without the version
        /// check, or returns null and logs why, once until a start succeeds.</summary>
        public static Session OpenWithLayerId(long layerId)
        {
            SessionOpenFailure why;
            return Logged(Open(() => Native.InitSessionWithLayerId(layerId), false, out why), why);
        }

        static Session Logged(Session opened, SessionOpenFailure why)
        {
            // The bindings' own text (tests match it): must not be corrected.
            if (why != null) openReports.Report(why.Message, "Session not opened: " + why.Message);
            return opened;
        }

        static Session Open(Func<bool> init, bool checksVersion, out SessionOpenFailure why)
        {
            bool wasOpen = !Native.IsSessionNull();
            if (init())
            {
                var session = new Session();
                EngineBridgeLifetime.SessionOpened(session);
                openReports.ForgetAll();
                why = null;
                return session;
            }
            why = wasOpen ? new SessionOpenFailure(SessionOpenFailureKind.AlreadyOpen, 0, null,
                                                   "a session is already open: dispose it first")
                          : WhyStartFailed(checksVersion);
            // A start that failed after the runtime made the session leaves it open, and the next
            // start would be refused; one that found another session open leaves that one alone.
            if (!wasOpen && !Native.IsSessionNull()) Native.EndSession();
            return null;
        }

        // Asked in this order because each later question needs the earlier answer: without the
        // library there is no version, and the runtime's own availability costs a runtime call.
        static SessionOpenFailure WhyStartFailed(bool checksVersion)
        {
            string runtimeVersion = Utf8.FromNative(Native.GetRuntimeVersion());
            if (runtimeVersion == null)
            {
                // Without the library every code's text is why it was not loaded.
                string reason = ErrorText(0);
                return new SessionOpenFailure(SessionOpenFailureKind.NoRuntime, 0, reason,
                                              "no runtime installed (" + reason + ")");
            }
            string pluginVersion = Utf8.FromNative(Native.GetPluginVersion());
            if (checksVersion && runtimeVersion != pluginVersion)
                return new SessionOpenFailure(SessionOpenFailureKind.VersionMismatch, 0, null,
                                              "version mismatch: runtime " + runtimeVersion + ", plug-in " + pluginVersion);
            if (!Native.IsZerinSystemInstalled())
                return new SessionOpenFailure(SessionOpenFailureKind.NoRuntime, 0, null,
                                              "no runtime installed (the runtime library reports none available)");
            long code = Native.GetSessionStartError();
            string text = code == 0 ? null : ErrorText(code);
            return new SessionOpenFailure(SessionOpenFailureKind.RuntimeError, code, text,
                                          code == 0 ? "the runtime gave no session and no error code"
                                                    : "runtime error " + code + ": " + text);
        }

        /// <summary>The runtime's session handle.</summary>
        public IntPtr Handle { get { return Native.GetSession(); } }

        /// <summary>Raised by <see cref="DispatchEvents"/> on the calling thread.</summary>
        public event Action<RuntimeEvent> EventReceived;

        /// <summary>Delivers every queued runtime event, oldest first, to <see cref="EventReceived"/>.
        /// The render thread queues them at <see cref="RenderEvent.FrameSync"/> and
        /// <see cref="RenderEvent.EventPoll"/>. Returns how many there were.</summary>
        public int DispatchEvents()
        {
            int count = 0;
            RuntimeEventType type;
            while (!Ended && Native.PollEvent(out type))
            {
                ++count;
                RuntimeEvent runtimeEvent;
                runtimeEvent.Type = type;
                runtimeEvent.Data = Native.GetEventButton();  // all 8 data bytes, whatever the type
                Action<RuntimeEvent> handlers = EventReceived;
                if (handlers != null) handlers(runtimeEvent);
            }
            return count;
        }

        /// <summary>Starts the stream of <paramref name="kind"/>;
        /// its frames reach <paramref name="handler"/> in order on the bindings' thread "Zerin
        /// callbacks", the frame's Data valid only during the call. False when not offered, already
        /// started, or the runtime failed (then it counts as started until
        /// <see cref="StopDataStream"/>).</summary>
        public bool StartDataStream(DataStreamKind kind, Action<StreamFrame> handler)
        {
            if (Ended || handler == null) return false;
            return EngineBridgeCallbacks.StartDataStream(kind, handler);
        }

        /// <summary>Returns once the stream's last frame has been handled (at once from a frame
        /// handler); frames still queued reach nobody.</summary>
        public void StopDataStream(DataStreamKind kind)
        {
            if (!Ended) EngineBridgeCallbacks.StopDataStream(kind);
        }

        /// <summary>The occlusion mesh of one view as a triangle list, or null; the runtime's mesh
        /// is freed before this returns.</summary>
        public OcclusionVertex[] GetOcclusionMesh(int viewIndex)
        {
            if (Ended) return null;
            int count;
            IntPtr data;
            IntPtr mesh = Native.CreateOcclusionMesh(viewIndex, out count, out data);
            if (mesh == IntPtr.Zero) return null;
            try
            {
                var vertices = new OcclusionVertex[Math.Max(count, 0)];
                int size = Marshal.SizeOf(typeof(OcclusionVertex));
                for (int i = 0; i < vertices.Length; ++i)
                    vertices[i] = (OcclusionVertex)Marshal.PtrToStructure(new IntPtr(data.ToInt64() + i * size),
                                                                          typeof(OcclusionVertex));
                return vertices;
            }
            finally
            {
                Native.FreeOcclusionMesh(mesh);
            }
        }

        /// <summary>The runtime's text for an error code as <see cref="LastError"/> and
        /// <see cref="SessionOpenFailure.ErrorCode"/> give them; null for a code the plug-in cannot
        /// pass on, whose 32 bits would name another error. Needs no session.</summary>
        public static string ErrorText(long code)
        {
            if (code < int.MinValue || code > int.MaxValue) return null;
            return Utf8.FromNative(Native.GetErrorMessage((int)code));
        }

        /// <summary>The runtime's last error code (0: none).</summary>
        public long LastError { get { return Ended ? 1 : Native.GetError(); } }

        /// <summary>The configuration value of <paramref name="key"/>, or null. The plug-in's
        /// buffer is freed here, also when decoding fails.</summary>
        public string GetConfig(string key)
        {
            if (key == null) throw new ArgumentNullException("key");
            if (Ended) return null;
            IntPtr buffer = Native.GetConfig(Utf8.ToNative(key));
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
        public void SetConfig(string key, string value)
        {
            if (key == null) throw new ArgumentNullException("key");
            if (!Ended) Native.SetConfig(Utf8.ToNative(key), Utf8.ToNative(value));
        }

        /// <summary>Shows or hides the session's frames.</summary>
        public void SetVisible(bool visible)
        {
            if (!Ended) Native.SetSessionVisible(visible);
        }

        /// <summary>Blends the session's frames over what lies behind them, or not.</summary>
        public void SetTransparent(bool transparent)
        {
            if (!Ended) Native.SetSessionTransparent(transparent);
        }

        /// <summary>Queues a swap chain that the next <see cref="RenderEvent.SwapchainRequests"/>
        /// makes on the render thread; dispose it to free it at the event after.</summary>
        public Swapchain CreateSwapchain(SwapchainConfig config)
        {
            if (Ended) return null;
            IntPtr slot = Native.QueueCreateD3D11Swapchain(ref config);
            return slot == IntPtr.Zero ? null : new Swapchain(slot, config);
        }

        /// <summary>The views and poses of the latest <see cref="RenderEvent.FrameSync"/> the
        /// render thread ran.</summary>
        public FramePoseData FramePoses
        {
            get
            {
                FramePoseData data;
                Native.GetFramePoseData(out data);
                return data;
            }
        }

        /// <summary>Returns once per <see cref="RenderEvent.FrameSync"/> the render thread ran
        /// (counting those before the call), when the frame's poses are there to read. Issue the
        /// event first, or this waits for ever.</summary>
        public void WaitForFrameSync()
        {
            if (!Ended) Native.SyncRenderThread();
        }

        /// <summary>Stops the streams, drops queued swap-chain requests and submissions, and shuts
        /// the session down.</summary>
        public void Dispose()
        {
            if (!EngineBridgeLifetime.SessionEnding(this)) return;
            Native.EndSession();
            EngineBridgeCallbacks.WaitForStreamHandlers();
        }
    }

    /// <summary>A program manager client that is destroyed (its threads joined, its pipe
    /// closed) when disposed.</summary>
    public sealed class ProgramManagerClient : IDisposable
    {
        /// <summary>Creates a client; it connects only when asked.</summary>
        public ProgramManagerClient()
        {
            Handle = Native.ProgramManagerClient_Create();
            EngineBridgeLifetime.ClientCreated(Handle);
        }

        /// <summary>The handle messages carry (<see cref="EngineBridgeCallbacks.ProgramManagerMessage"/>).</summary>
        public int Handle { get; private set; }

        /// <summary>Whether the handshake with the service completed and the pipe is open.</summary>
        public bool IsConnected { get { return Native.ProgramManagerClient_IsConnected(Handle); } }

        /// <summary>Blocks until the service's pipe exists, then handshakes.</summary>
        public bool Connect()
        {
            return Native.ProgramManagerClient_Connect(Handle);
        }

        /// <summary>Connects if needed; returns once the service has read the request.</summary>
        public void RestartActiveClient()
        {
            Native.ProgramManagerClient_RestartActiveClient(Handle);
        }

        /// <summary>Destroys the client: joins its threads (up to a second) and closes its pipe.</summary>
        public void Dispose()
        {
            if (EngineBridgeLifetime.ClientDestroying(Handle)) Native.ProgramManagerClient_Destroy(Handle);
        }
    }
}
