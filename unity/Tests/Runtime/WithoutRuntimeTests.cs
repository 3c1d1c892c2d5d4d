using System;
using System.Collections.Generic;
using System.Threading;
using NUnit.Framework;

namespace Zerin.Tests
{
    /// <summary>A script on a machine without the compositor runtime: run on its own
    /// (csharp.without_runtime) beside a plug-in that finds no runtime library, skipped elsewhere.</summary>
    [TestFixture]
    [Category("WithoutRuntime")]
    public class WithoutRuntimeTests
    {
        [Test]
        public void FirstCallsGetFalseAndOneLogLineNeverAnException()
        {
            if (Native.IsZerinSystemInstalled()) Assert.Ignore("the plug-in found a runtime library");
            var lines = new List<string>();  // guarded by itself: lines arrive on the bindings' thread
            Action<string> onLog = line => { lock (lines) { lines.Add(line); Monitor.PulseAll(lines); } };
            EngineBridgeCallbacks.DebugLog += onLog;
            try
            {
                SessionOpenFailure why;
                Assert.IsNull(Session.Open(out why));
                Assert.AreEqual(SessionOpenFailureKind.NoRuntime, why.Kind);
                StringAssert.StartsWith("no runtime installed (ZerinLib not loaded: looked for libZerinLib.so in ", why.Message);
                Assert.AreEqual(1, Native.GetError(), "no session");
                lock (lines)
                {
                    if (lines.Count == 0) Monitor.Wait(lines, TimeSpan.FromSeconds(10));
                    Assert.AreEqual(1, lines.Count, string.Join(" | ", lines.ToArray()));
                    StringAssert.StartsWith("ZerinLib not loaded: looked for libZerinLib.so in ", lines[0]);
                    Assert.AreEqual(lines[0], Session.ErrorText(1));
                    Assert.AreEqual(lines[0], why.ErrorText);
                }
            }
            finally
            {
                EngineBridgeCallbacks.DebugLog -= onLog;
            }
        }
    }
}
