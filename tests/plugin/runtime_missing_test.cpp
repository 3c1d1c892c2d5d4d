// The plug-in where the runtime's library cannot serve it: absent from every folder the system
// searches, or (ZERIN_LACKING_FUNCTION) lacking a function the plug-in calls. This program runs
// from a folder of its own beside a copy of the plug-in and does not link the runtime.
#include <gtest/gtest.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "engine_host.h"
#include "logging/utilities.h"
#include "plugin_log_route.h"

namespace {

#if defined(ZERIN_LACKING_FUNCTION)
const std::string kReason = "ZerinLib refused: " ZERIN_RUNTIME_FILE " has no function " ZERIN_LACKING_FUNCTION;
#elif defined(_WIN32)
const std::string kReason =
    "ZerinLib not loaded: looked for ZerinLib.dll in the application's folder, the system folders, the current "
    "folder and PATH: " + Zerin::windowsErrorText(126);  // ERROR_MOD_NOT_FOUND
#else
const std::string kReason =
    "ZerinLib not loaded: looked for libZerinLib.so in the dynamic linker's search path (LD_LIBRARY_PATH, the "
    "system's library folders) and beside the plug-in: libZerinLib.so: cannot open shared object file: No such "
    "file or directory";
#endif

TEST(RuntimeMissing, CallsGetTheirNoSessionAnswersAndEachStartOneLineSayingWhy) {
  std::mutex linesLock;  // guards lines: the plug-in logs on the render thread too
  std::vector<std::string> lines;
  ZerinSim::PluginLogRoute route([&](const char* line) {
    std::lock_guard<std::mutex> lock(linesLock);
    lines.emplace_back(line);
  }, "");
  ZerinSim::EngineHost host;
  ASSERT_TRUE(host.openLibrary()) << host.error();
  ASSERT_TRUE(route.install(host) && host.callPluginLoad() && host.startRendering());
  const auto takeLines = [&] {
    host.renderThread().waitUntilIdle();
    std::lock_guard<std::mutex> lock(linesLock);
    return std::exchange(lines, {});
  };
  takeLines();

  EXPECT_FALSE(host.exports().IsZerinSystemInstalled());
  EXPECT_FALSE(host.exports().InitSession());
  EXPECT_EQ(takeLines(), std::vector<std::string>{kReason});
  EXPECT_FALSE(host.exports().InitSessionWithLayerId(7));
  EXPECT_EQ(takeLines(), std::vector<std::string>{kReason});
  EXPECT_TRUE(host.exports().IsSessionNull());
  EXPECT_EQ(host.exports().GetError(), 1);
  EXPECT_EQ(host.exports().GetSessionStartError(), 0);
  EXPECT_EQ(host.exports().GetRuntimeVersion(), nullptr);
  EXPECT_STREQ(host.exports().GetErrorMessage(-5), kReason.c_str());
  EXPECT_EQ(host.exports().GetConfig("key"), nullptr);
  int64_t type = -1;
  EXPECT_FALSE(host.exports().PollEvent(&type));
  EXPECT_FALSE(host.exports().InitGaze()) << "a refused call leaves an error";
  EXPECT_FALSE(host.exports().MRIsAvailable());
  for (const int32_t event : {13, 20, 10, 11, 14}) host.renderThread().issuePluginEvent(event);
  host.exports().SyncRenderThread();
  host.exports().EndSession();
  EXPECT_EQ(takeLines(), (std::vector<std::string>{"Shutdown session", "EndSession done."}));
  host.unload();
}

}  // namespace
