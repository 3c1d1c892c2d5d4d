// The page Project Settings > Zerin Simulator, and the setting applied when the editor loads the
// scripts: before any script calls the plug-in, so that it loads the runtime chosen here.
#if UNITY_EDITOR
using System.IO;
using UnityEditor;

namespace Zerin.Simulator.Editor
{
    [InitializeOnLoad]
    static class SimulatorSettingsOnLoad
    {
        static SimulatorSettingsOnLoad()
        {
            SimulatorSettings.Load(SimulatorSettings.SettingsFile)
                .Apply(SimulatorSettings.SimulatorDll, Directory.GetCurrentDirectory());
        }
    }

    sealed class SimulatorSettingsProvider : SettingsProvider
    {
        SimulatorSettings settings;

        SimulatorSettingsProvider() : base("Project/Zerin Simulator", SettingsScope.Project) { }

        [SettingsProvider]
        static SettingsProvider Create()
        {
            return new SimulatorSettingsProvider();
        }

        public override void OnGUI(string searchContext)
        {
            if (settings == null) settings = SimulatorSettings.Load(SimulatorSettings.SettingsFile);
            bool run = EditorGUILayout.Toggle("Run play mode on the headset simulator", settings.RunOnSimulator);
            string configuration = EditorGUILayout.TextField("Configuration file", settings.ConfigurationFile);
            EditorGUILayout.HelpBox(
                "The engine bridge loads its runtime once per editor process: after play mode has run, " +
                "turning this on or off takes effect when the editor restarts. The configuration file is " +
                "relative to the project's folder; empty, the simulator uses its defaults.", MessageType.Info);
            if (run == settings.RunOnSimulator && configuration == settings.ConfigurationFile) return;
            settings.RunOnSimulator = run;
            settings.ConfigurationFile = configuration;
            settings.Save(SimulatorSettings.SettingsFile);
            settings.Apply(SimulatorSettings.SimulatorDll, Directory.GetCurrentDirectory());
        }
    }
}
#endif
