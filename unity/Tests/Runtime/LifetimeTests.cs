using System;
using System.Diagnostics;
using System.Threading;
using NUnit.Framework;

namespace Zerin.Tests
{
    /// <summary>EngineBridgeLifetime.ReleaseAll, as a domain's unload or a new play mode calls it.</summary>
    [TestFixture]
    public class LifetimeTests : StandInFixture
    {
        readonly object gate = new object();  // guards the counts below, pulsed when one changes
        int oldFrames, oldLines, newFrames;
        int sessionStarts, sessionEnds;

        void Count(ref int counter)
        {
            lock (gate)
            {
                ++counter;
                Monitor.PulseAll(gate);
            }
        }

        [Test]
        public void NothingReachesTheReleasedHandlersAndDeliveryStartsAfresh()
        {
            SimRuntime.zerinsim_SetStreamFrameInterval(1000);
            Session old = OpenSession();
            Assert.IsTrue(old.StartDataStream(DataStreamKind.StereoCamera, frame => Count(ref oldFrames)));
            EngineBridgeCallbacks.DebugLog += line => Count(ref oldLines);
            EngineBridgeCallbacks.LoggerLinesToConsole = true;
            Assert.IsTrue(WaitFor(gate, () => oldFrames > 0), "frames before the release");
            int releases = EngineBridgeLifetime.ReleaseCount;

            EngineBridgeLifetime.ReleaseAll();
            Assert.AreEqual(releases + 1, EngineBridgeLifetime.ReleaseCount);
            Assert.IsTrue(Native.IsSessionNull(), "the domain's session ended");
            Assert.AreEqual(0, SimRuntime.zerinsim_ActiveStreamCount());
            Assert.AreEqual(0, EngineBridgeCallbacks.HeldHandlerCount, "the fixture's handler and the tracker's log route went too");
            Assert.IsFalse(EngineBridgeCallbacks.LoggerLinesToConsole);
            int framesAtRelease, linesAtRelease;
            lock (gate)
            {
                framesAtRelease = oldFrames;
                linesAtRelease = oldLines;
            }

            using (Session session = OpenSession())
            {
                Assert.IsFalse(old.StartDataStream(DataStreamKind.StereoCamera, frame => { }), "the released session is ended");
                Assert.IsTrue(session.StartDataStream(DataStreamKind.StereoCamera, frame => Count(ref newFrames)));
                Assert.IsTrue(WaitFor(gate, () => newFrames >= 3), "frames after the release");
                old.Dispose();
                Assert.IsFalse(Native.IsSessionNull(), "disposing the released session leaves the new one");
            }
            lock (gate)
            {
                Assert.AreEqual(framesAtRelease, oldFrames, "frames for the released handler");
                Assert.AreEqual(linesAtRelease, oldLines, "log lines for the released handler");
            }
        }

        [Test]
        public void ReleasingTwiceReleasesOnceAndANewSubscriptionHearsEachLineOnce()
        {
            Action<string> onLog = line =>
            {
                if (line == "InitSession done") Count(ref sessionStarts);
                if (line == "EndSession done.") Count(ref sessionEnds);
            };
            EngineBridgeCallbacks.DebugLog += onLog;
            int releases = EngineBridgeLifetime.ReleaseCount;
            EngineBridgeLifetime.ReleaseAll();
            EngineBridgeLifetime.ReleaseAll();
            Assert.AreEqual(releases + 1, EngineBridgeLifetime.ReleaseCount);

            EngineBridgeCallbacks.DebugLog += onLog;  // what the next play mode in this domain does
            try
            {
                using (OpenSession()) { }
                Assert.IsTrue(WaitFor(gate, () => sessionEnds > 0), "the session's last line");
            }
            finally
            {
                EngineBridgeCallbacks.DebugLog -= onLog;
            }
            lock (gate) Assert.AreEqual(1, sessionStarts);
        }

        [Test]
        public void ReleaseAllEndsAConnectWaitingForTheServiceOnAWorkerThread()
        {
            var client = new ProgramManagerClient();
            bool connected = true;
            var worker = new Thread(() => connected = client.Connect());
            worker.Start();
            Assert.IsFalse(worker.Join(200), "no service: Connect waits for its pipe");

            Stopwatch releasing = Stopwatch.StartNew();
            EngineBridgeLifetime.ReleaseAll();
            Assert.Less(releasing.Elapsed, TimeSpan.FromSeconds(5), "ReleaseAll's time");
            Assert.IsTrue(worker.Join(TimeSpan.FromSeconds(5)), "Connect returned");
            Assert.IsFalse(connected);
            Assert.IsFalse(client.IsConnected);
            client.Dispose();
        }
    }
}
