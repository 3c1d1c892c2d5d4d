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
        public RuntimeEventType Type;
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
        /// <summary>The runtime's error code (as <see cref="EngineBridge.GetError"/> gives them); 0 when there is none.</summary>
        public long ErrorCode { get; private set; }
        /// <summary>The runtime's text for the code, or why the runtime library was not loaded; else null.</summary>
        public string ErrorText { get; private set; }
        /// <summary>One line for a person: "no runtime installed (...)", "version mismatch: runtime X,
        /// plug-in Y", "runtime error C: text", ...</summary>
        public string Message { get; private set; }

        /// <summary>The <see cref="Message"/>.</summary>
        public override string ToString() { return Message; }
    }

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
            return Open(EngineBridge.InitSession, true, out why);
        }

        /// <summary>Opens the session on a layer of the runtime's choosing, without the version
        /// check, or returns null and logs why, once until a start succeeds.</summary>
        public static Session OpenWithLayerId(long layerId)
        {
            SessionOpenFailure why;
            return Logged(Open(() => EngineBridge.InitSessionWithLayerId(layerId), false, out why), why);
        }

        static Session Logged(Session opened, SessionOpenFailure why)
        {
            // The bindings' own text (tests match it): must not be corrected.
            if (why != null) openReports.Report(why.Message, "Session not opened: " + why.Message);
            return opened;
        }

        static Session Open(Func<bool> init, bool checksVersion, out SessionOpenFailure why)
        {
            bool wasOpen = !EngineBridge.IsSessionNull();
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
            if (!wasOpen && !EngineBridge.IsSessionNull()) EngineBridge.EndSession();
            return null;
        }

        // Asked in this order because each later question needs the earlier answer: without the
        // library there is no version, and the runtime's own availability costs a runtime call.
        static SessionOpenFailure WhyStartFailed(bool checksVersion)
        {
            string runtimeVersion = Utf8.FromNative(EngineBridge.GetRuntimeVersion());
            if (runtimeVersion == null)
            {
                // Without the library every code's text is why it was not loaded.
                string reason = EngineBridge.GetErrorText(0);
                return new SessionOpenFailure(SessionOpenFailureKind.NoRuntime, 0, reason,
                                              "no runtime installed (" + reason + ")");
            }
            string pluginVersion = Utf8.FromNative(EngineBridge.GetPluginVersion());
            if (checksVersion && runtimeVersion != pluginVersion)
                return new SessionOpenFailure(SessionOpenFailureKind.VersionMismatch, 0, null,
                                              "version mismatch: runtime " + runtimeVersion + ", plug-in " + pluginVersion);
            if (!EngineBridge.IsZerinSystemInstalled())
                return new SessionOpenFailure(SessionOpenFailureKind.NoRuntime, 0, null,
                                              "no runtime installed (the runtime library reports none available)");
            long code = EngineBridge.GetSessionStartError();
            string text = code == 0 ? null : EngineBridge.GetErrorText(code);
            return new SessionOpenFailure(SessionOpenFailureKind.RuntimeError, code, text,
                                          code == 0 ? "the runtime gave no session and no error code"
                                                    : "runtime error " + code + ": " + text);
        }

        /// <summary>The runtime's session handle.</summary>
        public IntPtr Handle { get { return EngineBridge.GetSession(); } }

        /// <summary>Raised by <see cref="DispatchEvents"/> on the calling thread.</summary>
        public event Action<RuntimeEvent> EventReceived;

        /// <summary>Delivers every queued runtime event, oldest first, to <see cref="EventReceived"/>.
        /// The render thread queues them at <see cref="RenderEvent.FrameSync"/> and
        /// <see cref="RenderEvent.EventPoll"/>. Returns how many there were.</summary>
        public int DispatchEvents()
        {
            int count = 0;
            long type;
            while (!Ended && EngineBridge.PollEvent(out type))
            {
                ++count;
                RuntimeEvent runtimeEvent;
                runtimeEvent.Type = (RuntimeEventType)type;
                runtimeEvent.Data = EngineBridge.GetEventButton();  // all 8 data bytes, whatever the type
                Action<RuntimeEvent> handlers = EventReceived;
                if (handlers != null) handlers(runtimeEvent);
            }
            return count;
        }

        /// <summary>Starts the stream of <paramref name="kind"/> (<see cref="DataStreamKind"/>);
        /// its frames reach <paramref name="handler"/> in order on the bindings' thread "Zerin
        /// callbacks", the frame's Data valid only during the call. False when not offered, already
        /// started, or the runtime failed (then it counts as started until
        /// <see cref="StopDataStream"/>).</summary>
        public bool StartDataStream(long kind, Action<StreamFrame> handler)
        {
            if (Ended || handler == null) return false;
            return EngineBridgeCallbacks.StartDataStream(kind, handler);
        }

        /// <summary>Returns once the stream's last frame has been handled (at once from a frame
        /// handler); frames still queued reach nobody.</summary>
        public void StopDataStream(long kind)
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
            IntPtr mesh = EngineBridge.CreateOcclusionMesh(viewIndex, out count, out data);
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
                EngineBridge.FreeOcclusionMesh(mesh);
            }
        }

        /// <summary>Stops the streams, drops queued swap-chain requests and submissions, and shuts
        /// the session down.</summary>
        public void Dispose()
        {
            if (!EngineBridgeLifetime.SessionEnding(this)) return;
            EngineBridge.EndSession();
            EngineBridgeCallbacks.WaitForStreamHandlers();
        }
    }

    /// <summary>A program manager client that is destroyed (its threads joined, its pipe
    /// closed) when disposed.</summary>
    public sealed class ProgramManagerClient : IDisposable
    {
        public ProgramManagerClient()
        {
            Handle = EngineBridge.ProgramManagerClient_Create();
            EngineBridgeLifetime.ClientCreated(Handle);
        }

        /// <summary>The handle messages carry (<see cref="EngineBridgeCallbacks.ProgramManagerMessage"/>).</summary>
        public int Handle { get; private set; }

        public bool IsConnected { get { return EngineBridge.ProgramManagerClient_IsConnected(Handle); } }

        /// <summary>Blocks until the service's pipe exists, then handshakes.</summary>
        public bool Connect()
        {
            return EngineBridge.ProgramManagerClient_Connect(Handle);
        }

        /// <summary>Connects if needed; returns once the service has read the request.</summary>
        public void RestartActiveClient()
        {
            EngineBridge.ProgramManagerClient_RestartActiveClient(Handle);
        }

        public void Dispose()
        {
            if (EngineBridgeLifetime.ClientDestroying(Handle)) EngineBridge.ProgramManagerClient_Destroy(Handle);
        }
    }
}
