#pragma once
#include "logging/logger.h"  // ZERIN_PRINTF_FORMAT
#include "zerin/engine_bridge.h"

namespace Zerin {

// Installed by the scripts; receives each message bare (no prefix, no newline).
using DebugLogCallback = ZerinBridgeDebugLogCallback;

// Room for 4095 characters and the terminator; longer messages are cut.
constexpr size_t kPluginLogBufferSize = 4096;
// The system's own text (tests match it): must not be corrected.
constexpr const char* kPluginLogPrefix = "[ZerinPlugin] ";

// Once it returns, the callback it replaced is not running on another thread and is never called
// again; from inside that callback's own call it returns at once.
void setDebugLogCallback(DebugLogCallback callback);

// The plug-in's log: formats into a buffer of its own call (so threads never share one), then
// hands the message to the script callback, the debugger output ("[ZerinPlugin] ", message,
// "\n") and standard error ("[ZerinPlugin] " and the message, without a newline).
void pluginLog(const char* format, ...) ZERIN_PRINTF_FORMAT(1, 2);

}  // namespace Zerin
