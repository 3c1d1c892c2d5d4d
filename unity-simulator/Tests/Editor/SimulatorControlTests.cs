using System;
using System.Collections.Generic;
using System.Threading;
using NUnit.Framework;
using Zerin.Tests;

namespace Zerin.Simulator.Tests
{
    /// <summary>The controls against the engine bridge running on the simulator: an engine that
    /// has loaded the plug-in with its render thread, and a session open on it.</summary>
    [TestFixture, Category("Simulator")]
    public class SimulatorControlTests
    {
        static readonly TimeSpan Patience = TimeSpan.FromSeconds(30);
        Session session;

        [SetUp]
        public void OpenSession()
        {
            Assert.AreEqual(1, TestHost.zerintest_EngineStart(), "engine start");
            session = Session.Open();
            Assert.IsNotNull(session, "a session on the simulator");
        }

        [TearDown]
        public void CloseSession()
        {
            SimulatorControl.ClearHeadPose();
            if (session != null) session.Dispose();
            TestHost.zerintest_EngineStop();
        }

        void SyncFrame()
        {
            TestHost.RunOnRenderThread(RenderEvent.FrameSync);
            session.WaitForFrameSync();
        }

        static string Text(Matrix m)
        {
            return string.Format("head pose rows: {0} {1} {2} {3} / {4} {5} {6} {7} / {8} {9} {10} {11}", m.M00, m.M01, m.M02,
                                 m.M03, m.M10, m.M11, m.M12, m.M13, m.M20, m.M21, m.M22, m.M23);
        }

        [Test]
        public void AButtonPressedAndReleasedReachesTheSessionsEvents()
        {
            var received = new List<RuntimeEvent>();
            session.EventReceived += received.Add;
            SimulatorControl.PressButton(33);
            TestHost.RunOnRenderThread(RenderEvent.EventPoll);
            Assert.AreEqual(1, session.DispatchEvents());
            Assert.AreEqual(RuntimeEventType.Button, received[0].Type);
            Assert.AreEqual(33L | 2L << 32, received[0].Data, "button 33 pressed");
            Assert.IsTrue(Native.GetButtonEvent(33, 1), "button 33 is down");
            SimulatorControl.ReleaseButton(33);
            TestHost.RunOnRenderThread(RenderEvent.EventPoll);
            Assert.AreEqual(1, session.DispatchEvents());
            Assert.AreEqual(33L | 3L << 32, received[1].Data, "button 33 released");
            Assert.IsFalse(Native.GetButtonEvent(33, 1));
        }

        [Test]
        public void FramesAreCountedFromOneAndAWaiterSeesTheOneItWaitsFor()
        {
            Assert.IsFalse(SimulatorControl.WaitForFrame(1, TimeSpan.FromMilliseconds(20)), "no frame synced yet");
            bool reached = false;
            var waiter = new Thread(() => reached = SimulatorControl.WaitForFrame(3, Patience));
            waiter.Start();
            for (int frame = 1; frame <= 3; ++frame)
            {
                SyncFrame();
                Assert.AreEqual(frame, SimulatorControl.LatestFrame);
            }
            Assert.IsTrue(waiter.Join(Patience), "the waiter returned");
            Assert.IsTrue(reached);
        }

        [Test]
        public void AHeadPoseSetIsTheNextFramesHeadUntilCleared()
        {
            Assert.IsTrue(SimulatorControl.SetHeadPose(new[] { 0.5, 1.2, -0.25 }, new[] { 0.0, 0.0, 0.0 }));
            Assert.IsFalse(SimulatorControl.SetHeadPose(new[] { double.NaN, 0, 0 }, new[] { 0.0, 0.0, 0.0 }));
            SyncFrame();
            Matrix head = session.FramePoses.HeadPose;
            Assert.AreEqual(new[] { 0.5, 1.2, -0.25 }, new[] { head.M03, head.M13, head.M23 }, Text(head));
            SimulatorControl.ClearHeadPose();
            SyncFrame();
            head = session.FramePoses.HeadPose;
            Assert.AreEqual(new[] { 0.0, 1.6, 0.0 }, new[] { head.M03, head.M13, head.M23 }, "the configured still pose");
        }
    }
}
