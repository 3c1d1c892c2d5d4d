// The project's choice to run play mode on the headset simulator, kept in ProjectSettings/ so that
// it travels with the project, and the environment it gives the plug-in. No editor types here:
// the tests run it outside the editor.
using System;
using System.IO;

namespace Zerin.Simulator.Editor
{
    /// <summary>The package's project setting: whether play mode runs on the headset simulator,
    /// and the simulator's configuration file.</summary>
    public sealed class SimulatorSettings
    {
        /// <summary>Where the setting lives, relative to the project's folder.</summary>
        public const string SettingsFile = "ProjectSettings/ZerinSimulatorSettings.txt";

        /// <summary>The simulator's DLL in this package, as the editor names package files.</summary>
        public const string SimulatorDll = "Packages/com.zerin.enginebridge.simulator/Plugins/x86_64/ZerinSimulator.dll";

        /// <summary>Run play mode on the headset simulator instead of the headset's runtime.</summary>
        public bool RunOnSimulator;

        /// <summary>The simulator's JSON configuration, relative to the project's folder or
        /// absolute; empty for none (the simulator then looks beside the editor's executable, or
        /// uses its defaults).</summary>
        public string ConfigurationFile = "";

        /// <summary>The setting saved in <paramref name="path"/>; off when there is none. Lines
        /// are "key: value"; unknown keys are skipped.</summary>
        public static SimulatorSettings Load(string path)
        {
            var settings = new SimulatorSettings();
            if (!File.Exists(path)) return settings;
            foreach (string line in File.ReadAllLines(path))
            {
                int colon = line.IndexOf(':');
                if (colon < 0) continue;
                string key = line.Substring(0, colon).Trim(), value = line.Substring(colon + 1).Trim();
                if (key == "runPlayModeOnSimulator") settings.RunOnSimulator = value == "true";
                else if (key == "configurationFile") settings.ConfigurationFile = value;
            }
            return settings;
        }

        /// <summary>Writes the setting to <paramref name="path"/>.</summary>
        public void Save(string path)
        {
            File.WriteAllText(path, "runPlayModeOnSimulator: " + (RunOnSimulator ? "true" : "false") + "\n" +
                                    "configurationFile: " + (ConfigurationFile ?? "") + "\n");
        }

        /// <summary>Sets what the plug-in and the simulator read when they load: ZERIN_RUNTIME to
        /// <paramref name="simulatorDll"/>'s full path and ZERIN_SIMULATOR_CONFIG to the
        /// configuration's full path (<paramref name="projectFolder"/> for relative ones). Off, it
        /// clears them where they hold what it would set, and leaves values of anyone else alone.
        /// The plug-in loads its runtime once per process: a change takes effect in an editor
        /// that has not loaded one yet, else after a restart.</summary>
        public void Apply(string simulatorDll, string projectFolder)
        {
            string runtime = Path.GetFullPath(simulatorDll);
            string configuration = string.IsNullOrEmpty(ConfigurationFile)
                                       ? null
                                       : Path.GetFullPath(Path.Combine(projectFolder, ConfigurationFile));
            if (RunOnSimulator)
            {
                Environment.SetEnvironmentVariable("ZERIN_RUNTIME", runtime);
                if (configuration != null) Environment.SetEnvironmentVariable("ZERIN_SIMULATOR_CONFIG", configuration);
                return;
            }
            if (Environment.GetEnvironmentVariable("ZERIN_RUNTIME") == runtime)
                Environment.SetEnvironmentVariable("ZERIN_RUNTIME", null);
            if (configuration != null && Environment.GetEnvironmentVariable("ZERIN_SIMULATOR_CONFIG") == configuration)
                Environment.SetEnvironmentVariable("ZERIN_SIMULATOR_CONFIG", null);
        }
    }
}
