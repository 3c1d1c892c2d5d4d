#pragma once
#include <atomic>
#include <cstdint>

#include "core/runtime_library.h"
#include "core/session_handle.h"
#include "zerin/engine_bridge.h"

namespace Zerin {

// The event record of the open session (scripting thread only).
extern ZerinEvent* currentEvent;
// The runtime release this plug-in is built against; the runtime must report the same text.
extern const char* const pluginVersion;

using RenderTextureDesc = ZerinBridgeRenderTextureDesc;

// Logs the runtime's pending error for `target`, if any; true when there was one.
bool checkError(ZerinSession target);
// Makes the frame-info and submit-info records of the session `target`, before it is published.
bool createFrameRecords(ZerinSession target);

bool initSession();
bool initSessionWithLayerId(int64_t layerId);
void endSession();
// The runtime's error code that ended the last failed session start; 0 when none did or the
// runtime's error was taken by someone else first (the render thread's checks take it too).
int64_t sessionStartError();
// The runtime library's version text (empty when it reports none), or null without the library;
// opens nothing.
const char* runtimeVersion();

// The value of a configuration key in COM task memory, or null.
char* getConfig(const char* key);
RenderTextureDesc renderTextureFormat(int32_t kind);
void getEulerAngles(double x, double y, double z, double w, double* out);

}  // namespace Zerin
