// The parties around the plug-in that the tests play or read back: the simulated runtime's
// control surface (ZerinLib's zerinsim_* functions), the simulated OpenVR's (zerinsimvr_*) and
// the test host (ZerinTestHost: the engine with its render thread and graphics device, and the
// program manager service). They exist only in the repository's test build; where they are
// missing (a real runtime in the engine) the tests that need them are ignored.
using System;
using System.Runtime.InteropServices;
using System.Text;
using NUnit.Framework;
using Zerin.OpenVR;

namespace Zerin.Tests
{
    [StructLayout(LayoutKind.Sequential)]
    public struct SimEvent
    {
        public long Type;
        public long Timestamp;
        public long Data;
    }

    [StructLayout(LayoutKind.Sequential)]
    public struct SimSwapchainViewport
    {
        public IntPtr SwapChain;
        public int X, Y, Width, Height, ArrayIndex, Reserved;
    }

    [StructLayout(LayoutKind.Sequential)]
    public struct SimRuntimeView
    {
        public IntPtr Extensions;
        public Matrix Pose;
        public Matrix Projection;
        public SimSwapchainViewport Colour;
    }

    [StructLayout(LayoutKind.Sequential)]
    public struct SimDepthExtension
    {
        public long Type;
        public IntPtr Next;
        public DepthParameters Parameters;
        public SimSwapchainViewport Depth;
    }

    [StructLayout(LayoutKind.Sequential)]
    public struct SimExtraDepthExtension
    {
        public long Type;
        public IntPtr Next;
        public ExtraDepthParameters Parameters;
    }

    [StructLayout(LayoutKind.Sequential)]
    public struct SimSubmittedView
    {
        public SimRuntimeView View;
        public int HasDepth;
        public int HasExtraDepth;
        public SimDepthExtension Depth;
        public SimExtraDepthExtension ExtraDepth;
        public int ColourImage;
        public int DepthImage;
    }

    [StructLayout(LayoutKind.Sequential)]
    public struct SimRuntimeLayer
    {
        public long Type, Flags, SortOrder;
        public int ViewCount, Reserved;
        public IntPtr Views;
    }

    [StructLayout(LayoutKind.Sequential)]
    public struct SimLayerSubmit
    {
        public long FrameIndex, Reserved0;
        public int LayerCount, Reserved1;
        public IntPtr Layers;
    }

    /// <summary>What one zerin_EndFrameWithLayers received (7032 bytes).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct SimSubmittedFrame
    {
        public IntPtr Session;
        public long BegunFrameIndex;
        public long Error;
        public SimLayerSubmit Submit;
        [MarshalAs(UnmanagedType.ByValArray, SizeConst = 4)] public IntPtr[] LayerPointers;
        [MarshalAs(UnmanagedType.ByValArray, SizeConst = 4)] public SimRuntimeLayer[] Layers;
        [MarshalAs(UnmanagedType.ByValArray, SizeConst = 16)] public SimSubmittedView[] Views;
    }

    public static class SimRuntime
    {
        const string Lib = "ZerinLib";

        [DllImport(Lib)] public static extern void zerinsim_Reset();
        [DllImport(Lib)] public static extern void zerinsim_SetAvailable(int available);
        [DllImport(Lib)] public static extern void zerinsim_SetVersion([MarshalAs(UnmanagedType.LPStr)] string version);
        [DllImport(Lib)] public static extern void zerinsim_FailNextCall([MarshalAs(UnmanagedType.LPStr)] string function, long code);
        [DllImport(Lib)] public static extern void zerinsim_RaiseError(long code);
        [DllImport(Lib)] public static extern int zerinsim_CallCount();
        [DllImport(Lib)] public static extern int zerinsim_GetCall(int index, byte[] buffer, int size);
        [DllImport(Lib)] public static extern void zerinsim_ClearCalls();
        [DllImport(Lib)] public static extern void zerinsim_SetConfigValue([MarshalAs(UnmanagedType.LPStr)] string key,
                                                                          [MarshalAs(UnmanagedType.LPStr)] string value);
        [DllImport(Lib)] public static extern int zerinsim_LiveObjectCount([MarshalAs(UnmanagedType.LPStr)] string kind);
        [DllImport(Lib)] public static extern void zerinsim_SetFrameRate(double framesPerSecond);
        [DllImport(Lib)] public static extern void zerinsim_QueueEvent([In] ref SimEvent simEvent);
        [DllImport(Lib)] public static extern int zerinsim_ReadSwapChainImage(IntPtr swapChain, int image, uint arraySlice,
                                                                             byte[] buffer, int size);
        [DllImport(Lib)] public static extern int zerinsim_SubmittedFrameCount();
        [DllImport(Lib)] public static extern int zerinsim_GetSubmittedFrame(int index, out SimSubmittedFrame frame);
        [DllImport(Lib)] public static extern void zerinsim_SetForeground(int foreground);
        [DllImport(Lib)] public static extern void zerinsim_SetButton(long button, int down);
        [DllImport(Lib)] public static extern void zerinsim_SetGazeRate(double samplesPerSecond);
        [DllImport(Lib)] public static extern int zerinsim_QueueGazeSample([In] ref GazeSample sample);
        [DllImport(Lib)] public static extern void zerinsim_PinGaze([In] ref GazeSample sample);
        [DllImport(Lib)] public static extern void zerinsim_PinRawGaze([In] ref RawGazeSample sample);
        [DllImport(Lib)] public static extern int zerinsim_CalibrationRequestCount();
        [DllImport(Lib)] public static extern int zerinsim_GetCalibrationRequest(int index, out IntPtr session, out int withParameters,
                                                                                [Out] GazeCalibrationParameter[] parameters, int capacity);
        [DllImport(Lib)] public static extern void zerinsim_SetStreamFrameInterval(long microseconds);
        [DllImport(Lib)] public static extern int zerinsim_ActiveStreamCount();

        public static readonly string[] ObjectKinds =
            { "session", "event", "frameInfo", "submitInfo", "swapChain", "occlusionMesh" };

        /// <summary>The runtime's call log, one line a call ("zerin_Name(arguments) -> result").</summary>
        public static string[] Calls()
        {
            var lines = new string[zerinsim_CallCount()];
            for (int i = 0; i < lines.Length; ++i)
            {
                int size = zerinsim_GetCall(i, null, 0);
                var buffer = new byte[Math.Max(size, 1)];
                zerinsim_GetCall(i, buffer, size);
                lines[i] = Encoding.UTF8.GetString(buffer, 0, Math.Max(size - 1, 0));
            }
            return lines;
        }

        public static string[] CallsTo(string function)
        {
            return Array.FindAll(Calls(), line => line.StartsWith(function + "(", StringComparison.Ordinal));
        }

        public static int LiveObjects()
        {
            int count = 0;
            foreach (string kind in ObjectKinds) count += zerinsim_LiveObjectCount(kind);
            return count;
        }
    }

    public static class SimOpenVR
    {
        const string Lib = "openvr_api";

        [DllImport(Lib)] public static extern void zerinsimvr_Reset();
        [DllImport(Lib)] public static extern void zerinsimvr_FreezeClock(double seconds);
        [DllImport(Lib)]
        [return: MarshalAs(UnmanagedType.I1)]
        public static extern bool zerinsimvr_SetButton(uint deviceIndex, VRButtonId button,
                                                       [MarshalAs(UnmanagedType.I1)] bool pressed,
                                                       [MarshalAs(UnmanagedType.I1)] bool touched);
        [DllImport(Lib)] public static extern uint zerinsimvr_HapticPulseCount();
    }

    public static class TestHost
    {
        const string Lib = "ZerinTestHost";

        [DllImport(Lib)] public static extern int zerintest_EngineStart();
        [DllImport(Lib)] public static extern void zerintest_EngineStop();
        [DllImport(Lib)] public static extern IntPtr zerintest_EngineError();
        [DllImport(Lib)] public static extern void zerintest_IssuePluginEvent(int eventId);
        [DllImport(Lib)] public static extern void zerintest_WaitForRenderThread();
        [DllImport(Lib)] public static extern IntPtr zerintest_CreateTexture(uint width, uint height, int format, byte[] texels);
        [DllImport(Lib)] public static extern void zerintest_ReleaseTexture(IntPtr texture);
        [DllImport(Lib)] public static extern int zerintest_TextureCount();
        [DllImport(Lib)] public static extern int zerintest_ServiceStart();
        [DllImport(Lib)] public static extern void zerintest_ServiceStop();
        [DllImport(Lib)] public static extern ulong zerintest_ServiceWaitForClient(int timeoutMs);
        [DllImport(Lib)] public static extern int zerintest_ServicePush(ulong client, [MarshalAs(UnmanagedType.LPStr)] string name,
                                                                       byte[] payload, int size);
        [DllImport(Lib)] public static extern int zerintest_ServiceWaitForFrames([MarshalAs(UnmanagedType.LPStr)] string name,
                                                                                int count, int timeoutMs);
        [DllImport(Lib)] public static extern int zerintest_ServiceFrameSize([MarshalAs(UnmanagedType.LPStr)] string name, int index);

        /// <summary>Issues the events in order on the render thread and waits until they have run.</summary>
        public static void RunOnRenderThread(params RenderEvent[] renderEvents)
        {
            foreach (RenderEvent id in renderEvents) zerintest_IssuePluginEvent((int)id);
            zerintest_WaitForRenderThread();
        }

        /// <summary>Ignores the calling test where the stand-ins are not there (the engine with a
        /// real runtime).</summary>
        public static void RequireStandIns()
        {
            try
            {
                SimRuntime.zerinsim_CallCount();
                SimOpenVR.zerinsimvr_HapticPulseCount();
                zerintest_TextureCount();
            }
            catch (DllNotFoundException)
            {
                Assert.Ignore("needs the simulated runtime and the test host of the repository's test build");
            }
            catch (EntryPointNotFoundException)
            {
                Assert.Ignore("needs the simulated runtime and the test host of the repository's test build");
            }
        }
    }
}
