using System;
using System.Collections.Generic;
using System.IO;
using System.Threading;
using NUnit.Framework;

namespace Zerin.Tests
{
    /// <summary>Standard error as the bindings write it outside the engine, from construction
    /// until disposed.</summary>
    sealed class ErrorLines : TextWriter
    {
        readonly TextWriter standardError = Console.Error;
        public readonly object Gate = new object();  // guards Lines, pulsed at each line
        public readonly List<string> Lines = new List<string>();

        public ErrorLines() { Console.SetError(this); }

        public override System.Text.Encoding Encoding
        {
            get { return System.Text.Encoding.UTF8; }
        }

        public override void WriteLine(string line)
        {
            lock (Gate)
            {
                Lines.Add(line);
                Monitor.PulseAll(Gate);
            }
        }

        public int Count(string line)
        {
            lock (Gate) return Lines.FindAll(candidate => candidate == line).Count;
        }

        protected override void Dispose(bool disposing)
        {
            Console.SetError(standardError);
            base.Dispose(disposing);
        }
    }

    /// <summary>Each test gets a fresh simulated runtime and OpenVR, an engine that has loaded the
    /// plug-in with a graphics device and runs its render thread, and the plug-in's log; what a
    /// test leaves open is closed after it.</summary>
    public abstract class StandInFixture
    {
        protected static readonly TimeSpan Patience = TimeSpan.FromSeconds(10);

        // Guards log and logThreads, pulsed for each line: lines arrive on the bindings' thread.
        readonly object logLock = new object();
        readonly List<string> log = new List<string>();
        readonly List<string> logThreads = new List<string>();
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
            if (!Native.IsSessionNull())
            {
                // The plug-in's event queue outlives sessions: leave it empty for the next test.
                RuntimeEventType type;
                while (Native.PollEvent(out type)) { }
                Native.EndSession();
            }
            EngineBridgeCallbacks.DebugLog -= OnLog;
            TestHost.zerintest_EngineStop();
        }

        void OnLog(string line)
        {
            lock (logLock)
            {
                log.Add(line);
                logThreads.Add(Thread.CurrentThread.Name);
                Monitor.PulseAll(logLock);
            }
        }

        /// <summary>Waits on <paramref name="gate"/>, which whoever changes what
        /// <paramref name="done"/> reads pulses, until it is true; false after <see cref="Patience"/>.</summary>
        protected static bool WaitFor(object gate, Func<bool> done)
        {
            lock (gate)
            {
                DateTime deadline = DateTime.UtcNow + Patience;
                while (!done())
                {
                    TimeSpan left = deadline - DateTime.UtcNow;
                    if (left <= TimeSpan.Zero) return false;
                    Monitor.Wait(gate, left);
                }
                return true;
            }
        }

        /// <summary>Waits for a line of the plug-in log; returns the name of the thread that delivered it.</summary>
        protected string WaitForLogLine(string line)
        {
            Assert.IsTrue(WaitFor(logLock, () => log.Contains(line)), "no log line \"" + line + "\" within " + Patience);
            lock (logLock) return logThreads[log.IndexOf(line)];
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
