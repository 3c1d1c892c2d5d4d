#pragma once
// Loads the built plug-in through the engine host, with the simulated runtime reset, and gives
// the tests its exports and what its log wrote.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "capture.h"
#include "engine_host.h"
#include "zerin_sim_control.h"

namespace ZerinTest {

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
  // The loaded plug-in's exports, as the scripts bind them.
  ZerinSim::BridgeExports plugin{};
};

}  // namespace ZerinTest
