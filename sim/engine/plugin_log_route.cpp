#include "plugin_log_route.h"

#include <mutex>

namespace ZerinSim {

namespace {

std::mutex routeLock;  // guards currentRoute and serialises the sink's calls
PluginLogRoute* currentRoute = nullptr;

}  // namespace

PluginLogRoute::PluginLogRoute(Sink messageSink, const std::string& standardErrorPath)
    : sink(std::move(messageSink)), standardError(standardErrorPath) {
  std::lock_guard<std::mutex> lock(routeLock);
  currentRoute = this;
}

PluginLogRoute::~PluginLogRoute() {
  std::lock_guard<std::mutex> lock(routeLock);
  if (currentRoute == this) currentRoute = nullptr;
}

bool PluginLogRoute::install(const EngineHost& host) {
  if (!host.exports().SetDebugLog) return false;
  host.exports().SetDebugLog(&PluginLogRoute::onMessage);
  return true;
}

void PluginLogRoute::onMessage(const char* message) {
  std::lock_guard<std::mutex> lock(routeLock);
  if (currentRoute && currentRoute->sink && message) currentRoute->sink(message);
}

}  // namespace ZerinSim
