#pragma once
// How a program that hosts the plug-in keeps the plug-in's log readable and out of its own
// output: each message reaches a sink whole, through the plug-in's log callback (SetDebugLog),
// and the process's standard error, where the plug-in also writes every message without a line
// end, goes to a file meanwhile.
//
//   ZerinSim::PluginLogRoute route(nullptr, "bench_render-stderr.txt");  // drop the messages
//   host.openLibrary();
//   route.install(host);  // before UnityPluginLoad, so the first messages arrive too
#include <functional>
#include <string>

#include "engine_host.h"
#include "standard_error_file.h"

namespace ZerinSim {

class PluginLogRoute {
 public:
  // Called once per message (which may hold line breaks), on the thread that logs. Calls are
  // serialised; the sink must not make the plug-in log.
  using Sink = std::function<void(const char* message)>;

  // Standard error goes to `standardErrorPath` (empty: the null device) until the route ends.
  // One route at a time: the callback has no context to tell routes apart.
  PluginLogRoute(Sink sink, const std::string& standardErrorPath);
  ~PluginLogRoute();
  PluginLogRoute(const PluginLogRoute&) = delete;
  PluginLogRoute& operator=(const PluginLogRoute&) = delete;

  // Installs the callback in the host's opened plug-in; false when it does not export
  // SetDebugLog. Messages logged after the route has ended are dropped, so the plug-in may
  // outlive it.
  bool install(const EngineHost& host);
  bool standardErrorMoved() const { return standardError.active(); }

 private:
  static void onMessage(const char* message);

  Sink sink;
  StandardErrorFile standardError;
};

}  // namespace ZerinSim
