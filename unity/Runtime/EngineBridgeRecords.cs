// Records that cross between scripts and ZerinEngineBridge. Every record is blittable (no
// managed references, no bool fields), so the marshaller passes a pointer to the managed
// memory itself: no copy and no allocation per call. Sizes and offsets are pinned by tests.
using System;
using System.Runtime.InteropServices;

namespace Zerin
{
    /// <summary>The runtime's 4x4 matrix: sixteen doubles, row-major (128 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct Matrix
    {
        public double M00, M01, M02, M03;
        public double M10, M11, M12, M13;
        public double M20, M21, M22, M23;
        public double M30, M31, M32, M33;
    }

    /// <summary>A pixel rectangle (16 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct Viewport
    {
        public int X, Y, Width, Height;
    }

    /// <summary>One view of a frame as the runtime predicts it (272 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct FrameView
    {
        public Matrix Pose;
        public Matrix Projection;
        public Viewport RecommendedViewport;
    }

    /// <summary>What <see cref="EngineBridge.GetFramePoseData"/> fills: the views of the latest
    /// frame sync and the runtime's poses of kinds 1, 2 and 3 (1472 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct FramePoseData
    {
        public FrameView View0, View1, View2, View3;
        public Matrix HeadPose;      // pose kind 1
        public Matrix LeftEyePose;   // pose kind 2
        public Matrix RightEyePose;  // pose kind 3

        public FrameView View(int index)
        {
            switch (index)
            {
                case 0: return View0;
                case 1: return View1;
                case 2: return View2;
                case 3: return View3;
                default: throw new ArgumentOutOfRangeException("index");
            }
        }
    }

    /// <summary>The runtime's swap-chain configuration (24 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct SwapchainConfig
    {
        public uint Width;
        public uint Height;
        public int Format;      // DXGI_FORMAT of the images
        public uint ArraySize;
        public uint SampleCount;
        public uint Usage;      // SwapchainUsage
    }

    public static class SwapchainUsage
    {
        public const uint Colour = 1;  // images are copied into and sampled
        public const uint Depth = 2;   // images are bound as depth-stencil targets
    }

    /// <summary>Where a view lies in a swap-chain image: pixels and the image array slice
    /// (20 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct ImageViewport
    {
        public int X, Y, Width, Height, ArrayIndex;
    }

    /// <summary>The four depth values the runtime takes with a view's depth (32 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct DepthParameters
    {
        public double NearZ, FarZ, MinDepth, MaxDepth;
    }

    /// <summary>The further depth values of the second extension (16 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct ExtraDepthParameters
    {
        public double DepthScale, DepthOffset;
    }

    /// <summary>One view of one submitted layer (400 bytes). Slots are the values that
    /// <see cref="EngineBridge.QueueCreateD3D11Swapchain"/> returned; textures are the engine's
    /// Direct3D 11 resources (<c>Texture.GetNativeTexturePtr()</c>).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct SubmissionView
    {
        public Matrix Matrix0;           // passed to the runtime as the view's pose
        public Matrix Matrix1;           // passed to the runtime as the view's projection
        public IntPtr ColourSlot;
        public ImageViewport ColourViewport;
        public IntPtr ColourTexture;
        public int HasDepth;             // non-zero: the view also submits depth
        public IntPtr DepthSlot;         // read only when HasDepth
        public ImageViewport DepthViewport;
        public IntPtr DepthTexture;
        public DepthParameters DepthParams;
        public ExtraDepthParameters ExtraDepthParams;
        public int HasExtraDepthParams;  // non-zero: the second extension is attached (with depth only)
    }

    /// <summary>One layer of a submission: always four views (1608 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct SubmissionLayer
    {
        public int LayerParam0;  // reaches the runtime layer's sort order
        public int LayerParam1;  // reaches the runtime layer's flags
        public SubmissionView View0, View1, View2, View3;

        public const int ViewCount = 4;

        public SubmissionView GetView(int index)
        {
            switch (index)
            {
                case 0: return View0;
                case 1: return View1;
                case 2: return View2;
                case 3: return View3;
                default: throw new ArgumentOutOfRangeException("index");
            }
        }

        public void SetView(int index, SubmissionView view)
        {
            switch (index)
            {
                case 0: View0 = view; break;
                case 1: View1 = view; break;
                case 2: View2 = view; break;
                case 3: View3 = view; break;
                default: throw new ArgumentOutOfRangeException("index");
            }
        }
    }

    /// <summary>Result of <see cref="EngineBridge.GetRenderTextureFormat"/> (12 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct RenderTextureDesc
    {
        public int Width, Height, Format;
    }

    /// <summary>Rotation angles in radians about x, y and z, applied z, y, x (24 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct EulerAngles
    {
        public double AroundX, AroundY, AroundZ;
    }

    [StructLayout(LayoutKind.Sequential)]
    public struct Vector3d
    {
        public double X, Y, Z;
    }

    /// <summary>One eye of a gaze sample (72 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct GazeEye
    {
        public Vector3d Origin;     // metres, head space
        public Vector3d Direction;  // unit vector, head space
        public double PupilDiameterMm;
        public double Openness;     // 0 closed, 1 open
        public uint Validity;       // GazeValidity bits
        public uint Reserved;
    }

    public static class GazeValidity
    {
        public const uint Origin = 1, Direction = 2, Pupil = 4, Openness = 8;
    }

    /// <summary>The runtime's gaze sample (216 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct GazeSample
    {
        public long Timestamp;  // runtime clock, nanoseconds
        public long FrameIndex;
        public Vector3d CombinedOrigin;
        public Vector3d CombinedDirection;
        public GazeEye Left;
        public GazeEye Right;
        public uint Validity;
        public float Confidence;
    }

    /// <summary>One eye of a raw gaze sample (80 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct RawGazeEye
    {
        public double PupilCentreX, PupilCentreY;  // camera pixels
        public double PupilMajorAxis, PupilMinorAxis;
        public double PupilAngle;  // radians
        public Vector3d GazeVector;
        public double Openness;
        public uint Validity;
        public uint CameraIndex;
    }

    /// <summary>The runtime's raw gaze sample (232 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct RawGazeSample
    {
        public long Timestamp;
        public long SensorTimestamp;
        public RawGazeEye Left;
        public RawGazeEye Right;
        public double InterPupillaryDistanceMm;
        public Vector3d HeadOrigin;
        public uint Flags;
        public uint Reserved0;
        public ulong Reserved1, Reserved2;
    }

    /// <summary>One parameter of a gaze calibration request (16 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct GazeCalibrationParameter
    {
        public long Key;
        public double Value;
    }

    /// <summary>One frame of a mixed-reality data stream, as the stream callback receives it
    /// (56 bytes). It and its pixels are valid only during the callback.</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct StreamFrame
    {
        public long StreamType;  // the stream kind, always first
        public long StreamId;
        public long Timestamp;   // runtime clock, nanoseconds
        public uint Width, Height;
        public int Format;
        public uint RowPitch;
        public IntPtr Data;
        public ulong DataSize;
    }

    /// <summary>One call the plug-in queued for the bindings' thread (48 bytes). Text and data
    /// point into the queue, valid until the consumer's next CallbackQueue_Next.</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct QueuedCallback
    {
        public int Kind;          // QueuedCallbackKind
        public int ClientHandle;  // program manager message; logger line: its level (0 critical to 3 info)
        public IntPtr Text;       // log line, message name, or logger line's tag; UTF-8, NUL-terminated
        public IntPtr Data;       // message payload (IntPtr.Zero when empty), the copied StreamFrame,
                                  // or the logger line's message (UTF-8, NUL-terminated)
        public IntPtr UserData;   // stream frame: what the stream was started with
        public int TextLength;    // bytes before the NUL
        public int DataSize;      // payload bytes, the size of the StreamFrame, or the logger line's
                                  // message bytes before the NUL
        public int Dropped;       // calls lost to a full queue since the previous one handed out
        public int Reserved;
    }

    /// <summary>Kinds of <see cref="QueuedCallback"/>.</summary>
    public static class QueuedCallbackKind
    {
        public const int DebugLog = 1;
        public const int ProgramManagerMessage = 2;
        public const int StreamFrame = 3;
        public const int LoggerLine = 4;
    }

    /// <summary>A vertex of the occlusion mesh: normalised view coordinates (8 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct OcclusionVertex
    {
        public float X, Y;
    }

    /// <summary>Runtime event types, as <see cref="EngineBridge.PollEvent"/> reports them.</summary>
    public enum RuntimeEventType : long
    {
        None = 0,
        Visibility = 1,        // data: 1 visible, 0 hidden (GetEventVisibility)
        Foreground = 2,        // data: 1 in front (GetEventForeground)
        HeadsetStandby = 3,    // data: 1 entering standby (GetEventHeadsetStandbyStatus)
        Button = 4,            // data: button in the low 32 bits, state above (GetEventButton)
        DataStreamStart = 5,   // data: stream id
        DataStreamStop = 6,    // data: stream id
        MRCameraProperty = 7,  // data: key in the low 32 bits, value above
        MRDeviceStatus = 8,    // data: device in the low 32 bits, status above
    }

    /// <summary>Kinds of mixed-reality data stream.</summary>
    public static class DataStreamKind
    {
        public const long StereoCamera = 1;
        public const long DepthCamera = 2;
    }
}
