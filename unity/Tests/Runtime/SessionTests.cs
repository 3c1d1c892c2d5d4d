using System;
using System.Linq;
using System.Runtime.InteropServices;
using System.Text;
using NUnit.Framework;

namespace Zerin.Tests
{
    [TestFixture]
    public class SessionTests : StandInFixture
    {
        [Test]
        public void SessionOpensReportsNoErrorAndClosesWithEverythingItMade()
        {
            Assert.IsTrue(Native.IsSessionNull());
            Assert.AreEqual(1, Native.GetError(), "without a session");
            Assert.IsTrue(Native.IsZerinSystemInstalled());
            using (Session session = OpenSession())
            {
                Assert.IsFalse(Native.IsSessionNull());
                Assert.AreNotEqual(IntPtr.Zero, session.Handle);
                Assert.AreEqual(0, Native.GetError());
                Assert.IsNull(Session.Open(), "a second session while one is open");
                Assert.IsFalse(Native.IsSessionNull(), "the refused start left the first session alone");
            }
            Assert.IsTrue(Native.IsSessionNull());
            Assert.AreEqual(0, SimRuntime.LiveObjects(), "runtime objects left after the session");
            WaitForLogLine("EndSession done.");
            CollectionAssert.IsSubsetOf(new[] { "Initialize a new session", "InitSession done", "EndSession done." }, LogLines());
        }

        [Test]
        public void StartThatFailsAfterTheRuntimeMadeTheSessionLeavesNoneOpen()
        {
            SimRuntime.zerinsim_FailNextCall("zerin_AllocateEvent", -6);
            Assert.IsNull(Session.Open());
            Assert.IsTrue(Native.IsSessionNull());
            Assert.AreEqual(0, SimRuntime.LiveObjects());
            using (OpenSession()) { }  // and the next start is not refused
        }

        [Test]
        public void VersionMismatchIsRefusedAndLoggedOnTheBindingsThread()
        {
            SimRuntime.zerinsim_SetVersion("0.0.0.1-rc-00000000");
            Assert.IsNull(Session.Open());
            Assert.IsTrue(Native.IsSessionNull());
            Assert.AreEqual("Zerin callbacks", WaitForLogLine("ZerinLib version mismatch."));
            CollectionAssert.Contains(LogLines(), "Lib version: 0.0.0.1-rc-00000000", "delivered in order");
        }

        [TestCase("zerin_SessionInit", -7, SessionOpenFailureKind.RuntimeError, "runtime error -7: Device lost")]
        [TestCase("zerin_CreateSubmitInfo", -8, SessionOpenFailureKind.RuntimeError, "runtime error -8: Not found")]
        [TestCase("version", 0, SessionOpenFailureKind.VersionMismatch, "version mismatch: runtime 0.0.0.1-rc-00000000, plug-in 1.")]
        [TestCase("available", 0, SessionOpenFailureKind.NoRuntime, "no runtime installed (the runtime library reports none available)")]
        [TestCase("open", 0, SessionOpenFailureKind.AlreadyOpen, "a session is already open: dispose it first")]
        public void OpenSaysWhyItFailedOnceUntilAStartSucceeds(string cause, long code, SessionOpenFailureKind kind, string message)
        {
            EngineBridgeLifetime.ReleaseAll();  // forgets what earlier tests were told
            string pluginVersion = Utf8.FromNative(Native.GetPluginVersion());
            Session first = null;
            Action<bool> setCause = on =>
            {
                SimRuntime.zerinsim_SetVersion(on && cause == "version" ? "0.0.0.1-rc-00000000" : pluginVersion);
                SimRuntime.zerinsim_SetAvailable(on && cause == "available" ? 0 : 1);
                if (cause == "open") { if (on) first = OpenSession(); else first.Dispose(); }
            };
            Func<Session> failing = () =>
            {
                if (code != 0) SimRuntime.zerinsim_FailNextCall(cause, code);
                return Session.Open();
            };
            using (var errors = new ErrorLines())
            {
                setCause(true);
                if (code != 0) SimRuntime.zerinsim_FailNextCall(cause, code);
                SessionOpenFailure why;
                Assert.IsNull(Session.Open(out why));
                Assert.AreEqual(new object[] { kind, code, code == 0 ? null : Session.ErrorText(code) },
                                new object[] { why.Kind, why.ErrorCode, why.ErrorText });
                StringAssert.StartsWith(message, why.Message);
                string line = "Zerin: Session not opened: " + why.Message;
                Assert.IsNull(failing());
                Assert.IsNull(failing());
                Assert.AreEqual(1, errors.Count(line), "logged once, not at every try: " + string.Join(" | ", errors.Lines.ToArray()));
                setCause(false);
                OpenSession().Dispose();
                setCause(true);
                Assert.IsNull(failing());
                Assert.AreEqual(2, errors.Count(line), "and again after a start succeeded");
            }
            Assert.AreEqual(first == null, Native.IsSessionNull(), "a failed start leaves none open, and the open one alone");
            if (first != null) first.Dispose();
        }

        [Test]
        public void ErrorCodeAndTheRuntimesTextWhichStaysTheRuntimes()
        {
            using (OpenSession())
            {
                SimRuntime.zerinsim_RaiseError(-8);
                Assert.AreEqual(-8, Native.GetError());
                Assert.AreEqual(0, Native.GetError(), "the runtime reports a failure once");
                string text = Session.ErrorText(-8);
                Assert.AreEqual("Not found", text);
                // The same static text again: had the bindings freed it, the second read or the
                // allocator would fail.
                for (int i = 0; i < 3; ++i) Assert.AreEqual(text, Session.ErrorText(-8));
                Assert.AreEqual(Native.GetErrorMessage(-8), Native.GetErrorMessage(-8));
            }
        }

        [Test]
        public void ConfigurationValuesRoundTripAsUtf8()
        {
            using (Session session = OpenSession())
            {
                Assert.IsNull(session.GetConfig("missing"));
                session.SetConfig("zerin.colour", "grün ✓");
                Assert.AreEqual("grün ✓", session.GetConfig("zerin.colour"));
                string large = new string('x', 64 * 1024);
                SimRuntime.zerinsim_SetConfigValue("zerin.large", large);
                Assert.AreEqual(large, session.GetConfig("zerin.large"));
                session.SetConfig("zerin.colour", null);
                Assert.IsNull(session.GetConfig("zerin.colour"), "a null value removes the key");
                // Each read hands the caller a buffer; reading often must not grow the process
                // (the leak check compares two whole runs).
                for (int i = 0; i < 64; ++i) Assert.AreEqual(large.Length, session.GetConfig("zerin.large").Length);
            }
        }

        [Test]
        public void OneByteBoolsAndWideArgumentsReachTheRuntime()
        {
            using (OpenSession())
            {
                SimRuntime.zerinsim_ClearCalls();
                Native.SetSessionVisible(true);
                Native.SetSessionVisible(false);
                Native.SetSessionTransparent(true);
                Native.ResetPose(true, -2);
                Native.SendHeartBeat(long.MaxValue);
                CollectionAssert.AreEqual(new[]
                {
                    "zerin_SetSessionVisible(session#1, 1)", "zerin_SetSessionVisible(session#1, 0)",
                    "zerin_SetSessionTransparent(session#1, 1)", "zerin_ResetPose(session#1, 1, -2)",
                    "zerin_SendHeartBeat(session#1, 9223372036854775807)",
                }, SimRuntime.Calls().Select(line => line.Split(new[] { " -> " }, StringSplitOptions.None)[0]).ToArray());
            }
        }

        [Test]
        public void RecordsReturnedByValue()
        {
            RenderTextureDesc wide = Native.GetRenderTextureFormat(2);
            RenderTextureDesc square = Native.GetRenderTextureFormat(-1);
            Assert.AreEqual(new[] { 2048, 1152, 27 }, new[] { wide.Width, wide.Height, (int)wide.Format });
            Assert.AreEqual(new[] { 2048, 2048, 27 }, new[] { square.Width, square.Height, (int)square.Format });

            // 30 degrees about the y axis.
            double halfAngle = Math.PI / 12;
            var angles = new EulerAngles { AroundX = 7, AroundY = 7, AroundZ = 7 };
            Native.GetEulerAngles(0, Math.Sin(halfAngle), 0, Math.Cos(halfAngle), ref angles);
            Assert.AreEqual(new[] { 7.0, 7.0, 7.0 }, new[] { angles.AroundX, angles.AroundY, angles.AroundZ },
                            "without a session the angles stay");
            using (OpenSession())
            {
                Native.GetEulerAngles(0, Math.Sin(halfAngle), 0, Math.Cos(halfAngle), ref angles);
                Assert.AreEqual(0, angles.AroundX, 1e-9);
                Assert.AreEqual(Math.PI / 6, angles.AroundY, 1e-9);
                Assert.AreEqual(0, angles.AroundZ, 1e-9);
            }
        }
    }
}
