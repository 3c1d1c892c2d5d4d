// What this application domain has handed to native code, in one place, and ReleaseAll, which
// takes it all back. The engine's editor keeps the plug-in loaded while it unloads and re-creates
// the scripts' domain many times an hour: a callback, a thread waiting in the plug-in, a client,
// a stream or the session left behind by one domain would outlive it, and its unload must not
// wait for any of them.
//
// Called by AppDomain.DomainUnload and ProcessExit (hooked when the bindings first hand anything
// over), in the engine by Application.quitting and at the start of play mode (where domain reload
// is switched off the statics of the last play mode live on), and in the editor before assembly
// reloads and on leaving play mode (Zerin.Native.Editor).
using System;
using System.Collections.Generic;
using System.Linq;

namespace Zerin
{
    /// <summary>Takes back, in one call, everything the scripts' domain handed to the native
    /// libraries; the bindings call it at every domain unload, play-mode change and quit.</summary>
    public static class EngineBridgeLifetime
    {
        sealed class Stream
        {
            public long Token;
            public Action<StreamFrame> Handler;
        }

        static readonly object releasing = new object();  // one ReleaseAll at a time

        static readonly object sync = new object();  // guards every field below; never held across a native call
        static bool hooked;
        static bool handedOver;  // something reached native code since the last release
        static Session session;  // the session this domain opened, until it ends
        static readonly HashSet<int> clients = new HashSet<int>();
        static readonly Dictionary<DataStreamKind, Stream> streams = new Dictionary<DataStreamKind, Stream>();  // by kind
        static long lastStreamToken;
        static OpenVR.TrackedDevices tracker;  // OpenVR as this domain opened it
        static int releaseCount;

        /// <summary>How many times <see cref="ReleaseAll"/> found something to release.</summary>
        public static int ReleaseCount
        {
            get { lock (sync) return releaseCount; }
        }

        /// <summary>Takes back everything this domain handed to native code, in bounded time:
        /// closes the callback queue and joins the bindings' thread (2 s at most, then a warning),
        /// removes the plug-in's log, logger-line and program manager callbacks (and the tracker
        /// library's logger-line callback), stops the streams, destroys
        /// the program manager clients (a Connect waiting on another thread returns false),
        /// ends the session this domain opened, and drops every handler of
        /// <see cref="EngineBridgeCallbacks"/>. Idempotent, safe from any thread, never throws.</summary>
        public static void ReleaseAll()
        {
            try
            {
                lock (releasing) Release();
            }
            catch (Exception exception)
            {
                BindingsLog.Exception(exception);
            }
        }

        static void Release()
        {
            bool released;
            Session openSession;
            int[] clientHandles;
            DataStreamKind[] streamKinds;
            lock (sync)
            {
                released = handedOver;
                handedOver = false;
                openSession = session;
                session = null;
                clientHandles = clients.ToArray();
                clients.Clear();
                streamKinds = streams.Keys.ToArray();
                streams.Clear();
            }
            if (released)
            {
                Attempt(() => CallbackDelivery.Stop());
                Attempt(() => Native.SetDebugLog(IntPtr.Zero));
                Attempt(() => Native.SetLogLineCallback(IntPtr.Zero));
                Attempt(() => Native.SetProgramManagerUnityMessageHandler(IntPtr.Zero));
                foreach (DataStreamKind kind in streamKinds) Attempt(() => Native.MRStopDataStream(kind));
                foreach (int handle in clientHandles) Attempt(() => Native.ProgramManagerClient_Destroy(handle));
                if (openSession != null) Attempt(Native.EndSession);
            }
            // The tracker library's callback and OpenVR are no handing over to the engine bridge:
            // taken back whether or not anything else was.
            Attempt(EngineBridgeCallbacks.RemoveTrackerLines);
            OpenVR.TrackedDevices openTracker;
            lock (sync) openTracker = tracker;
            if (openTracker != null)
            {
                Attempt(openTracker.Dispose);
                released = true;
            }
            released |= EngineBridgeCallbacks.ClearHandlers();
            OncePerCause.ForgetEverything();
            if (released) lock (sync) ++releaseCount;
        }

        // One step that fails (a library that cannot be loaded) does not keep the others back.
        static void Attempt(Action step)
        {
            try
            {
                step();
            }
            catch (Exception exception)
            {
                BindingsLog.Exception(exception);
            }
        }

        static void OnUnload(object sender, EventArgs args)
        {
            ReleaseAll();
        }

#if UNITY_5_3_OR_NEWER
        [UnityEngine.RuntimeInitializeOnLoadMethod(UnityEngine.RuntimeInitializeLoadType.SubsystemRegistration)]
        static void OnPlayModeStart()
        {
            ReleaseAll();
        }
#endif

        // Before anything reaches native code: from then on this domain has something to release.
        internal static void HandingOver()
        {
            lock (sync) handedOver = true;
            Hook();
        }

        static void Hook()
        {
            lock (sync)
            {
                if (hooked) return;
                hooked = true;
            }
            AppDomain.CurrentDomain.DomainUnload += OnUnload;
            AppDomain.CurrentDomain.ProcessExit += OnUnload;
#if UNITY_5_3_OR_NEWER
            UnityEngine.Application.quitting += ReleaseAll;
#endif
        }

        internal static void SessionOpened(Session opened)
        {
            HandingOver();
            lock (sync) session = opened;
        }

        /// <summary>True while <paramref name="candidate"/> is the session this domain has open.</summary>
        internal static bool IsOpen(Session candidate)
        {
            lock (sync) return candidate != null && session == candidate;
        }

        // True when `ending` was open: the caller ends it, which stops every stream.
        internal static bool SessionEnding(Session ending)
        {
            lock (sync)
            {
                if (ending == null || session != ending) return false;
                session = null;
                streams.Clear();
                return true;
            }
        }

        internal static void ClientCreated(int handle)
        {
            HandingOver();
            lock (sync) clients.Add(handle);
        }

        // True when the handle was this domain's and not yet destroyed: the caller destroys it.
        internal static bool ClientDestroying(int handle)
        {
            lock (sync) return clients.Remove(handle);
        }

        // False when the kind has a stream already.
        internal static bool StreamStarting(DataStreamKind kind, Action<StreamFrame> handler, out long token)
        {
            HandingOver();
            lock (sync)
            {
                token = 0;
                if (streams.ContainsKey(kind)) return false;
                token = ++lastStreamToken;
                streams[kind] = new Stream { Token = token, Handler = handler };
                return true;
            }
        }

        internal static bool StreamStopped(DataStreamKind kind)
        {
            lock (sync) return streams.Remove(kind);
        }

        internal static Action<StreamFrame> StreamHandler(long token)
        {
            lock (sync)
            {
                foreach (Stream stream in streams.Values)
                    if (stream.Token == token) return stream.Handler;
                return null;
            }
        }

        internal static int StreamCount
        {
            get { lock (sync) return streams.Count; }
        }

        internal static void TrackerOpened(OpenVR.TrackedDevices devices)
        {
            lock (sync) tracker = devices;
            Hook();
        }

        internal static void TrackerClosed(OpenVR.TrackedDevices devices)
        {
            lock (sync) if (tracker == devices) tracker = null;
        }
    }
}
