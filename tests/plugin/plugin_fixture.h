#pragma once
// Loads the built plug-in through the engine host, with the simulated runtime reset, and gives
// the tests its exports and what its log wrote.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "capture.h"
#include "engine_host.h"
#include "plugin/session.h"  // RenderTextureDesc, the record GetRenderTextureFormat returns
#include "zerin_sim_control.h"

namespace ZerinTest {

// Resolves one export of the loaded plug-in into `target`; a missing export fails the test.
template <class Function>
bool bindExport(const ZerinSim::EngineHost& host, const char* name, Function& target) {
  target = host.function<Function>(name);
  EXPECT_NE(target, nullptr) << name << " is not exported";
  return target != nullptr;
}

using Zerin::RenderTextureDesc;

// The plug-in's exports, looked up by name as the scripts bind them.
struct PluginExports {
  void (*SetDebugLog)(void (*)(const char*));
  bool (*InitSession)();
  bool (*InitSessionWithLayerId)(int64_t);
  void (*EndSession)();
  bool (*IsSessionNull)();
  void* (*GetSession)();
  bool (*IsZerinSystemInstalled)();
  int64_t (*GetError)();
  const char* (*GetErrorMessage)(int32_t);
  int64_t (*GetSessionStartError)();
  const char* (*GetRuntimeVersion)();
  const char* (*GetPluginVersion)();
  void (*SetSessionVisible)(bool);
  void (*SetSessionTransparent)(bool);
  void (*SendHeartBeat)(int64_t);
  void (*ResetPose)(bool, int32_t);
  void (*SetConfig)(const char*, const char*);
  char* (*GetConfig)(const char*);
  RenderTextureDesc (*GetRenderTextureFormat)(int32_t);
  void (*GetEulerAngles)(double, double, double, double, double*);

  // False (with a test failure) when one is missing.
  bool bind(const ZerinSim::EngineHost& host);
};

// Messages the script log callback received, in order.
std::vector<std::string> callbackMessages();
void clearCallbackMessages();
void recordCallbackMessage(const char* message);
// Called with each message the callback receives, after it is recorded (null: none).
void setCallbackObserver(void (*observer)(const std::string& message));

// What one pluginLog message gives on the debugger output: prefix, message, newline.
std::vector<std::string> debuggerChunksFor(const std::vector<std::string>& messages);
// What the messages give on standard error: each prefixed, nothing between them.
std::string stderrTextFor(const std::vector<std::string>& messages);
// Standard error as the test read it: on Windows the stream turns "\n" into CR LF.
std::string normaliseNewlines(std::string text);

class PluginTest : public ::testing::Test {
 protected:
  // Each test may choose what the engine offers before the plug-in is loaded.
  virtual ZerinSim::EngineOptions engineOptions() const { return {}; }

  void SetUp() override;
  void TearDown() override;

  // Loads the plug-in with the log callback installed first; clears the captures after.
  void loadPlugin();
  void clearLogs();

  std::unique_ptr<ZerinSim::EngineHost> host;
  PluginExports plugin{};
};

}  // namespace ZerinTest
