using System;
using System.Collections.Generic;
using System.Threading;
using NUnit.Framework;

namespace Zerin.Tests
{
    [TestFixture]
    public class ProgramManagerTests : StandInFixture
    {
        struct Message
        {
            public int Client;
            public string Name;
            public byte[] Data;
            public string Thread;
        }

        readonly object gate = new object();  // guards messages: they arrive on the bindings' thread
        readonly List<Message> messages = new List<Message>();

        void OnMessage(int client, string name, byte[] data)
        {
            lock (gate)
            {
                messages.Add(new Message { Client = client, Name = name, Data = data, Thread = Thread.CurrentThread.Name });
                Monitor.PulseAll(gate);
            }
        }

        Message WaitForMessage(string name)
        {
            lock (gate)
            {
                DateTime deadline = DateTime.UtcNow + TimeSpan.FromSeconds(10);
                for (;;)
                {
                    int found = messages.FindIndex(message => message.Name == name);
                    if (found >= 0) return messages[found];
                    if (DateTime.UtcNow >= deadline) Assert.Fail("no message " + name + " within 10 s");
                    Monitor.Wait(gate, deadline - DateTime.UtcNow);
                }
            }
        }

        [Test]
        public void ServiceMessagesReachTheManagedHandlerAndTheRestartRequestReachesTheService()
        {
            Assert.AreEqual(1, TestHost.zerintest_ServiceStart(), "the service's pipe");
            EngineBridgeCallbacks.ProgramManagerMessage += OnMessage;
            try
            {
                using (var client = new ProgramManagerClient())
                {
                    Assert.IsFalse(client.IsConnected);
                    Assert.IsTrue(client.Connect());
                    Assert.IsTrue(client.IsConnected);
                    Message handshake = WaitForMessage("ResponseHandshake");
                    Assert.AreEqual(client.Handle, handshake.Client);
                    Assert.AreEqual(8, handshake.Data.Length);

                    ulong serviceClient = TestHost.zerintest_ServiceWaitForClient(10000);
                    Assert.AreNotEqual(0UL, serviceClient);
                    var payload = new byte[] { 1, 0, 255, 7 };
                    Assert.AreEqual(1, TestHost.zerintest_ServicePush(serviceClient, "ActiveClientChanged", payload, payload.Length));
                    Message pushed = WaitForMessage("ActiveClientChanged");
                    Assert.AreEqual(client.Handle, pushed.Client);
                    Assert.AreEqual(payload, pushed.Data);
                    Assert.AreEqual("Zerin callbacks", pushed.Thread);

                    Assert.AreEqual(1, TestHost.zerintest_ServicePush(serviceClient, "Empty", null, 0));
                    Assert.AreEqual(0, WaitForMessage("Empty").Data.Length);

                    client.RestartActiveClient();
                    Assert.AreEqual(1, TestHost.zerintest_ServiceWaitForFrames("RestartActiveClient", 1, 10000),
                                    "one request");
                    Assert.AreEqual(43, TestHost.zerintest_ServiceFrameSize("RestartActiveClient", 0));
                }
                Assert.AreEqual(0, EngineBridgeCallbacks.HeldHandlerCount - 2, "only the fixture's log and this test's handler");
            }
            finally
            {
                EngineBridgeCallbacks.ProgramManagerMessage -= OnMessage;
                TestHost.zerintest_ServiceStop();
            }
        }

        [Test]
        public void UnknownHandlesAreRefused()
        {
            var client = new ProgramManagerClient();
            client.Dispose();
            Assert.IsFalse(Native.ProgramManagerClient_IsConnected(client.Handle));
            Assert.IsFalse(Native.ProgramManagerClient_Connect(client.Handle), "a destroyed client does not wait for a pipe");
            client.Dispose();  // once only
        }
    }
}
