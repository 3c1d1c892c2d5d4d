#pragma once
#include <cstdint>

#include "plugin/stream_registry.h"
#include "zerin_lib.h"

namespace Zerin {

// The stream id of the first configuration the runtime offers for a stream kind, or -1.
// Kind 1: stereo camera on both channels; kind 2: depth camera on the first; both CPU buffers.
int64_t findStreamConfig(int64_t kind);

bool mrIsAvailable();
bool mrSupportsDataStream(int64_t kind);
bool mrStartDataStream(int64_t kind, StreamFrameCallback callback, void* userData);
void mrStopDataStream(int64_t kind);

// Registered with the runtime for every started stream; runs on the runtime's delivery thread
// and hands each frame to the callback registered for the frame's stream type.
void streamFrameTrampoline(const ZerinStreamFrame* frame, uint64_t channel, void* userData);

ZerinOcclusionMesh* createOcclusionMesh(int32_t viewIndex, int32_t* outVertexCount, void** outVertexData);
void freeOcclusionMesh(ZerinOcclusionMesh* mesh);

}  // namespace Zerin
