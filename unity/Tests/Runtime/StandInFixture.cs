using System.Collections.Generic;
using System.Threading;
using NUnit.Framework;

namespace Zerin.Tests
{
    /// <summary>Each test gets a fresh simulated runtime and OpenVR, an engine that has loaded the
    /// plug-in with a graphics device and runs its render thread, and the plug-in's log; what a
    /// test leaves open is closed after it.</summary>
    public abstract class StandInFixture
    {
        readonly object logLock = new object();  // guards log: lines come from native threads
        readonly List<string> log = new List<string>();
        protected int TestThread { get; private set; }

        [SetUp]
        public void StartStandIns()
        {
            TestHost.RequireStandIns();
            TestThread = Thread.CurrentThread.ManagedThreadId;
            SimRuntime.zerinsim_Reset();
            SimRuntime.zerinsim_SetFrameRate(0);  // every frame sync at once
            SimOpenVR.zerinsimvr_Reset();
            Assert.AreEqual(1, TestHost.zerintest_EngineStart(), Utf8.FromNative(TestHost.zerintest_EngineError()));
            EngineBridgeCallbacks.DebugLog += OnLog;
        }

        [TearDown]
        public void StopStandIns()
        {
            TestHost.zerintest_WaitForRenderThread();
            if (!EngineBridge.IsSessionNull())
            {
                // The plug-in's event queue outlives sessions: leave it empty for the next test.
                long type;
                while (EngineBridge.PollEvent(out type)) { }
                EngineBridge.EndSession();
            }
            EngineBridgeCallbacks.DebugLog -= OnLog;
            TestHost.zerintest_EngineStop();
        }

        void OnLog(string line)
        {
            lock (logLock) log.Add(line);
        }

        protected string[] LogLines()
        {
            lock (logLock) return log.ToArray();
        }

        protected Session OpenSession()
        {
            Session session = Session.Open();
            Assert.IsNotNull(session, "Session.Open failed: " + string.Join(" | ", LogLines()));
            return session;
        }
    }
}
