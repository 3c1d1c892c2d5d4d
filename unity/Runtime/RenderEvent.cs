namespace Zerin
{
    /// <summary>Ids for the plug-in's render-event callback (<see cref="EngineBridge.GetRenderEventFunc"/>),
    /// issued with GL.IssuePluginEvent or CommandBuffer.IssuePluginEvent. The engine runs them
    /// on its render thread in the order issued.</summary>
    public static class RenderEvent
    {
        /// <summary>Submits a frame still begun, then begins the next one.</summary>
        public const int FrameStart = 10;
        /// <summary>Submits the oldest queued submission.</summary>
        public const int FrameSubmit = 11;
        /// <summary>Creates and frees the queued swap chains.</summary>
        public const int SwapchainRequests = 13;
        /// <summary>Moves runtime events into the queue that PollEvent reads.</summary>
        public const int EventPoll = 14;
        /// <summary>Waits for the runtime's frame sync, publishes views and poses, moves events
        /// and releases one SyncRenderThread.</summary>
        public const int FrameSync = 20;
    }
}
