// Entry points the engine calls, and the scripts' log callbacks.
#include "core/plugin_log.h"
#include "ipc/client/program_manager_exports.h"
#include "logging/logger.h"
#include "plugin/plugin_lifecycle.h"
#include "zerin/engine_bridge.h"

extern "C" void UnityPluginLoad(IUnityInterfaces* interfaces) { Zerin::unityPluginLoad(interfaces); }

// The engine unloads the library next: no program manager call may still be inside it.
extern "C" void UnityPluginUnload(void) {
  Zerin::unityPluginUnload();
  Zerin::endProgramManagerCalls();
}

extern "C" void SetDebugLog(Zerin::DebugLogCallback callback) { Zerin::setDebugLogCallback(callback); }

// Beside SetDebugLog, which keeps receiving the plug-in log only: the shared logger's lines
// (program manager client and pipe), with level and tag.
extern "C" void SetLogLineCallback(Zerin::LogLineCallback callback) { Zerin::setLogLineCallback(callback); }
