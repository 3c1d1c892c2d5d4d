// The plug-in's numbered values as enums of their native width, so that a record holding one
// keeps its layout and a raw import taking one keeps its signature.
using System;

namespace Zerin
{
    /// <summary>Ids for the plug-in's render-event callback (<see cref="Native.GetRenderEventFunc"/>),
    /// issued with GL.IssuePluginEvent or CommandBuffer.IssuePluginEvent (as an int) or with
    /// <see cref="RenderEvents"/>. The engine runs them on its render thread in the order issued.</summary>
    public enum RenderEvent
    {
        /// <summary>Submits a frame still begun, then begins the next one.</summary>
        FrameStart = 10,
        /// <summary>Submits the oldest queued submission.</summary>
        FrameSubmit = 11,
        /// <summary>Creates and frees the queued swap chains.</summary>
        SwapchainRequests = 13,
        /// <summary>Moves runtime events into the queue that <see cref="Session.DispatchEvents"/> reads.</summary>
        EventPoll = 14,
        /// <summary>Waits for the runtime's frame sync, publishes views and poses, moves events
        /// and releases one <see cref="Native.SyncRenderThread"/>.</summary>
        FrameSync = 20,
    }

    /// <summary>What a swap chain's images are for (<see cref="SwapchainConfig.Usage"/>).</summary>
    public enum SwapchainUsage : uint
    {
        /// <summary>Colour images: the plug-in copies the engine's colour into them, the runtime samples them.</summary>
        Color = 1,
        /// <summary>Depth images: the plug-in's depth copy binds them as depth-stencil targets.</summary>
        Depth = 2,
    }

    /// <summary>The DXGI formats the plug-in and the runtime work with; any DXGI_FORMAT number
    /// may be cast to it.</summary>
    public enum DxgiFormat
    {
        /// <summary>No format.</summary>
        Unknown = 0,
        /// <summary>DXGI_FORMAT_R8G8B8A8_TYPELESS, the runtime's recommended eye-texture format.</summary>
        R8G8B8A8Typeless = 27,
        /// <summary>DXGI_FORMAT_R8G8B8A8_UNORM: colour swap chains for ARGB32 render textures.</summary>
        R8G8B8A8UNorm = 28,
        /// <summary>DXGI_FORMAT_R8G8B8A8_UNORM_SRGB.</summary>
        R8G8B8A8UNormSrgb = 29,
        /// <summary>DXGI_FORMAT_D32_FLOAT: depth swap chains, what the depth copy writes.</summary>
        D32Float = 40,
        /// <summary>DXGI_FORMAT_D24_UNORM_S8_UINT.</summary>
        D24UNormS8UInt = 45,
    }

    /// <summary>Kinds of mixed-reality data stream.</summary>
    public enum DataStreamKind : long
    {
        /// <summary>The stereo colour cameras.</summary>
        StereoCamera = 1,
        /// <summary>The depth camera.</summary>
        DepthCamera = 2,
    }

    /// <summary>Runtime event types, as <see cref="Session.DispatchEvents"/> reports them.</summary>
    public enum RuntimeEventType : long
    {
        /// <summary>No event.</summary>
        None = 0,
        /// <summary>Data: 1 visible, 0 hidden.</summary>
        Visibility = 1,
        /// <summary>Data: 1 in front, 0 behind.</summary>
        Foreground = 2,
        /// <summary>Data: 1 entering standby, 0 leaving it.</summary>
        HeadsetStandby = 3,
        /// <summary>Data: the button in the low 32 bits, its state above.</summary>
        Button = 4,
        /// <summary>Data: the stream id.</summary>
        DataStreamStart = 5,
        /// <summary>Data: the stream id.</summary>
        DataStreamStop = 6,
        /// <summary>Data: the property key in the low 32 bits, its value above.</summary>
        MRCameraProperty = 7,
        /// <summary>Data: the device in the low 32 bits, its status above.</summary>
        MRDeviceStatus = 8,
    }

    /// <summary>Which parts of a gaze eye or sample are valid.</summary>
    [Flags]
    public enum GazeValidity : uint
    {
        /// <summary>Nothing is valid.</summary>
        None = 0,
        /// <summary>The origin.</summary>
        Origin = 1,
        /// <summary>The direction.</summary>
        Direction = 2,
        /// <summary>The pupil diameter.</summary>
        Pupil = 4,
        /// <summary>The openness.</summary>
        Openness = 8,
    }

    /// <summary>Kinds of <see cref="QueuedCallback"/>.</summary>
    public enum QueuedCallbackKind
    {
        /// <summary>A plug-in log line: Text.</summary>
        DebugLog = 1,
        /// <summary>A program manager message: ClientHandle, Text (name), Data (payload).</summary>
        ProgramManagerMessage = 2,
        /// <summary>A stream frame: Data (the StreamFrame and its pixels), UserData.</summary>
        StreamFrame = 3,
        /// <summary>A shared-logger line: ClientHandle (the level), Text (the tag), Data (the message).</summary>
        LoggerLine = 4,
    }
}
