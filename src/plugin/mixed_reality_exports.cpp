// Mixed-reality data streams and the occlusion mesh, for the scripts on their own thread.
#include <exception>

#include "core/plugin_log.h"
#include "plugin/mixed_reality.h"
#include "zerin/engine_bridge.h"

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

extern "C" bool MRIsAvailable(void) { return Zerin::mrIsAvailable(); }

extern "C" bool MRSupportsDataStream(int64_t kind) { return Zerin::mrSupportsDataStream(kind); }

extern "C" bool MRStartDataStream(int64_t kind, Zerin::StreamFrameCallback callback, void* userData) {
  return guarded("MRStartDataStream", [&] { return Zerin::mrStartDataStream(kind, callback, userData); });
}

extern "C" void MRStopDataStream(int64_t kind) {
  guarded("MRStopDataStream", [&] {
    Zerin::mrStopDataStream(kind);
    return true;
  });
}

extern "C" ZerinOcclusionMesh* CreateOcclusionMesh(int32_t viewIndex, int32_t* outVertexCount, void** outVertexData) {
  return Zerin::createOcclusionMesh(viewIndex, outVertexCount, outVertexData);
}

extern "C" void FreeOcclusionMesh(ZerinOcclusionMesh* mesh) { Zerin::freeOcclusionMesh(mesh); }
