#include "core/plugin_log.h"

#include <cstdarg>
#include <cstdio>

#include "logging/revocable_callback.h"
#include "platform/debug_output.h"

namespace Zerin {

namespace {

// Set by the scripting thread, called by every thread that logs.
RevocableCallback<DebugLogCallback> debugLogCallback;

}  // namespace

void setDebugLogCallback(DebugLogCallback callback) { debugLogCallback.replace(callback); }

void pluginLog(const char* format, ...) {
  char message[kPluginLogBufferSize];
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(message, sizeof message, format, args);
  va_end(args);
  if (length < 0) message[0] = '\0';

  debugLogCallback.call(message);

  platform::writeDebugOutput(kPluginLogPrefix);
  platform::writeDebugOutput(message);
  platform::writeDebugOutput("\n");

  // One call, so that the stream keeps prefix and message of one thread together.
  std::fprintf(stderr, "%s%s", kPluginLogPrefix, message);
}

}  // namespace Zerin
