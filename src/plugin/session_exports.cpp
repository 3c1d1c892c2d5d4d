// The session exports the scripts call on their own thread.
#include <exception>

#include "core/plugin_log.h"
#include "platform/export.h"
#include "plugin/session.h"

using Zerin::session;

ZERIN_C_EXPORT bool InitSession(void) { return Zerin::initSession(); }

ZERIN_C_EXPORT bool InitSessionWithLayerId(int64_t layerId) { return Zerin::initSessionWithLayerId(layerId); }

ZERIN_C_EXPORT void EndSession(void) {
  try {
    Zerin::endSession();
  } catch (const std::exception& error) {
    // Only a failing lock throws here; it must not unwind into the engine.
    Zerin::pluginLog("EndSession failed: %s", error.what());
  }
}

ZERIN_C_EXPORT bool IsSessionNull(void) { return session.load() == nullptr; }

ZERIN_C_EXPORT void* GetSession(void) { return session.load(); }

ZERIN_C_EXPORT bool IsZerinSystemInstalled(void) { return Zerin::zerin_IsAvailable() != 0; }

ZERIN_C_EXPORT int64_t GetError(void) {
  const ZerinSession current = session.load();
  return current ? Zerin::zerin_GetError(current) : 1;
}

ZERIN_C_EXPORT int64_t GetSessionStartError(void) { return Zerin::sessionStartError(); }

ZERIN_C_EXPORT const char* GetRuntimeVersion(void) { return Zerin::runtimeVersion(); }

ZERIN_C_EXPORT const char* GetPluginVersion(void) { return Zerin::pluginVersion; }

ZERIN_C_EXPORT const char* GetErrorMessage(int32_t code) {
  return Zerin::zerin_GetErrorDesc(static_cast<ZerinErrorCode>(code));
}

ZERIN_C_EXPORT void SetSessionVisible(bool visible) { Zerin::zerin_SetSessionVisible(session.load(), visible ? 1 : 0); }

ZERIN_C_EXPORT void SetSessionTransparent(bool transparent) {
  Zerin::zerin_SetSessionTransparent(session.load(), transparent ? 1 : 0);
}

ZERIN_C_EXPORT void SendHeartBeat(int64_t sequence) { Zerin::zerin_SendHeartBeat(session.load(), sequence); }

ZERIN_C_EXPORT void ResetPose(bool includeHeight, int32_t originKind) {
  Zerin::zerin_ResetPose(session.load(), includeHeight ? 1 : 0, static_cast<int64_t>(originKind));
}

ZERIN_C_EXPORT void SetConfig(const char* key, const char* value) {
  Zerin::zerin_SetConfig(session.load(), key, value);
}

ZERIN_C_EXPORT char* GetConfig(const char* key) { return Zerin::getConfig(key); }

ZERIN_C_EXPORT Zerin::RenderTextureDesc GetRenderTextureFormat(int32_t kind) {
  return Zerin::renderTextureFormat(kind);
}

ZERIN_C_EXPORT void GetEulerAngles(double x, double y, double z, double w, double* out) {
  Zerin::getEulerAngles(x, y, z, w, out);
}
