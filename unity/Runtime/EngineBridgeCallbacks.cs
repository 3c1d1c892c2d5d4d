// Managed events for the plug-in's three callbacks. Native code calls one static method per
// callback (IL2CPP can call back only into static methods marked MonoPInvokeCallback); its
// delegate lives in a static field for the whole process, so the plug-in never holds a pointer
// the garbage collector could free. The methods run on native threads and forward to the
// handlers subscribed here; an exception from a handler stops there, since unwinding into the
// plug-in would end the process.
using System;
using System.Collections.Generic;
using System.Runtime.InteropServices;
using AOT;

namespace Zerin
{
    public delegate void ProgramManagerMessageReceived(int clientHandle, string messageName, byte[] messageData);

    public static class EngineBridgeCallbacks
    {
        static readonly object sync = new object();  // guards the handler fields and streamHandlers

        static readonly EngineBridge.DebugLogCallback debugLogEntry = OnDebugLog;
        static readonly EngineBridge.ProgramManagerMessageHandler programManagerEntry = OnProgramManagerMessage;
        static readonly EngineBridge.StreamFrameCallback streamFrameEntry = OnStreamFrame;

        static Action<string> debugLog;
        static ProgramManagerMessageReceived programManagerMessage;
        static Action<Exception> callbackFailed;
        static readonly Dictionary<long, Action<StreamFrame>> streamHandlers = new Dictionary<long, Action<StreamFrame>>();

        /// <summary>Every plug-in log line, on the thread that logged it (scripting, render or
        /// graphics-device thread). The plug-in's callback is set while anyone listens.</summary>
        public static event Action<string> DebugLog
        {
            add
            {
                lock (sync)
                {
                    bool first = debugLog == null;
                    debugLog += value;
                    if (first && debugLog != null) EngineBridge.SetDebugLog(debugLogEntry);
                }
            }
            remove
            {
                lock (sync)
                {
                    debugLog -= value;
                    if (debugLog == null) EngineBridge.SetDebugLog(null);
                }
            }
        }

        /// <summary>Every message from the program manager service, on the receiving client's
        /// dispatcher thread (never the scripting thread). The data array is the handler's own.</summary>
        public static event ProgramManagerMessageReceived ProgramManagerMessage
        {
            add
            {
                lock (sync)
                {
                    bool first = programManagerMessage == null;
                    programManagerMessage += value;
                    if (first && programManagerMessage != null)
                        EngineBridge.SetProgramManagerUnityMessageHandler(programManagerEntry);
                }
            }
            remove
            {
                lock (sync)
                {
                    programManagerMessage -= value;
                    if (programManagerMessage == null) EngineBridge.SetProgramManagerUnityMessageHandler(null);
                }
            }
        }

        /// <summary>Exceptions thrown by handlers of these events, on the thread that ran them.
        /// Without a subscriber they are logged (Debug.LogException in the engine).</summary>
        public static event Action<Exception> CallbackFailed
        {
            add { lock (sync) callbackFailed += value; }
            remove { lock (sync) callbackFailed -= value; }
        }

        /// <summary>Handlers held for native code: log and program manager subscriptions and
        /// registered streams. Zero once everything is unsubscribed and stopped.</summary>
        public static int HeldHandlerCount
        {
            get
            {
                lock (sync)
                {
                    return Count(debugLog) + Count(programManagerMessage) + Count(callbackFailed) + streamHandlers.Count;
                }
            }
        }

        static int Count(Delegate handlers)
        {
            return handlers == null ? 0 : handlers.GetInvocationList().Length;
        }

        // Starts a stream whose frames reach `handler`. The kind travels as the user data, so the
        // runtime holds no managed reference.
        internal static bool StartDataStream(long kind, Action<StreamFrame> handler)
        {
            // The plug-in registers a stream only with a session and an offered kind.
            if (EngineBridge.IsSessionNull() || !EngineBridge.MRSupportsDataStream(kind)) return false;
            lock (sync)
            {
                if (streamHandlers.ContainsKey(kind)) return false;  // one stream per kind, as the plug-in
                streamHandlers[kind] = handler;
            }
            // False from here means the runtime failed after the plug-in registered the stream: it
            // counts as started until stopped, so the handler stays.
            return EngineBridge.MRStartDataStream(kind, streamFrameEntry, new IntPtr(kind));
        }

        internal static void StopDataStream(long kind)
        {
            EngineBridge.MRStopDataStream(kind);
            ForgetDataStream(kind);
        }

        // After EndSession, which stops every stream.
        internal static void ForgetDataStreams()
        {
            lock (sync) streamHandlers.Clear();
        }

        static void ForgetDataStream(long kind)
        {
            lock (sync) streamHandlers.Remove(kind);
        }

        [MonoPInvokeCallback(typeof(EngineBridge.DebugLogCallback))]
        static void OnDebugLog(IntPtr message)
        {
            try
            {
                Action<string> handlers = debugLog;
                if (handlers == null) return;
                string line = Utf8.FromNative(message);
                foreach (Action<string> handler in handlers.GetInvocationList())
                    Run(() => handler(line));
            }
            catch (Exception exception)
            {
                Report(exception);
            }
        }

        [MonoPInvokeCallback(typeof(EngineBridge.ProgramManagerMessageHandler))]
        static void OnProgramManagerMessage(int clientHandle, IntPtr messageName, int messageNameLength,
                                            IntPtr messageData, int messageDataSize)
        {
            try
            {
                ProgramManagerMessageReceived handlers = programManagerMessage;
                if (handlers == null) return;
                string name = Utf8.FromNative(messageName, Math.Max(messageNameLength, 0));
                foreach (ProgramManagerMessageReceived handler in handlers.GetInvocationList())
                {
                    // Each handler gets its own copy of the payload, which lives on after the call.
                    byte[] data = new byte[Math.Max(messageDataSize, 0)];
                    if (data.Length > 0 && messageData != IntPtr.Zero) Marshal.Copy(messageData, data, 0, data.Length);
                    Run(() => handler(clientHandle, name, data));
                }
            }
            catch (Exception exception)
            {
                Report(exception);
            }
        }

        [MonoPInvokeCallback(typeof(EngineBridge.StreamFrameCallback))]
        static void OnStreamFrame(IntPtr frame, IntPtr userData)
        {
            try
            {
                if (frame == IntPtr.Zero) return;
                Action<StreamFrame> handler;
                lock (sync)
                {
                    if (!streamHandlers.TryGetValue(userData.ToInt64(), out handler)) return;
                }
                handler((StreamFrame)Marshal.PtrToStructure(frame, typeof(StreamFrame)));
            }
            catch (Exception exception)
            {
                Report(exception);
            }
        }

        // One failing handler does not keep the line from the others.
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
#if UNITY_5_3_OR_NEWER
                UnityEngine.Debug.LogException(exception);
#else
                Console.Error.WriteLine(exception);
#endif
            }
            catch (Exception)
            {
                // Nothing may unwind into native code.
            }
        }
    }
}
