using System;
using System.Collections.Generic;
using System.Threading;
using NUnit.Framework;

namespace Zerin.Tests
{
    /// <summary>A script on a machine without the compositor runtime. Run on its own
    /// (csharp.without_runtime) from a folder that holds the plug-in and no runtime library;
    /// skipped where the plug-in finds one.</summary>
    [TestFixture]
    [Category("WithoutRuntime")]
    public class WithoutRuntimeTests
    {
        [Test]
        public void FirstCallsGetFalseAndOneLogLineNeverAnException()
        {
            if (EngineBridge.IsZerinSystemInstalled()) Assert.Ignore("the plug-in found a runtime library");
            var lines = new List<string>();  // guarded by itself: lines arrive on the bindings' thread
            Action<string> onLog = line => { lock (lines) { lines.Add(line); Monitor.PulseAll(lines); } };
            EngineBridgeCallbacks.DebugLog += onLog;
            try
            {
                Assert.IsNull(Session.Open());
                Assert.IsNull(Session.OpenWithLayerId(3));
                Assert.AreEqual(1, EngineBridge.GetError(), "no session");
                lock (lines)
                {
                    DateTime deadline = DateTime.UtcNow + TimeSpan.FromSeconds(10);
                    while (lines.Count < 2 && DateTime.UtcNow < deadline) Monitor.Wait(lines, TimeSpan.FromSeconds(1));
                    Assert.AreEqual(2, lines.Count, "one line per start: " + string.Join(" | ", lines.ToArray()));
                    StringAssert.StartsWith("ZerinLib not loaded: looked for libZerinLib.so in ", lines[0]);
                    Assert.AreEqual(lines[0], lines[1]);
                    Assert.AreEqual(lines[0], EngineBridge.GetErrorText(1));
                }
            }
            finally
            {
                EngineBridgeCallbacks.DebugLog -= onLog;
            }
        }
    }
}
