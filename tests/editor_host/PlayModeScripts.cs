// A game's scripts as the editor host plays them: one static method per engine phase (Start,
// Update, OnDestroy), using the bindings as a MonoBehaviour would. Every handler tells the host
// (a function of the host program) when it starts and ends, with the number the host gave its
// domain (Mono hands a freed domain's id out again), so that the host can count calls that
// reached a domain it has already unloaded.
using System;
using System.Runtime.InteropServices;
using System.Threading;
using Zerin;

public static class PlayModeScripts
{
    // Keep in step with ScriptReport in call_ledger.h.
    enum Report { LogStart = 0, LogEnd, FrameStart, FrameEnd, MessageStart, MessageEnd,
                  SessionOpened, SessionRefused, ClientCreated, ConnectWaiting, Connected }

    [DllImport("__Internal")]
    static extern void editorhost_Report(int domain, int what, int value);

    static int domainSerial;
    static int handlerSleepMs;
    static Session session;
    static ProgramManagerClient client;

    static void Tell(Report what, int value = 0)
    {
        editorhost_Report(domainSerial, (int)what, value);
    }

    static void Handle(Report start)
    {
        Tell(start);
        if (handlerSleepMs > 0) Thread.Sleep(handlerSleepMs);
        Tell(start + 1);
    }

    static void OnLog(string line) { Handle(Report.LogStart); }
    static void OnFrame(StreamFrame frame) { Handle(Report.FrameStart); }
    static void OnMessage(int clientHandle, string name, byte[] data) { Handle(Report.MessageStart); }

    // Subscribes to the static events (and never unsubscribes, as most scripts), opens the
    // session with a camera stream and connects a program manager client, on a worker thread
    // when `connectOnWorker` (the service may not be there yet).
    public static void Start(int serial, int sleepMs, bool connectOnWorker)
    {
        domainSerial = serial;
        handlerSleepMs = sleepMs;
        EngineBridgeCallbacks.DebugLog += OnLog;
        EngineBridgeCallbacks.ProgramManagerMessage += OnMessage;
        session = Session.Open();
        Tell(session != null ? Report.SessionOpened : Report.SessionRefused);
        if (session != null) session.StartDataStream(DataStreamKind.StereoCamera, OnFrame);
        client = new ProgramManagerClient();
        Tell(Report.ClientCreated, client.Handle);
        ProgramManagerClient connecting = client;
        if (!connectOnWorker)
        {
            if (connecting.Connect()) Tell(Report.Connected, connecting.Handle);
            return;
        }
        var worker = new Thread(() =>
        {
            Tell(Report.ConnectWaiting, connecting.Handle);
            if (connecting.Connect()) Tell(Report.Connected, connecting.Handle);
        });
        worker.IsBackground = true;
        worker.Start();
    }

    public static void Update()
    {
        if (session != null) session.DispatchEvents();
    }

    // OnDestroy of tidy scripts: what they opened is closed; the subscriptions stay.
    public static void Stop()
    {
        if (session != null) session.StopDataStream(DataStreamKind.StereoCamera);
        if (session != null) session.Dispose();
        if (client != null) client.Dispose();
        session = null;
        client = null;
    }
}
