using System;
using System.IO;
using NUnit.Framework;
using Zerin.Simulator.Editor;

namespace Zerin.Simulator.Tests
{
    /// <summary>The project setting and the environment it gives the plug-in.</summary>
    [TestFixture, Category("SimulatorSettings")]
    public class SimulatorSettingsTests
    {
        string folder;
        string runtimeBefore, configurationBefore;

        [SetUp]
        public void MakeProject()
        {
            folder = Path.Combine(Path.GetTempPath(), "zerin-settings-" + Guid.NewGuid().ToString("N"));
            Directory.CreateDirectory(Path.Combine(folder, "ProjectSettings"));
            runtimeBefore = Environment.GetEnvironmentVariable("ZERIN_RUNTIME");
            configurationBefore = Environment.GetEnvironmentVariable("ZERIN_SIMULATOR_CONFIG");
        }

        [TearDown]
        public void RemoveProject()
        {
            Environment.SetEnvironmentVariable("ZERIN_RUNTIME", runtimeBefore);
            Environment.SetEnvironmentVariable("ZERIN_SIMULATOR_CONFIG", configurationBefore);
            Directory.Delete(folder, true);
        }

        [Test]
        public void SavedSettingsLoadAgainAndNoFileMeansOff()
        {
            string path = Path.Combine(folder, SimulatorSettings.SettingsFile);
            Assert.IsFalse(SimulatorSettings.Load(path).RunOnSimulator);
            new SimulatorSettings { RunOnSimulator = true, ConfigurationFile = "Assets/Run: one.json" }.Save(path);
            SimulatorSettings loaded = SimulatorSettings.Load(path);
            Assert.IsTrue(loaded.RunOnSimulator);
            Assert.AreEqual("Assets/Run: one.json", loaded.ConfigurationFile, "a colon in the value is kept");
        }

        [Test]
        public void OnSetsBothFullPathsAndOffClearsOnlyItsOwn()
        {
            string dll = Path.Combine(folder, "Plugins", "ZerinSimulator.dll");
            var settings = new SimulatorSettings { RunOnSimulator = true, ConfigurationFile = "Assets/ci.json" };
            settings.Apply(dll, folder);
            Assert.AreEqual(dll, Environment.GetEnvironmentVariable("ZERIN_RUNTIME"));
            Assert.AreEqual(Path.Combine(folder, "Assets", "ci.json"), Environment.GetEnvironmentVariable("ZERIN_SIMULATOR_CONFIG"));

            settings.RunOnSimulator = false;
            settings.Apply(dll, folder);
            Assert.IsNull(Environment.GetEnvironmentVariable("ZERIN_RUNTIME"));
            Assert.IsNull(Environment.GetEnvironmentVariable("ZERIN_SIMULATOR_CONFIG"));

            Environment.SetEnvironmentVariable("ZERIN_RUNTIME", "/elsewhere/MyRuntime.dll");
            settings.Apply(dll, folder);
            Assert.AreEqual("/elsewhere/MyRuntime.dll", Environment.GetEnvironmentVariable("ZERIN_RUNTIME"),
                            "a runtime chosen outside the editor stays");
        }
    }
}
