using System;
using System.Collections.Generic;
using System.Threading;
using NUnit.Framework;

namespace Zerin.Tests
{
    /// <summary>The plug-in's callbacks from native threads, delivered on the bindings' thread:
    /// camera stream frames, plug-in log lines from the render thread, logger lines on the console,
    /// and a handler that throws.</summary>
    [TestFixture]
    public class CallbackTests : StandInFixture
    {
        [Test]
        public void LoggerLinesOfBothLibrariesReachTheConsoleWithTheirLevelWhileAskedFor()
        {
            const string connectFailed = "Zerin error: [ProgramManagerClient_Connect] Failed to connect to program manager.";
            const string trackerReady = "Zerin info: [Zerin::openVR::init] Init success: true";
            const string pipeFailed = "Zerin error: [Zerin::IPC::Client::logConnectionErrorIfNecessary] Failed to connect to server pipe: ";
            var errors = new ErrorLines();
            ProgramManagerClient client = null;
            try
            {
                EngineBridgeCallbacks.LoggerLinesToConsole = true;
                // Without a service Connect tries again and again; destroying its client ends it.
                client = new ProgramManagerClient();
                bool connected = true;
                var connecting = new Thread(() => connected = client.Connect());
                connecting.Start();
                Assert.IsTrue(WaitFor(errors.Gate, () => errors.Lines.Exists(line => line.StartsWith(pipeFailed))),
                              "the pipe's error, from the client's attempts");
                client.Dispose();
                Assert.IsTrue(connecting.Join(Patience), "Connect returned once its client was destroyed");
                Assert.IsFalse(connected);
                Assert.IsTrue(WaitFor(errors.Gate, () => errors.Lines.Contains(connectFailed)), "the engine bridge's line");
                Assert.IsTrue(Native.TrackerLink.Init());
                Assert.AreEqual(1, errors.Count(trackerReady), "the tracker's line, on this thread, before Init returned");
                Native.TrackerLink.Shutdown();

                EngineBridgeCallbacks.LoggerLinesToConsole = false;
                Assert.IsTrue(Native.TrackerLink.Init());
                Assert.AreEqual(1, errors.Count(trackerReady), "none once switched off");
                Assert.AreEqual(0, EngineBridgeCallbacks.HeldHandlerCount - 1, "only the fixture's log handler");
            }
            finally
            {
                if (client != null) client.Dispose();
                Native.TrackerLink.Shutdown();
                EngineBridgeCallbacks.LoggerLinesToConsole = false;
                errors.Dispose();
            }
        }

        [Test]
        public void CameraStreamFramesReachTheHandlerOnTheBindingsThreadUntilStopped()
        {
            using (Session session = OpenSession())
            {
                SimRuntime.zerinsim_SetStreamFrameInterval(1000);
                Assert.IsTrue(Native.MRIsAvailable());
                Assert.IsTrue(Native.MRSupportsDataStream(DataStreamKind.StereoCamera));
                Assert.IsFalse(Native.MRSupportsDataStream((DataStreamKind)3));
                var gate = new object();
                var frames = new List<StreamFrame>();
                var threads = new HashSet<string>();
                Action<StreamFrame> onFrame = frame =>
                {
                    lock (gate)
                    {
                        frames.Add(frame);
                        threads.Add(Thread.CurrentThread.Name);
                        Monitor.PulseAll(gate);
                    }
                };
                Assert.IsTrue(session.StartDataStream(DataStreamKind.StereoCamera, onFrame));
                Assert.IsFalse(session.StartDataStream(DataStreamKind.StereoCamera, onFrame), "one stream per kind");
                WaitFor(gate, () => frames.Count >= 3);
                session.StopDataStream(DataStreamKind.StereoCamera);
                int afterStop;
                lock (gate) afterStop = frames.Count;
                Assert.GreaterOrEqual(afterStop, 3, "frames within " + Patience);
                Assert.AreEqual(0, SimRuntime.zerinsim_ActiveStreamCount());
                lock (gate)
                {
                    Assert.IsTrue(frames.TrueForAll(frame => frame.Kind == DataStreamKind.StereoCamera &&
                                                             frame.Data != IntPtr.Zero && frame.DataSize > 0));
                    CollectionAssert.AreEqual(new[] { "Zerin callbacks" }, threads);
                }
                Assert.AreEqual(0, EngineBridgeCallbacks.HeldHandlerCount - HandlersOfTheFixture);
                Assert.IsTrue(session.StartDataStream(DataStreamKind.StereoCamera, onFrame), "started again after the stop");
            }
            Assert.AreEqual(0, SimRuntime.zerinsim_ActiveStreamCount(), "the session's end stopped the stream");
            Assert.AreEqual(0, EngineBridgeCallbacks.HeldHandlerCount - HandlersOfTheFixture);
        }

        [Test]
        public void StreamTheRuntimeFailedToStartCountsAsStartedUntilStopped()
        {
            using (Session session = OpenSession())
            {
                Action<StreamFrame> ignore = frame => { };
                Assert.IsFalse(session.StartDataStream(DataStreamKind.DepthCamera + 1, ignore), "a kind never offered");
                Assert.AreEqual(0, EngineBridgeCallbacks.HeldHandlerCount - HandlersOfTheFixture);
                SimRuntime.zerinsim_FailNextCall("zerin_StartDataStream", -5);
                Assert.IsFalse(session.StartDataStream(DataStreamKind.DepthCamera, ignore));
                Assert.AreEqual(1, EngineBridgeCallbacks.HeldHandlerCount - HandlersOfTheFixture, "held while the plug-in holds the kind");
                Assert.IsFalse(session.StartDataStream(DataStreamKind.DepthCamera, ignore));
                session.StopDataStream(DataStreamKind.DepthCamera);
                Assert.AreEqual(0, EngineBridgeCallbacks.HeldHandlerCount - HandlersOfTheFixture);
                // Stopping what never ran leaves the runtime's error, which the next start would report.
                Assert.AreEqual(-8, Native.GetError());
                Assert.IsTrue(session.StartDataStream(DataStreamKind.DepthCamera, ignore));
            }
            Assert.AreEqual(0, EngineBridgeCallbacks.HeldHandlerCount - HandlersOfTheFixture);
        }

        // The fixture listens to the plug-in log.
        const int HandlersOfTheFixture = 1;

        [Test]
        public void OcclusionMeshIsCopiedAndFreed()
        {
            using (Session session = OpenSession())
            {
                OcclusionVertex[] left = session.GetOcclusionMesh(0);
                Assert.IsNotNull(left);
                Assert.Greater(left.Length, 0);
                Assert.AreEqual(0, left.Length % 3, "a triangle list");
                Assert.IsTrue(Array.TrueForAll(left, v => Math.Abs(v.X) <= 1 && Math.Abs(v.Y) <= 1), "normalised coordinates");
                Assert.AreEqual(0, SimRuntime.zerinsim_LiveObjectCount("occlusionMesh"));

                int count;
                IntPtr data;
                IntPtr mesh = Native.CreateOcclusionMesh(1, out count, out data);
                Assert.AreNotEqual(IntPtr.Zero, mesh);
                Assert.AreEqual(1, SimRuntime.zerinsim_LiveObjectCount("occlusionMesh"));
                Native.FreeOcclusionMesh(mesh);
                Assert.AreEqual(0, SimRuntime.zerinsim_LiveObjectCount("occlusionMesh"));
            }
        }

        [Test]
        public void RenderThreadLogLinesReachEveryHandlerOnTheBindingsThreadPastAThrowingOne()
        {
            var gate = new object();
            string deliveredOn = null;
            var failures = new List<Exception>();
            Action<string> onLog = line =>
            {
                if (!line.StartsWith("Error: (-9)", StringComparison.Ordinal)) return;
                lock (gate) deliveredOn = Thread.CurrentThread.Name;
                throw new InvalidOperationException("handler failed");
            };
            bool laterHandlerRan = false;
            Action<string> onLogAfter = line =>
            {
                if (!line.StartsWith("Error: (-9)", StringComparison.Ordinal)) return;
                lock (gate)
                {
                    laterHandlerRan = true;
                    Monitor.PulseAll(gate);
                }
            };
            Action<Exception> onFailure = exception =>
            {
                lock (gate) failures.Add(exception);
            };
            EngineBridgeCallbacks.DebugLog += onLog;
            EngineBridgeCallbacks.DebugLog += onLogAfter;
            EngineBridgeCallbacks.CallbackFailed += onFailure;
            try
            {
                SimRuntime.zerinsim_RaiseError(-9);
                TestHost.RunOnRenderThread((RenderEvent)12);  // no work, but the error checks around it
                Assert.IsTrue(WaitFor(gate, () => laterHandlerRan), "the render thread's line arrived");
            }
            finally
            {
                EngineBridgeCallbacks.DebugLog -= onLog;
                EngineBridgeCallbacks.DebugLog -= onLogAfter;
                EngineBridgeCallbacks.CallbackFailed -= onFailure;
            }
            lock (gate)
            {
                Assert.AreEqual("Zerin callbacks", deliveredOn);
                Assert.AreEqual(1, failures.Count);
                Assert.AreEqual("handler failed", failures[0].Message);
            }
        }
    }
}
