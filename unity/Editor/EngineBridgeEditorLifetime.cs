// The editor unloads the scripts' domain before every assembly reload, and leaves play mode with
// the plug-in still loaded: both times the bindings take back what they handed to it.
#if UNITY_EDITOR
using UnityEditor;

namespace Zerin.Editor
{
    [InitializeOnLoad]
    static class EngineBridgeEditorLifetime
    {
        static EngineBridgeEditorLifetime()
        {
            AssemblyReloadEvents.beforeAssemblyReload += EngineBridgeLifetime.ReleaseAll;
            EditorApplication.playModeStateChanged += OnPlayModeStateChanged;
        }

        static void OnPlayModeStateChanged(PlayModeStateChange change)
        {
            if (change == PlayModeStateChange.ExitingPlayMode) EngineBridgeLifetime.ReleaseAll();
        }
    }
}
#endif
