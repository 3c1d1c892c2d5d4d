// Entry points the engine calls, and the scripts' log callback.
#include "platform/export.h"
#include "plugin/plugin_lifecycle.h"
#include "plugin/plugin_log.h"

ZERIN_C_EXPORT void UnityPluginLoad(IUnityInterfaces* interfaces) { Zerin::unityPluginLoad(interfaces); }

ZERIN_C_EXPORT void UnityPluginUnload(void) { Zerin::unityPluginUnload(); }

ZERIN_C_EXPORT void SetDebugLog(Zerin::DebugLogCallback callback) { Zerin::setDebugLogCallback(callback); }
