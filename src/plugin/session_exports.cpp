// The session exports the scripts call on their own thread.
#include <exception>

#include "core/plugin_log.h"
#include "plugin/session.h"
#include "zerin/engine_bridge.h"

using Zerin::session;

extern "C" bool InitSession(void) { return Zerin::initSession(); }

extern "C" bool InitSessionWithLayerId(int64_t layerId) { return Zerin::initSessionWithLayerId(layerId); }

extern "C" void EndSession(void) {
  try {
    Zerin::endSession();
  } catch (const std::exception& error) {
    // Only a failing lock throws here; it must not unwind into the engine.
    Zerin::pluginLog("EndSession failed: %s", error.what());
  }
}

extern "C" bool IsSessionNull(void) { return session.load() == nullptr; }

extern "C" void* GetSession(void) { return session.load(); }

extern "C" bool IsZerinSystemInstalled(void) { return Zerin::zerin_IsAvailable() != 0; }

extern "C" int64_t GetError(void) {
  const ZerinSession current = session.load();
  return current ? Zerin::zerin_GetError(current) : 1;
}

extern "C" int64_t GetSessionStartError(void) { return Zerin::sessionStartError(); }

extern "C" const char* GetRuntimeVersion(void) { return Zerin::runtimeVersion(); }

extern "C" const char* GetPluginVersion(void) { return Zerin::pluginVersion; }

extern "C" const char* GetErrorMessage(int32_t code) {
  return Zerin::zerin_GetErrorDesc(static_cast<ZerinErrorCode>(code));
}

extern "C" void SetSessionVisible(bool visible) { Zerin::zerin_SetSessionVisible(session.load(), visible ? 1 : 0); }

extern "C" void SetSessionTransparent(bool transparent) {
  Zerin::zerin_SetSessionTransparent(session.load(), transparent ? 1 : 0);
}

extern "C" void SendHeartBeat(int64_t sequence) { Zerin::zerin_SendHeartBeat(session.load(), sequence); }

extern "C" void ResetPose(bool includeHeight, int32_t originKind) {
  Zerin::zerin_ResetPose(session.load(), includeHeight ? 1 : 0, static_cast<int64_t>(originKind));
}

extern "C" void SetConfig(const char* key, const char* value) { Zerin::zerin_SetConfig(session.load(), key, value); }

extern "C" char* GetConfig(const char* key) { return Zerin::getConfig(key); }

extern "C" Zerin::RenderTextureDesc GetRenderTextureFormat(int32_t kind) { return Zerin::renderTextureFormat(kind); }

extern "C" void GetEulerAngles(double x, double y, double z, double w, double* out) {
  Zerin::getEulerAngles(x, y, z, w, out);
}
