using System;
using System.Collections.Generic;
using System.Runtime.InteropServices;
using NUnit.Framework;

namespace Zerin.Tests
{
    [TestFixture]
    public class EventsAndGazeTests : StandInFixture
    {
        [Test]
        public void EventsReachTheManagedEventInOrderWithTheirData()
        {
            using (Session session = OpenSession())
            {
                var received = new List<RuntimeEvent>();
                session.EventReceived += received.Add;
                SimRuntime.zerinsim_SetForeground(0);
                SimRuntime.zerinsim_SetButton(33, 1);
                var queued = new SimEvent { Type = (long)RuntimeEventType.MRDeviceStatus, Data = unchecked((long)0xF00000001UL) };
                SimRuntime.zerinsim_QueueEvent(ref queued);
                Assert.AreEqual(0, session.DispatchEvents(), "nothing before the render thread polled");
                TestHost.RunOnRenderThread(RenderEvent.EventPoll);
                Assert.AreEqual(3, session.DispatchEvents());
                Assert.AreEqual(new[] { RuntimeEventType.Foreground, RuntimeEventType.Button, RuntimeEventType.MRDeviceStatus },
                                received.ConvertAll(e => e.Type).ToArray());
                Assert.AreEqual(0u, received[0].Data32, "left the foreground");
                Assert.AreEqual(33L | 2L << 32, received[1].Data, "button 33 pressed");
                Assert.AreEqual(0xF00000001L, received[2].Data);
                Assert.IsTrue(Native.GetButtonEvent(33, 1), "button 33 is down");
                Assert.IsFalse(Native.GetButtonEvent(34, 1));

                RuntimeEventType type;
                Assert.IsFalse(Native.PollEvent(out type));
                Assert.AreEqual(0, Native.GetEventMRDeviceStatus(), "getters read 0 after an empty poll");
            }
        }

        [Test]
        public void GazeRecordsArriveByteForByte()
        {
            using (OpenSession())
            {
                SimRuntime.zerinsim_SetGazeRate(0);
                Assert.IsTrue(Native.InitGaze());
                var pinned = new GazeSample { Timestamp = 123456789, FrameIndex = -5, Validity = (GazeValidity)0xF, Confidence = 0.75f };
                pinned.Left.Direction.Z = -1;
                pinned.Right.PupilDiameterMm = 3.5;
                SimRuntime.zerinsim_PinGaze(ref pinned);
                Assert.AreEqual(Bytes(pinned), Bytes(Native.GetGaze()));

                var raw = new RawGazeSample { SensorTimestamp = 42, InterPupillaryDistanceMm = 63.5, Flags = 3, Reserved2 = ulong.MaxValue };
                raw.Right.CameraIndex = 1;
                SimRuntime.zerinsim_PinRawGaze(ref raw);
                Assert.AreEqual(Bytes(raw), Bytes(Native.GetRawGazeData()));

                GazeSample oldest;
                Assert.IsFalse(Native.GetOldestGazeIfAvailable(out oldest), "nothing buffered");
                var queued = new GazeSample { Timestamp = 1, FrameIndex = 2, Confidence = 0.5f };
                Assert.AreEqual(1, SimRuntime.zerinsim_QueueGazeSample(ref queued));
                Assert.IsTrue(Native.GetOldestGazeIfAvailable(out oldest));
                Assert.AreEqual(Bytes(queued), Bytes(oldest));
            }
        }

        [Test]
        public void CalibrationRequestsCarryTheirParameters()
        {
            using (Session session = OpenSession())
            {
                Native.RequestGazeCalibration();
                var parameters = new[]
                {
                    new GazeCalibrationParameter { Key = 1, Value = 0.25 },
                    new GazeCalibrationParameter { Key = -7, Value = 1e9 },
                };
                Native.RequestGazeCalibrationWithParameters(parameters, (uint)parameters.Length);
                Assert.AreEqual(2, SimRuntime.zerinsim_CalibrationRequestCount());
                var copied = new GazeCalibrationParameter[4];
                IntPtr requestSession;
                int withParameters;
                Assert.AreEqual(0, SimRuntime.zerinsim_GetCalibrationRequest(0, out requestSession, out withParameters, copied, 4));
                Assert.AreEqual(0, withParameters);
                Assert.AreEqual(2, SimRuntime.zerinsim_GetCalibrationRequest(1, out requestSession, out withParameters, copied, 4));
                Assert.AreEqual(1, withParameters);
                Assert.AreEqual(session.Handle, requestSession);
                Assert.AreEqual(new[] { 1L, -7L }, new[] { copied[0].Key, copied[1].Key });
                Assert.AreEqual(new[] { 0.25, 1e9 }, new[] { copied[0].Value, copied[1].Value });
            }
        }

        static byte[] Bytes<T>(T record) where T : struct
        {
            var bytes = new byte[Marshal.SizeOf(typeof(T))];
            GCHandle pinned = GCHandle.Alloc(bytes, GCHandleType.Pinned);
            try
            {
                Marshal.StructureToPtr(record, pinned.AddrOfPinnedObject(), false);
            }
            finally
            {
                pinned.Free();
            }
            return bytes;
        }
    }
}
