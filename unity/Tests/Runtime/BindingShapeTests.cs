// The bindings' shape, checked without calling native code: every record's size and field
// offsets, blittability where records are passed by reference, and the declarations of the
// imports (one-byte bools, one import per export a script calls).
using System;
using System.Collections.Generic;
using System.Linq;
using System.Reflection;
using System.Runtime.InteropServices;
using NUnit.Framework;
using Zerin.OpenVR;

namespace Zerin.Tests
{
    [TestFixture]
    [Category("Layout")]
    public class BindingShapeTests
    {
        const string ControllerStateLayout = Native.TrackerLink.RecordPacking == 8
            ? "PacketNum:0 ButtonPressed:8 ButtonTouched:16 Axis0:24 Axis4:56" : "PacketNum:0 ButtonPressed:4 ButtonTouched:12 Axis0:20 Axis4:52";
        const int ControllerStateSize = Native.TrackerLink.RecordPacking == 8 ? 64 : 60;
        const string EventLayout = Native.TrackerLink.RecordPacking == 8
            ? "EventType:0 TrackedDeviceIndex:4 EventAgeSeconds:8 Data:16" : "EventType:0 TrackedDeviceIndex:4 EventAgeSeconds:8 Data:12";
        const int EventSize = Native.TrackerLink.RecordPacking == 8 ? 40 : 36;

        [TestCase(typeof(Matrix), 128, "M00:0 M03:24 M10:32 M33:120")]
        [TestCase(typeof(Viewport), 16, "X:0 Y:4 Width:8 Height:12")]
        [TestCase(typeof(FrameView), 272, "Pose:0 Projection:128 RecommendedViewport:256")]
        [TestCase(typeof(FramePoseData), 1472,
                  "view0:0 view1:272 view2:544 view3:816 HeadPose:1088 LeftEyePose:1216 RightEyePose:1344")]
        [TestCase(typeof(SwapchainConfig), 24, "Width:0 Height:4 Format:8 ArraySize:12 SampleCount:16 Usage:20")]
        [TestCase(typeof(ImageViewport), 20, "X:0 Y:4 Width:8 Height:12 ArrayIndex:16")]
        [TestCase(typeof(SubmissionView), 400,
                  "Pose:0 Projection:128 ColorSlot:256 ColorViewport:264 ColorTexture:288 hasDepth:296 DepthSlot:304 " +
                  "DepthViewport:312 DepthTexture:336 DepthParameters:344 ExtraDepthParameters:376 hasExtraDepthParameters:392")]
        [TestCase(typeof(SubmissionLayer), 1608, "SortOrder:0 Flags:4 view0:8 view1:408 view2:808 view3:1208")]
        [TestCase(typeof(DepthParameters), 32, "NearZ:0 FarZ:8 MinDepth:16 MaxDepth:24")]
        [TestCase(typeof(ExtraDepthParameters), 16, "DepthScale:0 DepthOffset:8")]
        [TestCase(typeof(RenderTextureDesc), 12, "Width:0 Height:4 Format:8")]
        [TestCase(typeof(EulerAngles), 24, "AroundX:0 AroundY:8 AroundZ:16")]
        [TestCase(typeof(GazeSample), 216, "Timestamp:0 FrameIndex:8 CombinedOrigin:16 Left:64 Right:136 Validity:208 Confidence:212")]
        [TestCase(typeof(RawGazeSample), 232, "Timestamp:0 Left:16 Right:96 InterPupillaryDistanceMm:176 HeadOrigin:184 Flags:208")]
        [TestCase(typeof(GazeCalibrationParameter), 16, "Key:0 Value:8")]
        [TestCase(typeof(StreamFrame), 56, "Kind:0 StreamId:8 Timestamp:16 Width:24 RowPitch:36 Data:40 DataSize:48")]
        [TestCase(typeof(OcclusionVertex), 8, "X:0 Y:4")]
        [TestCase(typeof(QueuedCallback), 48,
                  "Kind:0 ClientHandle:4 Text:8 Data:16 UserData:24 TextLength:32 DataSize:36 Dropped:40 Reserved:44")]
        [TestCase(typeof(HmdMatrix34), 48, "M00:0 M03:12 M23:44")]
        [TestCase(typeof(HmdVector3), 12, "X:0 Z:8")]
        [TestCase(typeof(TrackedDevicePose), 80,
                  "DeviceToAbsoluteTracking:0 Velocity:48 AngularVelocity:60 TrackingResult:72 poseIsValid:76 deviceIsConnected:77")]
        [TestCase(typeof(VRControllerAxis), 8, "X:0 Y:4")]
        [TestCase(typeof(VRControllerState), ControllerStateSize, ControllerStateLayout)]
        [TestCase(typeof(VREventData), 24, "Word0:0 Word2:16")]
        [TestCase(typeof(VREvent), EventSize, EventLayout)]
        public void RecordHasItsNativeLayout(Type record, int size, string offsets)
        {
            var wrong = new List<string>();
            if (Marshal.SizeOf(record) != size) wrong.Add("size " + Marshal.SizeOf(record) + ", not " + size);
            foreach (string entry in offsets.Split(' '))
            {
                string field = entry.Split(':')[0];
                long expected = long.Parse(entry.Split(':')[1]);
                long actual = Marshal.OffsetOf(record, field).ToInt64();
                if (actual != expected) wrong.Add(field + " at " + actual + ", not " + expected);
            }
            Assert.IsEmpty(wrong, record.Name + ": " + string.Join("; ", wrong.ToArray()));
        }

        // Records handed over by reference or in arrays are pinned, not copied, only when blittable;
        // pinning refuses any other. Every record of the bindings is meant to be: a bool or string
        // field added to any of them fails here.
        [Test]
        public void EveryRecordIsBlittable()
        {
            var records = typeof(Native).Assembly.GetTypes().Where(type => type.IsPublic && type.IsValueType && !type.IsEnum).ToList();
            Assert.Greater(records.Count, 25);
            var refused = new List<string>();
            foreach (Type record in records)
            {
                try
                {
                    GCHandle.Alloc(Array.CreateInstance(record, 1), GCHandleType.Pinned).Free();
                }
                catch (ArgumentException)
                {
                    refused.Add(record.Name);
                }
            }
            Assert.IsEmpty(refused, "not blittable");
        }

        /// <summary>The platform-invoke declarations of a bindings class.</summary>
        public static IEnumerable<MethodInfo> Imports(Type library)
        {
            return library.GetMethods(BindingFlags.Public | BindingFlags.Static)
                          .Where(method => (method.Attributes & MethodAttributes.PinvokeImpl) != 0);
        }

        [TestCase(typeof(Native), 59)]
        [TestCase(typeof(Native.TrackerLink), 31)]
        public void OneImportPerExportWithOneByteBoolsAndTheCConvention(Type library, int exports)
        {
            var wrong = new List<string>();
            var entryPoints = new HashSet<string>();
            foreach (MethodInfo method in Imports(library))
            {
                var import = (DllImportAttribute)method.GetCustomAttributes(typeof(DllImportAttribute), false).Single();
                entryPoints.Add(import.EntryPoint);
                if (import.CallingConvention != CallingConvention.Cdecl) wrong.Add(method.Name + ": calling convention");
                var parameters = new List<ParameterInfo>(method.GetParameters()) { method.ReturnParameter };
                foreach (ParameterInfo parameter in parameters)
                {
                    Type type = parameter.ParameterType.IsByRef ? parameter.ParameterType.GetElementType() : parameter.ParameterType;
                    if (type != typeof(bool)) continue;
                    var marshal = (MarshalAsAttribute)parameter.GetCustomAttributes(typeof(MarshalAsAttribute), false).SingleOrDefault();
                    if (marshal == null || marshal.Value != UnmanagedType.I1)
                        wrong.Add(method.Name + ": bool " + (parameter.Position < 0 ? "result" : parameter.Name) + " is not one byte");
                }
            }
            Assert.IsEmpty(wrong, string.Join("; ", wrong.ToArray()));
            Assert.AreEqual(exports, entryPoints.Count, "distinct entry points of " + library.Name);
        }
    }
}
