// The plug-in where the compositor runtime's library cannot serve it: absent from every folder
// the system searches, or (ZERIN_LACKING_FUNCTION) present without a function the plug-in calls.
// The program runs from a folder of its own with a copy of the plug-in; it does not link the
// runtime, so nothing else brings the library in.
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

template <class Function>
Function bind(const ZerinSim::EngineHost& host, const char* name) {
  const auto function = host.function<Function>(name);
  EXPECT_NE(function, nullptr) << name;
  return function;
}
#define ZERIN_EXPORT(host, name, type) bind<type>(host, #name)

TEST(RuntimeMissing, CallsGetTheirNoSessionAnswersAndEachStartOneLineSayingWhy) {
  std::mutex linesLock;  // guards lines: the plug-in logs on the render thread too
  std::vector<std::string> lines;
  ZerinSim::PluginLogRoute route([&](const char* line) {
    std::lock_guard<std::mutex> lock(linesLock);
    lines.emplace_back(line);
  }, "");
  ZerinSim::EngineHost host;
  ASSERT_TRUE(host.openLibrary()) << host.error();
  ASSERT_TRUE(route.install(host));
  ASSERT_TRUE(host.callPluginLoad());
  ASSERT_TRUE(host.startRendering());
  const auto takeLines = [&] {
    host.renderThread().waitUntilIdle();
    std::lock_guard<std::mutex> lock(linesLock);
    return std::exchange(lines, {});
  };
  takeLines();

  EXPECT_FALSE(ZERIN_EXPORT(host, IsZerinSystemInstalled, bool (*)())());
  EXPECT_FALSE(ZERIN_EXPORT(host, InitSession, bool (*)())());
  EXPECT_EQ(takeLines(), std::vector<std::string>{kReason});
  EXPECT_FALSE(ZERIN_EXPORT(host, InitSessionWithLayerId, bool (*)(int64_t))(7));
  EXPECT_EQ(takeLines(), std::vector<std::string>{kReason});

  EXPECT_TRUE(ZERIN_EXPORT(host, IsSessionNull, bool (*)())());
  EXPECT_EQ(ZERIN_EXPORT(host, GetError, int64_t (*)())(), 1);
  EXPECT_EQ(ZERIN_EXPORT(host, GetErrorMessage, const char* (*)(int32_t))(1), kReason);
  ZERIN_EXPORT(host, SetSessionVisible, void (*)(bool))(true);
  ZERIN_EXPORT(host, SetConfig, void (*)(const char*, const char*))("key", "value");
  EXPECT_EQ(ZERIN_EXPORT(host, GetConfig, char* (*)(const char*))("key"), nullptr);
  double angles[3] = {5, 5, 5};
  ZERIN_EXPORT(host, GetEulerAngles, void (*)(double, double, double, double, double*))(0, 0, 0, 1, angles);
  EXPECT_EQ(angles[0], 5);
  int64_t type = -1;
  EXPECT_FALSE(ZERIN_EXPORT(host, PollEvent, bool (*)(int64_t*))(&type));
  EXPECT_FALSE(ZERIN_EXPORT(host, GetButtonEvent, bool (*)(int64_t, int64_t))(1, 1));
  EXPECT_FALSE(ZERIN_EXPORT(host, InitGaze, bool (*)())()) << "the refused call leaves an error";
  EXPECT_FALSE(ZERIN_EXPORT(host, MRIsAvailable, bool (*)())());
  EXPECT_FALSE(ZERIN_EXPORT(host, MRSupportsDataStream, bool (*)(int64_t))(1));
  for (const int32_t event : {13, 20, 10, 11, 14}) host.renderThread().issuePluginEvent(event);
  ZERIN_EXPORT(host, SyncRenderThread, void (*)())();
  ZERIN_EXPORT(host, EndSession, void (*)())();
  EXPECT_EQ(takeLines(), (std::vector<std::string>{"Shutdown session", "EndSession done."}));
  host.unload();
}

}  // namespace
