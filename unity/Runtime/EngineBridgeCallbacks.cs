// Managed events for the plug-in's three callbacks. What the bindings install in the plug-in is
// the callback queue's native entry for each, never a managed delegate: the calls are copied
// into the queue on whichever native thread makes them, and the bindings' own thread ("Zerin
// callbacks", CallbackDelivery) runs the handlers subscribed here. An exception from a handler
// stops there and is reported through CallbackFailed.
using System;
using System.Runtime.InteropServices;

namespace Zerin
{
    public delegate void ProgramManagerMessageReceived(int clientHandle, string messageName, byte[] messageData);

    public static class EngineBridgeCallbacks
    {
        static readonly object sync = new object();  // guards the handler fields

        // Held by the delivery thread while a stream handler runs, so that stopping a stream can
        // wait for its last frame.
        static readonly object streamDelivery = new object();

        static Action<string> debugLog;
        static ProgramManagerMessageReceived programManagerMessage;
        static Action<Exception> callbackFailed;

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
                    EngineBridge.SetDebugLog(EngineBridge.CallbackQueue_Entry(QueuedCallbackKind.DebugLog));
                }
            }
            remove
            {
                lock (sync)
                {
                    if (debugLog == null) return;
                    debugLog -= value;
                    if (debugLog == null) EngineBridge.SetDebugLog(IntPtr.Zero);
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
                    EngineBridge.SetProgramManagerUnityMessageHandler(
                        EngineBridge.CallbackQueue_Entry(QueuedCallbackKind.ProgramManagerMessage));
                }
            }
            remove
            {
                lock (sync)
                {
                    if (programManagerMessage == null) return;
                    programManagerMessage -= value;
                    if (programManagerMessage == null) EngineBridge.SetProgramManagerUnityMessageHandler(IntPtr.Zero);
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

        /// <summary>Handlers held for native code: log and program manager subscriptions and
        /// started streams. Zero once everything is unsubscribed and stopped.</summary>
        public static int HeldHandlerCount
        {
            get
            {
                lock (sync)
                {
                    return Count(debugLog) + Count(programManagerMessage) + Count(callbackFailed) +
                           EngineBridgeLifetime.StreamCount;
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
                bool any = debugLog != null || programManagerMessage != null || callbackFailed != null;
                debugLog = null;
                programManagerMessage = null;
                callbackFailed = null;
                return any;
            }
        }

        // Starts a stream whose frames reach `handler`. A token of this start travels as the user
        // data, so that frames still queued from an earlier start of the kind reach nobody.
        internal static bool StartDataStream(long kind, Action<StreamFrame> handler)
        {
            // The plug-in registers a stream only with a session and an offered kind.
            if (EngineBridge.IsSessionNull() || !EngineBridge.MRSupportsDataStream(kind)) return false;
            long token;
            if (!EngineBridgeLifetime.StreamStarting(kind, handler, out token)) return false;  // one per kind
            CallbackDelivery.EnsureRunning();
            // False from here means the runtime failed after the plug-in registered the stream: it
            // counts as started until stopped, so the handler stays.
            return EngineBridge.MRStartDataStream(kind, EngineBridge.CallbackQueue_Entry(QueuedCallbackKind.StreamFrame),
                                                  new IntPtr(token));
        }

        internal static void StopDataStream(long kind)
        {
            EngineBridge.MRStopDataStream(kind);
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
