// The editor's types that the bindings' editor assembly uses, declared from the engine's
// scripting reference. Test output only, never shipped; UnityEngine.ZerinTestEngine raises the
// events through the Raise methods.
using System;

namespace UnityEditor
{
    [AttributeUsage(AttributeTargets.Class)]
    public class InitializeOnLoadAttribute : Attribute
    {
    }

    [AttributeUsage(AttributeTargets.Method)]
    public class InitializeOnLoadMethodAttribute : Attribute
    {
    }

    public enum PlayModeStateChange
    {
        EnteredEditMode = 0,
        ExitingEditMode = 1,
        EnteredPlayMode = 2,
        ExitingPlayMode = 3,
    }

    public static class AssemblyReloadEvents
    {
        public delegate void AssemblyReloadCallback();

        public static event AssemblyReloadCallback beforeAssemblyReload;

        internal static void RaiseBeforeAssemblyReload()
        {
            AssemblyReloadCallback handlers = beforeAssemblyReload;
            if (handlers != null) handlers();
        }
    }

    public sealed class EditorApplication
    {
        public static event Action<PlayModeStateChange> playModeStateChanged;

        internal static void RaisePlayModeStateChanged(int state)
        {
            Action<PlayModeStateChange> handlers = playModeStateChanged;
            if (handlers != null) handlers((PlayModeStateChange)state);
        }
    }
}
