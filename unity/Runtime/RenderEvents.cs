// The plug-in's render events as the engine issues them: its render thread runs each, in the
// order issued, through the one callback the plug-in hands out.
using System;
#if UNITY_5_3_OR_NEWER
using UnityEngine;
using UnityEngine.Rendering;
#endif

namespace Zerin
{
    /// <summary>Issues <see cref="RenderEvent"/>s on the engine's render thread.</summary>
    public static class RenderEvents
    {
        static IntPtr function;

        /// <summary>The plug-in's render-event callback, for GL.IssuePluginEvent and
        /// CommandBuffer.IssuePluginEvent with <c>(int)</c> a <see cref="RenderEvent"/>.</summary>
        public static IntPtr Function
        {
            get
            {
                if (function == IntPtr.Zero) function = Native.GetRenderEventFunc();
                return function;
            }
        }

#if UNITY_5_3_OR_NEWER
        /// <summary>Queues the event on the render thread now.</summary>
        public static void Issue(RenderEvent renderEvent)
        {
            GL.IssuePluginEvent(Function, (int)renderEvent);
        }

        /// <summary>Adds the event to a command buffer.</summary>
        public static void Issue(CommandBuffer commands, RenderEvent renderEvent)
        {
            commands.IssuePluginEvent(Function, (int)renderEvent);
        }
#endif
    }
}
