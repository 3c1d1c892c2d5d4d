#include "plugin/mixed_reality.h"

#include <algorithm>
#include <vector>

#include "plugin/session.h"

namespace Zerin {

namespace {

constexpr int64_t kNoStream = -1;
constexpr int64_t kStereoCamera = 1;
constexpr int64_t kDepthCamera = 2;
constexpr int64_t kCpuBuffer = 1;
constexpr uint8_t kFirstChannel = 1;
constexpr uint8_t kSecondChannel = 2;

bool matches(const ZerinDataStreamConfig& config, int64_t kind) {
  if (config.streamType != kind || config.bufferType != kCpuBuffer) return false;
  const uint8_t needed = kind == kStereoCamera ? (kFirstChannel | kSecondChannel) : kFirstChannel;
  return (config.channelFlags & needed) == needed;
}

}  // namespace

int64_t findStreamConfig(int64_t kind) {
  if (kind != kStereoCamera && kind != kDepthCamera) return kNoStream;
  const ZerinSession current = session.load();
  const int32_t count = zerin_GetDataStreamConfigCount(current);
  if (count <= 0) return kNoStream;
  std::vector<ZerinDataStreamConfig> configs(static_cast<size_t>(count));
  const int32_t written = zerin_GetDataStreamConfigs(current, configs.data(), count);
  // Only what the runtime wrote is a configuration; the rest would be zeros.
  const auto usable = static_cast<size_t>(std::clamp(written, 0, count));
  for (size_t i = 0; i < usable; ++i)
    if (matches(configs[i], kind)) return configs[i].streamId;
  return kNoStream;
}

bool mrIsAvailable() {
  const ZerinSession current = session.load();
  if (!current) return false;
  zerin_SyncProperties(current);
  if (zerin_HasProperty(current, ZERIN_PROPERTY_MR_AVAILABLE) == 0) return false;
  return zerin_GetPropertyBool(current, ZERIN_PROPERTY_MR_AVAILABLE) != 0;
}

bool mrSupportsDataStream(int64_t kind) {
  // Without a session the runtime could only refuse the handle.
  if (!session.load()) return false;
  return findStreamConfig(kind) != kNoStream;
}

bool mrStartDataStream(int64_t kind, StreamFrameCallback callback, void* userData) {
  const ZerinSession current = session.load();
  // A stream without a callback would have its frames handed to null.
  if (!current || !callback) return false;
  if (streamRegistry.find(kind)) return false;  // one stream per kind
  const int64_t streamId = findStreamConfig(kind);
  if (streamId == kNoStream) return false;
  // Registered before the start, so that the first frame finds its callback.
  streamRegistry.add(kind, {streamId, callback});
  zerin_StartDataStream(current, streamId, ~uint64_t{0}, &streamFrameTrampoline, userData);
  return zerin_GetError(current) == 0;
}

void mrStopDataStream(int64_t kind) {
  const ZerinSession current = session.load();
  if (!current) return;
  const std::optional<StreamEntry> entry = streamRegistry.find(kind);
  if (!entry) return;
  zerin_StopDataStream(current, entry->streamId);
  // Waits for a frame still in the callback even where the runtime's stop did not (it failed,
  // or the stream's own callback stopped it): once this returns the callback is done with.
  streamRegistry.remove(kind);
}

void streamFrameTrampoline(const ZerinStreamFrame* frame, uint64_t, void* userData) {
  if (frame) streamRegistry.deliver(frame->streamType, frame, userData);
}

ZerinOcclusionMesh* createOcclusionMesh(int32_t viewIndex, int32_t* outVertexCount, void** outVertexData) {
  const ZerinSession current = session.load();
  if (!current) return nullptr;
  ZerinOcclusionMesh* mesh = zerin_CreateOcclusionMesh(current, viewIndex, 1);
  if (!mesh) return nullptr;
  if (outVertexCount) *outVertexCount = mesh->vertexCount;
  if (outVertexData) *outVertexData = const_cast<ZerinOcclusionVertex*>(mesh->vertices);
  return mesh;
}

void freeOcclusionMesh(ZerinOcclusionMesh* mesh) {
  if (mesh) zerin_FreeOcclusionMesh(mesh);
}

}  // namespace Zerin
