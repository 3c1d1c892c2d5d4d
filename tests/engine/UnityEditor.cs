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

    public enum SettingsScope
    {
        User = 0,
        Project = 1,
    }

    public class SettingsProvider
    {
        public SettingsProvider(string path, SettingsScope scopes) { settingsPath = path; scope = scopes; }
        public string settingsPath { get; set; }
        public SettingsScope scope { get; private set; }
        public virtual void OnGUI(string searchContext) { }
    }

    [AttributeUsage(AttributeTargets.Method)]
    public sealed class SettingsProviderAttribute : Attribute
    {
    }

    public enum MessageType
    {
        None = 0,
        Info = 1,
        Warning = 2,
        Error = 3,
    }

    public sealed class EditorGUILayout
    {
        public static bool Toggle(string label, bool value) { return value; }
        public static string TextField(string label, string text) { return text; }
        public static void HelpBox(string message, MessageType type) { }
    }
}
