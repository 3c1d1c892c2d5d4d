// Managed events for the plug-in's three callbacks, and the shared logger's lines on the
// console. What the bindings install in the plug-in is the callback queue's native entry for
// each, never a managed delegate: the calls are copied into the queue on whichever native thread
// makes them, and the bindings' own thread ("Zerin callbacks", CallbackDelivery) runs the
// handlers subscribed here. An exception from a handler stops there and is reported through
// CallbackFailed. (ZerinTrackerLink, which starts no thread, is called back directly: see
// trackerLineCallback.)
using System;
using System.Runtime.InteropServices;

namespace Zerin
{
    /// <summary>A program manager message: the receiving client's handle, the message's name and
    /// its payload (the handler's own copy).</summary>
    public delegate void ProgramManagerMessageReceived(int clientHandle, string messageName, byte[] messageData);

    /// <summary>The plug-in's callbacks as managed events, raised on the bindings' thread
    /// "Zerin callbacks", and the opt-in route of the shared logger's lines to the console.</summary>
    public static class EngineBridgeCallbacks
    {
        static readonly object sync = new object();  // guards the handler fields

        // Held by the delivery thread while a stream handler runs, so that stopping a stream can
        // wait for its last frame.
        static readonly object streamDelivery = new object();

        static Action<string> debugLog;
        static ProgramManagerMessageReceived programManagerMessage;
        static Action<Exception> callbackFailed;
        static bool loggerLinesToConsole;
        static bool trackerLinesInstalled;  // the tracker library holds trackerLineCallback

        // ZerinTrackerLink starts no thread: it logs only inside the export a script called, on
        // that script's thread, which is managed and in this domain already. So its lines come
        // back through a managed delegate directly, not through the engine bridge's queue (a
        // library of its own, which a project may use alone). Held here so that the collector
        // keeps it while the library has it.
        static readonly LogLineCallback trackerLineCallback = OnTrackerLine;

        /// <summary>Opt-in, false by default: while true, every line of both libraries' shared
        /// logger (ZerinEngineBridge's program manager client and pipe, ZerinTrackerLink's OpenVR
        /// set-up) reaches the engine's console with its level: critical and error lines through
        /// Debug.LogError, warnings through Debug.LogWarning, the rest through Debug.Log; outside
        /// the engine, standard error. ZerinEngineBridge's lines are delivered on "Zerin
        /// callbacks", ZerinTrackerLink's on the thread that called it. Additive:
        /// <see cref="DebugLog"/> keeps receiving the plug-in log alone. False again after
        /// <see cref="EngineBridgeLifetime.ReleaseAll"/>.</summary>
        public static bool LoggerLinesToConsole
        {
            get { lock (sync) return loggerLinesToConsole; }
            set
            {
                lock (sync)
                {
                    if (value == loggerLinesToConsole) return;
                    loggerLinesToConsole = value;
                    if (value)
                    {
                        try
                        {
                            CallbackDelivery.EnsureRunning();
                            Native.SetLogLineCallback(Native.CallbackQueue_Entry(QueuedCallbackKind.LoggerLine));
                        }
                        catch (Exception)
                        {
                            loggerLinesToConsole = false;  // the plug-in cannot be loaded: still off
                            throw;
                        }
                        InstallTrackerLines();
                    }
                    else
                    {
                        Native.SetLogLineCallback(IntPtr.Zero);
                        RemoveTrackerLines();
                    }
                }
            }
        }

        // A project without ZerinTrackerLink still gets the engine bridge's lines.
        static void InstallTrackerLines()
        {
            try
            {
                Native.TrackerLink.SetLogLineCallback(trackerLineCallback);
                trackerLinesInstalled = true;
            }
            catch (Exception exception)
            {
                BindingsLog.Warning("ZerinTrackerLink's log lines stay off the console: " + exception.Message);
            }
        }

        // Takes the tracker library's callback back; once it returns, OnTrackerLine runs no more.
        internal static void RemoveTrackerLines()
        {
            lock (sync)
            {
                if (!trackerLinesInstalled) return;
                trackerLinesInstalled = false;
                Native.TrackerLink.SetLogLineCallback(null);
            }
        }

        [AOT.MonoPInvokeCallback(typeof(LogLineCallback))]
        static void OnTrackerLine(int level, IntPtr tag, IntPtr message)
        {
            // Nothing may unwind into the library.
            try
            {
                BindingsLog.LoggerLine(level, Utf8.FromNative(tag), Utf8.FromNative(message));
            }
            catch (Exception)
            {
            }
        }

        /// <summary>Every plug-in log line, whichever thread logged it (scripting, render or
        /// graphics-device thread), delivered in order on the bindings' thread "Zerin callbacks",
        /// never on the thread that logged. The plug-in's callback is set while anyone listens.</summary>
        public static event Action<string> DebugLog
        {
            add
            {
                lock (sync)
                {
                    bool first = debugLog == null;
                    debugLog += value;
                    if (!first || debugLog == null) return;
                    CallbackDelivery.EnsureRunning();
                    Native.SetDebugLog(Native.CallbackQueue_Entry(QueuedCallbackKind.DebugLog));
                }
            }
            remove
            {
                lock (sync)
                {
                    if (debugLog == null) return;
                    debugLog -= value;
                    if (debugLog == null) Native.SetDebugLog(IntPtr.Zero);
                }
            }
        }

        /// <summary>Every message from the program manager service, in the order each client
        /// received them, on the bindings' thread "Zerin callbacks" (never the scripting thread
        /// nor the client's own). The data array is the handler's own.</summary>
        public static event ProgramManagerMessageReceived ProgramManagerMessage
        {
            add
            {
                lock (sync)
                {
                    bool first = programManagerMessage == null;
                    programManagerMessage += value;
                    if (!first || programManagerMessage == null) return;
                    CallbackDelivery.EnsureRunning();
                    Native.SetProgramManagerUnityMessageHandler(
                        Native.CallbackQueue_Entry(QueuedCallbackKind.ProgramManagerMessage));
                }
            }
            remove
            {
                lock (sync)
                {
                    if (programManagerMessage == null) return;
                    programManagerMessage -= value;
                    if (programManagerMessage == null) Native.SetProgramManagerUnityMessageHandler(IntPtr.Zero);
                }
            }
        }

        /// <summary>Exceptions thrown by handlers of these events and of stream frames, on the
        /// bindings' thread "Zerin callbacks". Without a subscriber they are logged
        /// (Debug.LogException in the engine).</summary>
        public static event Action<Exception> CallbackFailed
        {
            add { lock (sync) callbackFailed += value; }
            remove { lock (sync) callbackFailed -= value; }
        }

        /// <summary>Handlers held for native code: log and program manager subscriptions, the
        /// tracker library's log route and started streams. Zero once everything is unsubscribed
        /// and stopped.</summary>
        public static int HeldHandlerCount
        {
            get
            {
                lock (sync)
                {
                    return Count(debugLog) + Count(programManagerMessage) + Count(callbackFailed) +
                           (trackerLinesInstalled ? 1 : 0) + EngineBridgeLifetime.StreamCount;
                }
            }
        }

        static int Count(Delegate handlers)
        {
            return handlers == null ? 0 : handlers.GetInvocationList().Length;
        }

        // Drops every subscription, as if a new domain had started; true when there was one. The
        // plug-in's callbacks are the caller's to take back.
        internal static bool ClearHandlers()
        {
            lock (sync)
            {
                bool any = debugLog != null || programManagerMessage != null || callbackFailed != null ||
                           loggerLinesToConsole;
                loggerLinesToConsole = false;
                debugLog = null;
                programManagerMessage = null;
                callbackFailed = null;
                return any;
            }
        }

        // Starts a stream whose frames reach `handler`. A token of this start travels as the user
        // data, so that frames still queued from an earlier start of the kind reach nobody.
        internal static bool StartDataStream(DataStreamKind kind, Action<StreamFrame> handler)
        {
            // The plug-in registers a stream only with a session and an offered kind.
            if (Native.IsSessionNull() || !Native.MRSupportsDataStream(kind)) return false;
            long token;
            if (!EngineBridgeLifetime.StreamStarting(kind, handler, out token)) return false;  // one per kind
            CallbackDelivery.EnsureRunning();
            // False from here means the runtime failed after the plug-in registered the stream: it
            // counts as started until stopped, so the handler stays.
            return Native.MRStartDataStream(kind, Native.CallbackQueue_Entry(QueuedCallbackKind.StreamFrame),
                                                  new IntPtr(token));
        }

        internal static void StopDataStream(DataStreamKind kind)
        {
            Native.MRStopDataStream(kind);
            if (EngineBridgeLifetime.StreamStopped(kind)) WaitForStreamHandlers();
        }

        // Returns once no stream handler runs (at once on the delivery thread itself).
        internal static void WaitForStreamHandlers()
        {
            if (CallbackDelivery.OnDeliveryThread) return;
            lock (streamDelivery) { }
        }

        // On the delivery thread: one queued call to its handlers.
        internal static void Dispatch(ref QueuedCallback call)
        {
            try
            {
                if (call.Dropped > 0)
                    BindingsLog.Warning(call.Dropped + " plug-in callbacks were dropped: the callback queue was full");
                switch (call.Kind)
                {
                    case QueuedCallbackKind.DebugLog:
                        DeliverDebugLog(call);
                        break;
                    case QueuedCallbackKind.ProgramManagerMessage:
                        DeliverProgramManagerMessage(call);
                        break;
                    case QueuedCallbackKind.StreamFrame:
                        DeliverStreamFrame(call);
                        break;
                    case QueuedCallbackKind.LoggerLine:
                        if (loggerLinesToConsole)
                            BindingsLog.LoggerLine(call.ClientHandle, Utf8.FromNative(call.Text, Math.Max(call.TextLength, 0)),
                                                   Utf8.FromNative(call.Data, Math.Max(call.DataSize, 0)));
                        break;
                }
            }
            catch (Exception exception)
            {
                Report(exception);
            }
        }

        static void DeliverDebugLog(QueuedCallback call)
        {
            Action<string> handlers = debugLog;
            if (handlers == null) return;
            string line = Utf8.FromNative(call.Text, Math.Max(call.TextLength, 0));
            foreach (Action<string> handler in handlers.GetInvocationList())
                Run(() => handler(line));
        }

        static void DeliverProgramManagerMessage(QueuedCallback call)
        {
            ProgramManagerMessageReceived handlers = programManagerMessage;
            if (handlers == null) return;
            string name = Utf8.FromNative(call.Text, Math.Max(call.TextLength, 0));
            foreach (ProgramManagerMessageReceived handler in handlers.GetInvocationList())
            {
                // Each handler gets its own copy of the payload, which lives on after the call.
                byte[] data = new byte[Math.Max(call.DataSize, 0)];
                if (data.Length > 0 && call.Data != IntPtr.Zero) Marshal.Copy(call.Data, data, 0, data.Length);
                int client = call.ClientHandle;
                Run(() => handler(client, name, data));
            }
        }

        static void DeliverStreamFrame(QueuedCallback call)
        {
            if (call.Data == IntPtr.Zero || call.DataSize < Marshal.SizeOf(typeof(StreamFrame))) return;
            lock (streamDelivery)
            {
                Action<StreamFrame> handler = EngineBridgeLifetime.StreamHandler(call.UserData.ToInt64());
                if (handler == null) return;
                var frame = (StreamFrame)Marshal.PtrToStructure(call.Data, typeof(StreamFrame));
                Run(() => handler(frame));
            }
        }

        // One failing handler does not keep the call from the others.
        static void Run(Action call)
        {
            try
            {
                call();
            }
            catch (Exception exception)
            {
                Report(exception);
            }
        }

        static void Report(Exception exception)
        {
            try
            {
                Action<Exception> handlers = callbackFailed;
                if (handlers != null)
                {
                    handlers(exception);
                    return;
                }
            }
            catch (Exception failure)
            {
                exception = failure;
            }
            BindingsLog.Exception(exception);
        }
    }
}

#if !UNITY_5_3_OR_NEWER
namespace AOT
{
    // The engine's marker of a static method that native code calls back (ahead-of-time compilers
    // need it); outside the engine nothing reads it.
    [AttributeUsage(AttributeTargets.Method)]
    internal sealed class MonoPInvokeCallbackAttribute : Attribute
    {
        public MonoPInvokeCallbackAttribute(Type type)
        {
        }
    }
}
#endif
