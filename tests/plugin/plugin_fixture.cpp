#include "plugin_fixture.h"

#include <mutex>

namespace ZerinTest {

namespace {

std::mutex messagesMutex;  // guards messages and observer; the plug-in logs from any thread
std::vector<std::string> messages;
void (*observer)(const std::string&) = nullptr;

}  // namespace

std::vector<std::string> callbackMessages() {
  std::lock_guard<std::mutex> lock(messagesMutex);
  return messages;
}

void clearCallbackMessages() {
  std::lock_guard<std::mutex> lock(messagesMutex);
  messages.clear();
}

void recordCallbackMessage(const char* message) {
  void (*notify)(const std::string&) = nullptr;
  {
    std::lock_guard<std::mutex> lock(messagesMutex);
    messages.emplace_back(message);
    notify = observer;
  }
  if (notify) notify(message);
}

void setCallbackObserver(void (*callback)(const std::string&)) {
  std::lock_guard<std::mutex> lock(messagesMutex);
  observer = callback;
}

std::vector<std::string> debuggerChunksFor(const std::vector<std::string>& list) {
  std::vector<std::string> chunks;
  for (const auto& message : list) {
    chunks.push_back("[ZerinPlugin] ");
    chunks.push_back(message);
    chunks.push_back("\n");
  }
  return chunks;
}

std::string stderrTextFor(const std::vector<std::string>& list) {
  std::string text;
  for (const auto& message : list) text += "[ZerinPlugin] " + message;
  return text;
}

std::string normaliseNewlines(std::string text) {
#if defined(_WIN32)
  for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) text.erase(at, 1);
#endif
  return text;
}

void PluginTest::SetUp() {
  zerinsim_Reset();
  clearCallbackMessages();
  setCallbackObserver(nullptr);
  host = std::make_unique<ZerinSim::EngineHost>(engineOptions());
}

void PluginTest::TearDown() {
  if (host && host->libraryOpen() && plugin.SetDebugLog) plugin.SetDebugLog(nullptr);
  setCallbackObserver(nullptr);
  host.reset();
}

void PluginTest::loadPlugin() {
  ASSERT_TRUE(host->openLibrary()) << host->error();
  plugin = host->exports();
  plugin.SetDebugLog(&recordCallbackMessage);
  ASSERT_TRUE(host->callPluginLoad()) << host->error();
  clearLogs();
}

void PluginTest::clearLogs() {
  clearCallbackMessages();
  clearCaptures();
  zerinsim_ClearCalls();
}

}  // namespace ZerinTest
