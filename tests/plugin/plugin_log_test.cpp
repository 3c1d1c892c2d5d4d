// The plug-in log through the exports: long messages and threads logging at once.
#include <atomic>
#include <chrono>
#include <map>
#include <set>
#include <thread>

#include "plugin_fixture.h"
#include "zerin_version.h"

namespace {

using namespace std::chrono_literals;

using ZerinTest::callbackMessages;

class PluginLog : public ZerinTest::PluginTest {};

std::atomic<bool> lineInCallback{false}, lineDone{false};

void sleepOnTheFirstLine(const char*) {
  if (lineInCallback.exchange(true)) return;
  std::this_thread::sleep_for(200ms);
  lineDone = true;
}

TEST_F(PluginLog, SetDebugLogReturnsOnlyOnceALineInTheOldCallbackOnAnotherThreadIsDone) {
  loadPlugin();
  zerinsim_SetVersion("another version");
  plugin.SetDebugLog(&sleepOnTheFirstLine);
  std::thread logging([this] { plugin.InitSession(); });
  while (!lineInCallback) std::this_thread::yield();
  plugin.SetDebugLog(nullptr);
  EXPECT_TRUE(lineDone) << "returned while the callback still ran";
  logging.join();
}

TEST_F(PluginLog, AMessageOf5000CharactersIsCutTo4095OnEverySink) {
  loadPlugin();
  // "Lib version: " is 13 characters: the runtime's text makes the message 5000 long.
  const std::string version(5000 - 13, 'v');
  zerinsim_SetVersion(version.c_str());
  ZerinTest::StderrCapture capture;
  EXPECT_FALSE(plugin.InitSession());
  const std::string stderrText = capture.finish();

  const std::string cut = ("Lib version: " + version).substr(0, 4095);
  const auto messages = callbackMessages();
  ASSERT_EQ(messages.size(), 4u);
  EXPECT_EQ(messages[1].size(), 4095u);
  EXPECT_EQ(messages[1], cut);
  const auto chunks = ZerinTest::debugOutput();
  ASSERT_EQ(chunks.size(), 12u);
  EXPECT_EQ(chunks[4], cut.substr(0, ZerinTest::kDebuggerTextLimit)) << "a debugger receives at most this much";
  EXPECT_NE(stderrText.find("[ZerinPlugin] " + cut + "[ZerinPlugin] Plugin version: "), std::string::npos);
}

TEST_F(PluginLog, AMessageOf4095CharactersArrivesWhole) {
  loadPlugin();
  const std::string version(4095 - 13, 'w');
  zerinsim_SetVersion(version.c_str());
  EXPECT_FALSE(plugin.InitSession());
  const auto messages = callbackMessages();
  ASSERT_EQ(messages.size(), 4u);
  EXPECT_EQ(messages[1], "Lib version: " + version);
}

// Splits what standard error received into messages by their prefix.
std::vector<std::string> splitByPrefix(const std::string& text) {
  const std::string prefix = "[ZerinPlugin] ";
  std::vector<std::string> pieces;
  size_t at = text.find(prefix);
  EXPECT_EQ(at, 0u) << "standard error starts with something else";
  while (at != std::string::npos) {
    const size_t next = text.find(prefix, at + prefix.size());
    pieces.push_back(text.substr(at + prefix.size(), next == std::string::npos ? std::string::npos
                                                                                 : next - at - prefix.size()));
    at = next;
  }
  return pieces;
}

TEST_F(PluginLog, TwoThreadsLoggingAtOnceNeverMixTheirTexts) {
  loadPlugin();
  // One thread logs long session lines, the other device-event lines, as the scripting thread
  // and the engine's device thread would.
  const std::string version(3000, 'a');
  zerinsim_SetVersion(version.c_str());
  constexpr int kRounds = 150;
  const std::map<std::string, int> expected = {
      {"Initialize a new session", kRounds},
      {"Lib version: " + version, kRounds},
      {std::string("Plugin version: ") + ZERIN_RUNTIME_VERSION, kRounds},
      {"ZerinLib version mismatch.", kRounds},
      {"GraphicsEvent received: 2", kRounds * 4},
  };

  ZerinTest::StderrCapture capture;
  std::thread sessions([&] {
    for (int i = 0; i < kRounds; ++i) plugin.InitSession();
  });
  std::thread deviceEvents([&] {
    for (int i = 0; i < kRounds * 4; ++i) host->sendDeviceEvent(kUnityGfxDeviceEventBeforeReset);
  });
  sessions.join();
  deviceEvents.join();
  const std::string stderrText = capture.finish();

  std::map<std::string, int> fromCallback;
  for (const auto& message : callbackMessages()) ++fromCallback[message];
  EXPECT_EQ(fromCallback, expected);

  std::map<std::string, int> fromStderr;
  for (const auto& message : splitByPrefix(stderrText)) ++fromStderr[message];
  EXPECT_EQ(fromStderr, expected);

  // The debugger output gets three pieces per message; each piece stays whole.
  std::map<std::string, int> fromDebugger;
  int prefixes = 0, newlines = 0;
  for (const auto& chunk : ZerinTest::debugOutput()) {
    if (chunk == "[ZerinPlugin] ") ++prefixes;
    else if (chunk == "\n") ++newlines;
    else ++fromDebugger[chunk];
  }
  EXPECT_EQ(fromDebugger, expected);
  EXPECT_EQ(prefixes, kRounds * 8);
  EXPECT_EQ(newlines, kRounds * 8);
}

}  // namespace
