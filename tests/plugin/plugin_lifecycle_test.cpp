// Loading, device events and unloading, as the engine drives them through the host.
#include "plugin_fixture.h"

namespace {

using ZerinTest::callbackMessages;
using ZerinTest::debuggerChunksFor;
using ZerinTest::normaliseNewlines;
using ZerinTest::stderrTextFor;

const std::string kGoodbye =
    "Cleanup done. Final message before cleaning up log pointer.\n"
    "This conversation can serve no purpose any more. Goodbye.";

bool sameGuid(const UnityInterfaceGUID& a, uint64_t high, uint64_t low) { return a.high == high && a.low == low; }

class PluginLifecycle : public ZerinTest::PluginTest {
 protected:
  // Loads with every sink captured from the first line on.
  void loadCapturing(std::string& stderrText) {
    ASSERT_TRUE(host->openLibrary()) << host->error();
    plugin = host->exports();
    plugin.SetDebugLog(&ZerinTest::recordCallbackMessage);
    ZerinTest::clearCaptures();
    ZerinTest::StderrCapture capture;
    ASSERT_TRUE(host->callPluginLoad()) << host->error();
    stderrText = normaliseNewlines(capture.finish());
  }

  void expectOnAllSinks(const std::vector<std::string>& lines, const std::string& stderrText) {
    EXPECT_EQ(callbackMessages(), lines);
    EXPECT_EQ(ZerinTest::debugOutput(), debuggerChunksFor(lines));
    EXPECT_EQ(stderrText, stderrTextFor(lines));
  }
};

TEST_F(PluginLifecycle, LoadWithD3D11RegistersForDeviceEventsAndRunsTheInitialiseHandling) {
  std::string stderrText;
  loadCapturing(stderrText);
  expectOnAllSinks({"GraphicsEvent received: 0", "Initialize d3d11"}, stderrText);

  EXPECT_EQ(host->registeredCallbackCount(), 1u);
  EXPECT_EQ(host->rendererQueries(), 1);
  const auto queries = host->interfaceQueries();
  ASSERT_EQ(queries.size(), 2u);
  EXPECT_TRUE(sameGuid(queries[0], 0x7CBA0A9CA4DDB544ULL, 0x8C5AD4926EB17B11ULL));
  EXPECT_TRUE(sameGuid(queries[1], 0xAAB37EF87A87D748ULL, 0xBF76967F07EFB177ULL));
}

class PluginWithoutD3D11 : public PluginLifecycle {
 protected:
  ZerinSim::EngineOptions engineOptions() const override {
    ZerinSim::EngineOptions options;
    options.offerD3D11 = false;
    return options;
  }
};

TEST_F(PluginWithoutD3D11, LoadLogsTheMissingInterfaceAfterTheInitialiseLines) {
  std::string stderrText;
  loadCapturing(stderrText);
  expectOnAllSinks({"GraphicsEvent received: 0", "Initialize d3d11", "Failed to get Unity graphics D3D11."},
                   stderrText);
  EXPECT_EQ(host->registeredCallbackCount(), 1u);
}

TEST_F(PluginWithoutD3D11, EveryDeviceInitialiseReportsTheMissingInterfaceOnce) {
  loadPlugin();
  host->sendDeviceEvent(kUnityGfxDeviceEventInitialize);
  EXPECT_EQ(callbackMessages(), (std::vector<std::string>{"GraphicsEvent received: 0", "Initialize d3d11",
                                                          "Failed to get Unity graphics D3D11."}));
}

class PluginWithoutGraphics : public PluginLifecycle {
 protected:
  ZerinSim::EngineOptions engineOptions() const override {
    ZerinSim::EngineOptions options;
    options.offerGraphics = false;
    return options;
  }
};

TEST_F(PluginWithoutGraphics, LoadsAndUnloadsWithoutRegisteringAndStillFindsD3D11) {
  std::string stderrText;
  loadCapturing(stderrText);
  expectOnAllSinks({"Failed to get Unity graphics.", "GraphicsEvent received: 0", "Initialize d3d11"}, stderrText);
  EXPECT_EQ(host->registeredCallbackCount(), 0u);
  EXPECT_EQ(host->rendererQueries(), 0);
  ZerinTest::clearCallbackMessages();
  host->unload();
  EXPECT_EQ(callbackMessages(), (std::vector<std::string>{"GraphicsEvent received: 1", kGoodbye}));
}

TEST_F(PluginLifecycle, DeviceEventsTwoAndThreeGiveOneLineEach) {
  loadPlugin();
  ZerinTest::StderrCapture capture;
  host->sendDeviceEvent(kUnityGfxDeviceEventBeforeReset);
  host->sendDeviceEvent(kUnityGfxDeviceEventAfterReset);
  host->sendDeviceEvent(static_cast<UnityGfxDeviceEventType>(7));
  expectOnAllSinks({"GraphicsEvent received: 2", "GraphicsEvent received: 3", "GraphicsEvent received: 7"},
                   normaliseNewlines(capture.finish()));
  EXPECT_EQ(host->rendererQueries(), 1) << "only the initialise event asks for the renderer";
  EXPECT_EQ(host->interfaceQueries().size(), 2u);
}

TEST_F(PluginLifecycle, ARepeatedInitialiseFetchesTheD3D11InterfaceAnew) {
  loadPlugin();
  host->sendDeviceEvent(kUnityGfxDeviceEventShutdown);
  host->sendDeviceEvent(kUnityGfxDeviceEventInitialize);
  EXPECT_EQ(callbackMessages(), (std::vector<std::string>{"GraphicsEvent received: 1", kGoodbye,
                                                          "GraphicsEvent received: 0", "Initialize d3d11"}));
  EXPECT_EQ(host->rendererQueries(), 2);
  const auto queries = host->interfaceQueries();
  ASSERT_EQ(queries.size(), 3u);
  EXPECT_TRUE(sameGuid(queries[2], 0xAAB37EF87A87D748ULL, 0xBF76967F07EFB177ULL));
}

TEST_F(PluginLifecycle, UnloadUnregistersThenLogsTheShutdownEventAndTheGoodbye) {
  loadPlugin();
  ZerinTest::StderrCapture capture;
  host->unload();
  expectOnAllSinks({"GraphicsEvent received: 1", kGoodbye}, normaliseNewlines(capture.finish()));
  EXPECT_EQ(host->registeredCallbackCount(), 0u);
  EXPECT_TRUE(ZerinSim::calls().empty()) << "unloading touches no runtime object";
}

TEST_F(PluginLifecycle, UnloadLeavesAnOpenSessionToTheRuntime) {
  loadPlugin();
  ASSERT_TRUE(plugin.InitSession());
  host->unload();
  EXPECT_EQ(zerinsim_LiveObjectCount("session"), 1);
  EXPECT_TRUE(ZerinSim::callsTo("zerin_SessionShutDown").empty());
}

TEST_F(PluginLifecycle, WithoutACallbackMessagesStillReachTheDebuggerAndStandardError) {
  loadPlugin();
  plugin.SetDebugLog(nullptr);
  ZerinTest::StderrCapture capture;
  host->sendDeviceEvent(kUnityGfxDeviceEventAfterReset);
  EXPECT_TRUE(callbackMessages().empty());
  EXPECT_EQ(ZerinTest::debugOutput(), debuggerChunksFor({"GraphicsEvent received: 3"}));
  EXPECT_EQ(normaliseNewlines(capture.finish()), "[ZerinPlugin] GraphicsEvent received: 3");
}

}  // namespace
