#include "plugin/plugin_log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

#include "platform/debug_output.h"

namespace Zerin {

namespace {

// Set by the scripting thread, read by every thread that logs.
std::atomic<DebugLogCallback> debugLogCallback{nullptr};

}  // namespace

void setDebugLogCallback(DebugLogCallback callback) { debugLogCallback.store(callback); }

void pluginLog(const char* format, ...) {
  char message[kPluginLogBufferSize];
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(message, sizeof message, format, args);
  va_end(args);
  if (length < 0) message[0] = '\0';

  if (DebugLogCallback callback = debugLogCallback.load()) callback(message);

  platform::writeDebugOutput(kPluginLogPrefix);
  platform::writeDebugOutput(message);
  platform::writeDebugOutput("\n");

  // One call, so that the stream keeps prefix and message of one thread together.
  std::fprintf(stderr, "%s%s", kPluginLogPrefix, message);
}

}  // namespace Zerin
