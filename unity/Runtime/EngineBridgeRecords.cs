// Records that cross between scripts and ZerinEngineBridge. Every record is blittable (no
// managed references, no bool fields: flags are 4-byte ints behind bool properties, enums have
// the native width), so the marshaller passes a pointer to the managed memory itself: no copy
// and no allocation per call. Sizes and offsets are pinned by tests.
using System;
using System.Runtime.InteropServices;

namespace Zerin
{
    /// <summary>The runtime's 4x4 matrix: sixteen doubles, row-major, M01 in row 0 and column 1
    /// (128 bytes). It acts on column vectors (p' = M p), so a pose holds its translation in
    /// M03, M13 and M23. Poses are in the runtime's tracking space, right-handed: +x right, +y up,
    /// -z forward, in metres. A projection maps that right-handed view space to clip space with
    /// depth 0 at the near plane and 1 at the far one (Direct3D's range). The engine's world is
    /// left-handed (+z forward) and its projections use -1 to 1: the engine build converts with
    /// <c>ToEnginePose</c>, <c>ToEngineMatrix</c>, <c>ToEngineProjection</c> and their inverses
    /// (EngineConversions).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct Matrix
    {
        /// <summary>Row 0, column 0.</summary>
        public double M00;
        /// <summary>Row 0, column 1.</summary>
        public double M01;
        /// <summary>Row 0, column 2.</summary>
        public double M02;
        /// <summary>Row 0, column 3.</summary>
        public double M03;
        /// <summary>Row 1, column 0.</summary>
        public double M10;
        /// <summary>Row 1, column 1.</summary>
        public double M11;
        /// <summary>Row 1, column 2.</summary>
        public double M12;
        /// <summary>Row 1, column 3.</summary>
        public double M13;
        /// <summary>Row 2, column 0.</summary>
        public double M20;
        /// <summary>Row 2, column 1.</summary>
        public double M21;
        /// <summary>Row 2, column 2.</summary>
        public double M22;
        /// <summary>Row 2, column 3.</summary>
        public double M23;
        /// <summary>Row 3, column 0.</summary>
        public double M30;
        /// <summary>Row 3, column 1.</summary>
        public double M31;
        /// <summary>Row 3, column 2.</summary>
        public double M32;
        /// <summary>Row 3, column 3.</summary>
        public double M33;

        /// <summary>The identity matrix.</summary>
        public static Matrix Identity
        {
            get { return new Matrix { M00 = 1, M11 = 1, M22 = 1, M33 = 1 }; }
        }
    }

    /// <summary>A pixel rectangle (16 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct Viewport
    {
        /// <summary>Left edge, in pixels.</summary>
        public int X;
        /// <summary>Top edge, in pixels.</summary>
        public int Y;
        /// <summary>Width in pixels.</summary>
        public int Width;
        /// <summary>Height in pixels.</summary>
        public int Height;
    }

    /// <summary>One view of a frame as the runtime predicts it (272 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct FrameView
    {
        /// <summary>The view's pose in tracking space (see <see cref="Matrix"/>).</summary>
        public Matrix Pose;
        /// <summary>The view's projection (see <see cref="Matrix"/>).</summary>
        public Matrix Projection;
        /// <summary>Where the runtime would like the view drawn.</summary>
        public Viewport RecommendedViewport;
    }

    /// <summary>What <see cref="Native.GetFramePoseData"/> fills: the four views of the latest
    /// frame sync and the runtime's poses of kinds 1, 2 and 3 (1472 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct FramePoseData
    {
        FrameView view0, view1, view2, view3;
        /// <summary>The head's pose (the runtime's pose kind 1).</summary>
        public Matrix HeadPose;
        /// <summary>The left eye's pose (pose kind 2).</summary>
        public Matrix LeftEyePose;
        /// <summary>The right eye's pose (pose kind 3).</summary>
        public Matrix RightEyePose;

        /// <summary>How many views a frame has.</summary>
        public const int ViewCount = 4;

        /// <summary>View <paramref name="index"/>, 0 to 3.</summary>
        public FrameView GetView(int index)
        {
            switch (index)
            {
                case 0: return view0;
                case 1: return view1;
                case 2: return view2;
                case 3: return view3;
                default: throw new ArgumentOutOfRangeException("index");
            }
        }
    }

    /// <summary>The runtime's swap-chain configuration (24 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct SwapchainConfig
    {
        /// <summary>Image width in pixels.</summary>
        public uint Width;
        /// <summary>Image height in pixels.</summary>
        public uint Height;
        /// <summary>The images' format.</summary>
        public DxgiFormat Format;
        /// <summary>Array slices per image (1 for one view per image).</summary>
        public uint ArraySize;
        /// <summary>Samples per pixel (1 without multisampling).</summary>
        public uint SampleCount;
        /// <summary>Colour or depth.</summary>
        public SwapchainUsage Usage;
    }

    /// <summary>Where a view lies in a swap-chain image: pixels and the image array slice
    /// (20 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct ImageViewport
    {
        /// <summary>Left edge, in pixels.</summary>
        public int X;
        /// <summary>Top edge, in pixels.</summary>
        public int Y;
        /// <summary>Width in pixels.</summary>
        public int Width;
        /// <summary>Height in pixels.</summary>
        public int Height;
        /// <summary>The image array slice.</summary>
        public int ArrayIndex;
    }

    /// <summary>The four depth values the runtime takes with a view's depth (32 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct DepthParameters
    {
        /// <summary>The near plane's distance, in metres (the camera's near clip plane).</summary>
        public double NearZ;
        /// <summary>The far plane's distance, in metres (the camera's far clip plane).</summary>
        public double FarZ;
        /// <summary>The depth value at the near plane (usually 0).</summary>
        public double MinDepth;
        /// <summary>The depth value at the far plane (usually 1).</summary>
        public double MaxDepth;
    }

    /// <summary>The further depth values of the second extension (16 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct ExtraDepthParameters
    {
        /// <summary>The scale the runtime applies to depth values.</summary>
        public double DepthScale;
        /// <summary>The offset the runtime adds to depth values.</summary>
        public double DepthOffset;
    }

    /// <summary>One view of one submitted layer (400 bytes). Slots are the values that
    /// <see cref="Swapchain.Slot"/> holds; textures are the engine's Direct3D 11 resources
    /// (<c>Texture.GetNativeTexturePtr()</c>, <c>RenderTexture.GetNativeDepthBufferPtr()</c>).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct SubmissionView
    {
        /// <summary>The pose the view was drawn from, passed to the runtime unchanged.</summary>
        public Matrix Pose;
        /// <summary>The projection it was drawn with, passed to the runtime unchanged.</summary>
        public Matrix Projection;
        /// <summary>The colour swap chain's slot.</summary>
        public IntPtr ColorSlot;
        /// <summary>Where the view goes in the colour image.</summary>
        public ImageViewport ColorViewport;
        /// <summary>The engine's colour texture, copied into the swap chain's image.</summary>
        public IntPtr ColorTexture;
        int hasDepth;  // a 4-byte flag natively: a bool field would not be blittable
        /// <summary>The depth swap chain's slot, read only with <see cref="HasDepth"/>.</summary>
        public IntPtr DepthSlot;
        /// <summary>Where the view goes in the depth image.</summary>
        public ImageViewport DepthViewport;
        /// <summary>The engine's depth buffer, copied into the depth image.</summary>
        public IntPtr DepthTexture;
        /// <summary>The depth values the runtime takes with the depth.</summary>
        public DepthParameters DepthParameters;
        /// <summary>The second extension's values, sent with <see cref="HasExtraDepthParameters"/>.</summary>
        public ExtraDepthParameters ExtraDepthParameters;
        int hasExtraDepthParameters;

        /// <summary>Whether the view also submits depth.</summary>
        public bool HasDepth
        {
            get { return hasDepth != 0; }
            set { hasDepth = value ? 1 : 0; }
        }

        /// <summary>Whether the second depth extension is attached (only with depth).</summary>
        public bool HasExtraDepthParameters
        {
            get { return hasExtraDepthParameters != 0; }
            set { hasExtraDepthParameters = value ? 1 : 0; }
        }
    }

    /// <summary>One layer of a submission: always four views (1608 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct SubmissionLayer
    {
        /// <summary>The runtime layer's sort order.</summary>
        public int SortOrder;
        /// <summary>The runtime layer's flags.</summary>
        public int Flags;
        SubmissionView view0, view1, view2, view3;

        /// <summary>How many views a layer has; the render thread checks all of them.</summary>
        public const int ViewCount = 4;

        /// <summary>View <paramref name="index"/>, 0 to 3.</summary>
        public SubmissionView GetView(int index)
        {
            switch (index)
            {
                case 0: return view0;
                case 1: return view1;
                case 2: return view2;
                case 3: return view3;
                default: throw new ArgumentOutOfRangeException("index");
            }
        }

        /// <summary>Sets view <paramref name="index"/>, 0 to 3.</summary>
        public void SetView(int index, SubmissionView view)
        {
            switch (index)
            {
                case 0: view0 = view; break;
                case 1: view1 = view; break;
                case 2: view2 = view; break;
                case 3: view3 = view; break;
                default: throw new ArgumentOutOfRangeException("index");
            }
        }
    }

    /// <summary>Result of <see cref="Native.GetRenderTextureFormat"/> (12 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct RenderTextureDesc
    {
        /// <summary>Width in pixels.</summary>
        public int Width;
        /// <summary>Height in pixels.</summary>
        public int Height;
        /// <summary>The recommended format.</summary>
        public DxgiFormat Format;
    }

    /// <summary>Rotation angles in radians about x, y and z, applied z, y, x (24 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct EulerAngles
    {
        /// <summary>Radians about x.</summary>
        public double AroundX;
        /// <summary>Radians about y.</summary>
        public double AroundY;
        /// <summary>Radians about z.</summary>
        public double AroundZ;
    }

    /// <summary>A vector of three doubles in the runtime's right-handed space (24 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct Vector3d
    {
        /// <summary>x.</summary>
        public double X;
        /// <summary>y.</summary>
        public double Y;
        /// <summary>z.</summary>
        public double Z;
    }

    /// <summary>One eye of a gaze sample (72 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct GazeEye
    {
        /// <summary>The eye's position in head space, metres.</summary>
        public Vector3d Origin;
        /// <summary>Unit vector in head space.</summary>
        public Vector3d Direction;
        /// <summary>The pupil's diameter in millimetres.</summary>
        public double PupilDiameterMm;
        /// <summary>0 closed, 1 open.</summary>
        public double Openness;
        /// <summary>Which of these values are valid.</summary>
        public GazeValidity Validity;
        /// <summary>Reserved.</summary>
        public uint Reserved;
    }

    /// <summary>The runtime's gaze sample (216 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct GazeSample
    {
        /// <summary>Runtime clock, nanoseconds.</summary>
        public long Timestamp;
        /// <summary>The frame the sample belongs to.</summary>
        public long FrameIndex;
        /// <summary>The combined gaze's origin in head space, metres.</summary>
        public Vector3d CombinedOrigin;
        /// <summary>The combined gaze's unit direction in head space.</summary>
        public Vector3d CombinedDirection;
        /// <summary>The left eye.</summary>
        public GazeEye Left;
        /// <summary>The right eye.</summary>
        public GazeEye Right;
        /// <summary>Which of the combined values are valid.</summary>
        public GazeValidity Validity;
        /// <summary>0 to 1.</summary>
        public float Confidence;
    }

    /// <summary>One eye of a raw gaze sample (80 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct RawGazeEye
    {
        /// <summary>The pupil centre's x in camera pixels.</summary>
        public double PupilCentreX;
        /// <summary>The pupil centre's y in camera pixels.</summary>
        public double PupilCentreY;
        /// <summary>The pupil ellipse's major axis in camera pixels.</summary>
        public double PupilMajorAxis;
        /// <summary>The pupil ellipse's minor axis in camera pixels.</summary>
        public double PupilMinorAxis;
        /// <summary>The ellipse's angle in radians.</summary>
        public double PupilAngle;
        /// <summary>The eye's gaze in camera space.</summary>
        public Vector3d GazeVector;
        /// <summary>0 closed, 1 open.</summary>
        public double Openness;
        /// <summary>The runtime's validity bits.</summary>
        public uint Validity;
        /// <summary>The camera that saw the eye.</summary>
        public uint CameraIndex;
    }

    /// <summary>The runtime's raw gaze sample (232 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct RawGazeSample
    {
        /// <summary>Runtime clock, nanoseconds.</summary>
        public long Timestamp;
        /// <summary>The sensor's clock.</summary>
        public long SensorTimestamp;
        /// <summary>The left eye.</summary>
        public RawGazeEye Left;
        /// <summary>The right eye.</summary>
        public RawGazeEye Right;
        /// <summary>Millimetres.</summary>
        public double InterPupillaryDistanceMm;
        /// <summary>The head's origin, metres.</summary>
        public Vector3d HeadOrigin;
        /// <summary>The runtime's flags.</summary>
        public uint Flags;
        /// <summary>Reserved.</summary>
        public uint Reserved0;
        /// <summary>Reserved.</summary>
        public ulong Reserved1;
        /// <summary>Reserved.</summary>
        public ulong Reserved2;
    }

    /// <summary>One parameter of a gaze calibration request (16 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct GazeCalibrationParameter
    {
        /// <summary>The runtime's key.</summary>
        public long Key;
        /// <summary>Its value.</summary>
        public double Value;
    }

    /// <summary>One frame of a mixed-reality data stream, as a stream handler receives it
    /// (56 bytes). It and its pixels are valid only during the handler's call.</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct StreamFrame
    {
        /// <summary>The stream's kind, always first.</summary>
        public DataStreamKind Kind;
        /// <summary>The runtime's stream id.</summary>
        public long StreamId;
        /// <summary>Runtime clock, nanoseconds.</summary>
        public long Timestamp;
        /// <summary>Width in pixels.</summary>
        public uint Width;
        /// <summary>Height in pixels.</summary>
        public uint Height;
        /// <summary>The runtime's pixel format.</summary>
        public int Format;
        /// <summary>Bytes from one row to the next.</summary>
        public uint RowPitch;
        /// <summary>The pixels.</summary>
        public IntPtr Data;
        /// <summary>Bytes at <see cref="Data"/>.</summary>
        public ulong DataSize;
    }

    /// <summary>One call the plug-in queued for the bindings' thread (48 bytes). Text and data
    /// point into the queue, valid until the consumer's next CallbackQueue_Next.</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct QueuedCallback
    {
        /// <summary>What was called.</summary>
        public QueuedCallbackKind Kind;
        /// <summary>A program manager message's client; a logger line's level (0 critical to 3 info).</summary>
        public int ClientHandle;
        /// <summary>The log line, the message's name, or the logger line's tag; UTF-8, NUL-terminated.</summary>
        public IntPtr Text;
        /// <summary>The message's payload (IntPtr.Zero when empty), the copied StreamFrame, or the
        /// logger line's message (UTF-8, NUL-terminated).</summary>
        public IntPtr Data;
        /// <summary>A stream frame's: what the stream was started with.</summary>
        public IntPtr UserData;
        /// <summary>Bytes of <see cref="Text"/> before the NUL.</summary>
        public int TextLength;
        /// <summary>Payload bytes, the size of the StreamFrame, or the logger line's message bytes
        /// before the NUL.</summary>
        public int DataSize;
        /// <summary>Calls lost to a full queue since the previous one handed out.</summary>
        public int Dropped;
        /// <summary>Reserved.</summary>
        public int Reserved;
    }

    /// <summary>A vertex of the occlusion mesh: normalised view coordinates (8 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct OcclusionVertex
    {
        /// <summary>x, -1 to 1.</summary>
        public float X;
        /// <summary>y, -1 to 1.</summary>
        public float Y;
    }
}
