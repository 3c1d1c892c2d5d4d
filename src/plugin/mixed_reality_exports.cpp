// Mixed-reality data streams and the occlusion mesh, for the scripts on their own thread.
#include <exception>

#include "core/plugin_log.h"
#include "platform/export.h"
#include "plugin/mixed_reality.h"

namespace {

// The stream registry's lock is the only thing here that throws; it must not unwind into the
// engine.
template <class Body>
bool guarded(const char* name, Body body) {
  try {
    return body();
  } catch (const std::exception& error) {
    Zerin::pluginLog("%s failed: %s", name, error.what());
    return false;
  }
}

}  // namespace

ZERIN_C_EXPORT bool MRIsAvailable(void) { return Zerin::mrIsAvailable(); }

ZERIN_C_EXPORT bool MRSupportsDataStream(int64_t kind) { return Zerin::mrSupportsDataStream(kind); }

ZERIN_C_EXPORT bool MRStartDataStream(int64_t kind, Zerin::StreamFrameCallback callback, void* userData) {
  return guarded("MRStartDataStream", [&] { return Zerin::mrStartDataStream(kind, callback, userData); });
}

ZERIN_C_EXPORT void MRStopDataStream(int64_t kind) {
  guarded("MRStopDataStream", [&] {
    Zerin::mrStopDataStream(kind);
    return true;
  });
}

ZERIN_C_EXPORT ZerinOcclusionMesh* CreateOcclusionMesh(int32_t viewIndex, int32_t* outVertexCount,
                                                       void** outVertexData) {
  return Zerin::createOcclusionMesh(viewIndex, outVertexCount, outVertexData);
}

ZERIN_C_EXPORT void FreeOcclusionMesh(ZerinOcclusionMesh* mesh) { Zerin::freeOcclusionMesh(mesh); }
