// A swap chain as a script holds it: the slot that names it in submissions, made and freed on
// the render thread at the next RenderEvent.SwapchainRequests after each request.
using System;
using System.Runtime.InteropServices;

namespace Zerin
{
    /// <summary>A swap chain queued by <see cref="Session.CreateSwapchain"/>. Issue
    /// <see cref="RenderEvent.SwapchainRequests"/> to have it made and, after
    /// <see cref="Dispose"/>, freed.</summary>
    public sealed class Swapchain : IDisposable
    {
        IntPtr slot;  // the render thread frees it at the event after the destroy request

        internal Swapchain(IntPtr slot, SwapchainConfig config)
        {
            this.slot = slot;
            Config = config;
        }

        /// <summary>The value naming the swap chain in <see cref="SubmissionView.ColorSlot"/> or
        /// <see cref="SubmissionView.DepthSlot"/>; IntPtr.Zero once disposed.</summary>
        public IntPtr Slot { get { return slot; } }

        /// <summary>What it was created with.</summary>
        public SwapchainConfig Config { get; private set; }

        /// <summary>Whether the render thread has made it: false until a
        /// <see cref="RenderEvent.SwapchainRequests"/> has run since it was queued, or when the
        /// runtime failed to make it, or once disposed.</summary>
        public bool IsMade
        {
            get { return slot != IntPtr.Zero && IsSlotMade(slot); }
        }

        // The cell as the render thread fills it: 8 bytes, 0 until the swap chain is made.
        internal static bool IsSlotMade(IntPtr slot)
        {
            return Marshal.ReadInt64(slot) != 0;
        }

        /// <summary>Queues its destruction (once); its slot must not be submitted after this.</summary>
        public void Dispose()
        {
            if (slot == IntPtr.Zero) return;
            Native.QueueDestroySwapchain(slot);
            slot = IntPtr.Zero;
        }
    }
}
