// The simulated mixed-reality devices: session properties, the data streams on offer, streams
// that deliver camera frames from a thread of their own, and the occlusion meshes of the views.
#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <thread>
#include <utility>

#include "platform/module_hold.h"
#include "sim_parts.h"
#include "zerin_sim_devices.h"

namespace ZerinSim {

namespace {

ZerinDataStreamConfig makeConfig(int64_t id, uint8_t channels, int64_t type, int64_t buffer, uint32_t width,
                                 uint32_t height, int32_t format, uint32_t fps, const char* name) {
  ZerinDataStreamConfig config{};
  config.streamId = id;
  config.channelFlags = channels;
  config.streamType = type;
  config.bufferType = buffer;
  config.width = width;
  config.height = height;
  config.format = format;
  config.framesPerSecond = fps;
  std::snprintf(config.name, sizeof config.name, "%s", name);
  return config;
}

constexpr int32_t kFormatRgba8 = 28;  // DXGI_FORMAT_R8G8B8A8_UNORM
constexpr int32_t kFormatR16 = 56;    // DXGI_FORMAT_R16_UNORM
constexpr int64_t kBufferGpu = 2;

// A headset with a stereo camera (its images on the GPU or copied to the CPU) and a one-eyed
// depth camera. Small images keep the delivery cheap.
std::vector<ZerinDataStreamConfig> defaultConfigs() {
  const uint8_t both = ZERIN_STREAM_CHANNEL_LEFT | ZERIN_STREAM_CHANNEL_RIGHT;
  return {
      makeConfig(0x100, both, ZERIN_STREAM_TYPE_STEREO_CAMERA, kBufferGpu, 64, 48, kFormatRgba8, 30,
                 "stereo camera (GPU)"),
      makeConfig(0x101, both, ZERIN_STREAM_TYPE_STEREO_CAMERA, ZERIN_STREAM_BUFFER_CPU, 64, 48, kFormatRgba8, 30,
                 "stereo camera"),
      makeConfig(0x201, ZERIN_STREAM_CHANNEL_LEFT, ZERIN_STREAM_TYPE_DEPTH_CAMERA, ZERIN_STREAM_BUFFER_CPU, 32, 24,
                 kFormatR16, 15, "depth camera"),
  };
}

uint32_t bytesPerPixel(int32_t format) {
  switch (format) {
    case kFormatR16: return 2;
    case 61: return 1;  // DXGI_FORMAT_R8_UNORM
    default: return 4;
  }
}

// The stream whose delivery thread this is; -1 elsewhere.
thread_local int64_t deliveringStream = -1;

}  // namespace

// One started stream. Its thread delivers a frame per channel at the stream's rate until it is
// asked to stop; the owner of the object joins the thread when it destroys it.
class DataStream {
 public:
  DataStream(const ZerinDataStreamConfig& config, uint64_t channels, ZerinStreamFrameCallback callback, void* userData,
             std::chrono::nanoseconds interval, bool moving)
      : config(config), channels(channels), callback(callback), userData(userData), interval(interval), moving(moving) {
    thread = std::thread([this] { run(); });
  }

  ~DataStream() {
    requestStop();
    if (thread.joinable()) thread.join();
  }

  DataStream(const DataStream&) = delete;
  DataStream& operator=(const DataStream&) = delete;

  void requestStop() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      stopping = true;
    }
    wake.notify_all();
  }

  bool onOwnThread() const { return std::this_thread::get_id() == thread.get_id(); }

 private:
  void run() {
    deliveringStream = config.streamId;
    const uint32_t rowPitch = config.width * bytesPerPixel(config.format);
    std::vector<uint8_t> pixels(static_cast<size_t>(rowPitch) * config.height);
    auto due = std::chrono::steady_clock::now();
    for (uint32_t frameIndex = 0;; ++frameIndex) {
      {
        std::unique_lock<std::mutex> lock(mutex);
        if (interval.count() > 0) wake.wait_until(lock, due, [this] { return stopping; });
        if (stopping) return;
      }
      // The next frame is due one interval after this one began: frames are never closer.
      const auto begun = std::chrono::steady_clock::now();
      due = begun + interval;
      const int64_t timestamp = std::chrono::duration_cast<std::chrono::nanoseconds>(begun.time_since_epoch()).count();
      for (uint64_t channel : {uint64_t{ZERIN_STREAM_CHANNEL_LEFT}, uint64_t{ZERIN_STREAM_CHANNEL_RIGHT}}) {
        if (!(channels & channel)) continue;
        // A moving gradient, different per channel, so that frames can be told apart.
        const uint32_t shift = moving ? frameIndex : 0;
        for (uint32_t y = 0; y < config.height; ++y)
          for (uint32_t x = 0; x < rowPitch; ++x)
            pixels[static_cast<size_t>(y) * rowPitch + x] = static_cast<uint8_t>(x + y + shift + channel * 64);
        ZerinStreamFrame frame{};
        frame.streamType = config.streamType;
        frame.streamId = config.streamId;
        frame.timestamp = timestamp;
        frame.width = config.width;
        frame.height = config.height;
        frame.format = config.format;
        frame.rowPitch = rowPitch;
        frame.data = pixels.empty() ? nullptr : pixels.data();
        frame.dataSize = pixels.size();
        callback(&frame, channel, userData);
      }
    }
  }

  const ZerinDataStreamConfig config;
  const uint64_t channels;
  const ZerinStreamFrameCallback callback;
  void* const userData;
  const std::chrono::nanoseconds interval;
  const bool moving;

  std::mutex mutex;  // guards stopping
  std::condition_variable wake;  // stopping was set
  bool stopping = false;
  std::thread thread;  // joined by the destructor
};

FinishedStreams::FinishedStreams() = default;

FinishedStreams::~FinishedStreams() {
  // Ask all first, so that they wind down together, then join one by one.
  for (auto& stream : streams) stream->requestStop();
  streams.clear();
}

void FinishedStreams::add(std::unique_ptr<DataStream> stream) {
  if (stream) streams.push_back(std::move(stream));
}

namespace {

struct MeshRecord {
  ZerinOcclusionMesh mesh{};
  std::vector<ZerinOcclusionVertex> vertices;
};

// Guarded by the library lock, like RuntimeState.
struct MixedRealityState {
  std::map<int64_t, int32_t> deviceProperties{{ZERIN_PROPERTY_MR_AVAILABLE, 1}};
  std::map<ZerinSession, std::map<int64_t, int32_t>> sessionProperties;
  std::vector<ZerinDataStreamConfig> configs = defaultConfigs();
  int64_t frameIntervalMicroseconds = -1;
  std::map<std::pair<ZerinSession, int64_t>, std::unique_ptr<DataStream>> streams;
  // Streams stopped from their own callback: their threads end once the callback returns, and
  // are joined by the next call that can wait.
  std::vector<std::unique_ptr<DataStream>> retired;
  std::map<ZerinOcclusionMesh*, std::unique_ptr<MeshRecord>> meshes;
  bool movingPattern = true;
  std::vector<ZerinOcclusionVertex> meshOverride;  // empty: each view's hidden area

  // With the library's globals. Where the process is ending, the system has stopped the delivery
  // threads already, perhaps in the middle of a wait whose end a stop would wait for: the streams
  // are left to it. Anywhere else they are stopped and joined.
  MixedRealityState() = default;
  MixedRealityState(MixedRealityState&&) = default;
  MixedRealityState& operator=(MixedRealityState&&) = default;
  ~MixedRealityState() {
    if (!Zerin::platform::processIsEnding()) return;
    for (auto& entry : streams) static_cast<void>(entry.second.release());
    for (auto& stream : retired) static_cast<void>(stream.release());
  }

  std::map<int64_t, int32_t>& propertiesOf(ZerinSession session) {
    const auto found = sessionProperties.find(session);
    if (found != sessionProperties.end()) return found->second;
    return sessionProperties[session] = deviceProperties;
  }

  // Hands over the retired streams that can be joined from this thread.
  void takeRetired(FinishedStreams& finished) {
    for (auto it = retired.begin(); it != retired.end();) {
      if ((*it)->onOwnThread()) {
        ++it;
        continue;
      }
      finished.add(std::move(*it));
      it = retired.erase(it);
    }
  }

  // Hands a stream over for joining, or retires it when this is its own delivery thread.
  void finish(std::unique_ptr<DataStream> stream, FinishedStreams& finished) {
    if (stream->onOwnThread()) {
      stream->requestStop();
      retired.push_back(std::move(stream));
    } else {
      finished.add(std::move(stream));
    }
  }
};

MixedRealityState& mixedReality() {
  static MixedRealityState state;
  return state;
}

const ZerinDataStreamConfig* findConfig(const MixedRealityState& mr, int64_t streamId) {
  for (const auto& config : mr.configs)
    if (config.streamId == streamId) return &config;
  return nullptr;
}

std::chrono::nanoseconds frameInterval(const MixedRealityState& mr, const ZerinDataStreamConfig& config) {
  if (mr.frameIntervalMicroseconds >= 0) return std::chrono::microseconds(mr.frameIntervalMicroseconds);
  const uint32_t fps = config.framesPerSecond ? config.framesPerSecond : 30;
  return std::chrono::nanoseconds(1000000000 / fps);
}

/* ---- Occlusion meshes ----------------------------------------------------------------------- */

struct Point {
  double x;
  double y;
};

struct ViewShape {
  Point centre;  // of the visible ellipse, shifted towards the nose for the eyes
  double radiusX;
  double radiusY;
};

constexpr ViewShape kViewShapes[ZERIN_VIEW_COUNT] = {
    {{0.05, 0.0}, 0.92, 0.88}, {{-0.05, 0.0}, 0.92, 0.88}, {{0.03, 0.0}, 0.96, 0.90}, {{-0.03, 0.0}, 0.96, 0.90}};
constexpr int kMeshSegments = 64;

// Where a ray from a point inside the square [-1, 1]^2 leaves it.
Point borderPoint(Point from, double angle) {
  const double dx = std::cos(angle), dy = std::sin(angle);
  double t = 1e9;
  if (std::fabs(dx) > 1e-12) t = std::min(t, ((dx > 0 ? 1.0 : -1.0) - from.x) / dx);
  if (std::fabs(dy) > 1e-12) t = std::min(t, ((dy > 0 ? 1.0 : -1.0) - from.y) / dy);
  return {from.x + t * dx, from.y + t * dy};
}

// The hidden area of a view, between its visible ellipse and the border of the view, as a list
// of counter-clockwise triangles in normalised view coordinates.
std::vector<ZerinOcclusionVertex> hiddenAreaMesh(int32_t viewIndex) {
  const ViewShape& shape = kViewShapes[viewIndex];
  const double pi = std::acos(-1.0);
  const double step = 2 * pi / kMeshSegments;
  const Point corners[4] = {{1, 1}, {-1, 1}, {-1, -1}, {1, -1}};
  double cornerAngles[4];
  for (int c = 0; c < 4; ++c) {
    double angle = std::atan2(corners[c].y - shape.centre.y, corners[c].x - shape.centre.x);
    cornerAngles[c] = angle < 0 ? angle + 2 * pi : angle;
  }
  auto ellipse = [&](double angle) {
    return Point{shape.centre.x + shape.radiusX * std::cos(angle), shape.centre.y + shape.radiusY * std::sin(angle)};
  };
  std::vector<ZerinOcclusionVertex> vertices;
  auto triangle = [&](Point a, Point b, Point c) {
    for (const Point& p : {a, b, c}) vertices.push_back({static_cast<float>(p.x), static_cast<float>(p.y)});
  };
  for (int i = 0; i < kMeshSegments; ++i) {
    const double from = i * step, to = (i + 1) * step;
    const Point inner0 = ellipse(from), inner1 = ellipse(to);
    const Point outer0 = borderPoint(shape.centre, from), outer1 = borderPoint(shape.centre, to);
    triangle(inner0, outer0, outer1);
    triangle(inner0, outer1, inner1);
    // A corner between the two rays would be cut off by the outer edge.
    for (int c = 0; c < 4; ++c)
      if (cornerAngles[c] > from && cornerAngles[c] < to) triangle(outer0, corners[c], outer1);
  }
  return vertices;
}

}  // namespace

void closeSessionMixedReality(ZerinSession session, FinishedStreams& finished) {
  auto& mr = mixedReality();
  mr.sessionProperties.erase(session);
  for (auto it = mr.streams.begin(); it != mr.streams.end();) {
    if (it->first.first == session) {
      mr.finish(std::move(it->second), finished);
      it = mr.streams.erase(it);
    } else {
      ++it;
    }
  }
  mr.takeRetired(finished);
}

void setStreamPatternMoving(bool moving) { mixedReality().movingPattern = moving; }

void setOcclusionMesh(std::vector<ZerinOcclusionVertex> vertices) { mixedReality().meshOverride = std::move(vertices); }

void resetMixedReality(FinishedStreams& finished) {
  auto& mr = mixedReality();
  for (auto& entry : mr.streams) mr.finish(std::move(entry.second), finished);
  mr.streams.clear();
  mr.takeRetired(finished);
  std::vector<std::unique_ptr<DataStream>> keep = std::move(mr.retired);
  mr = MixedRealityState{};
  mr.retired = std::move(keep);
}

}  // namespace ZerinSim

using ZerinSim::Call;
using ZerinSim::FinishedStreams;
using ZerinSim::mixedReality;

extern "C" {

ZERINLIB_API void zerin_SyncProperties(ZerinSession session) {
  Call call("zerin_SyncProperties");
  call.arguments(session);
  if (call.injectedFailure() || !call.checkSession(session)) return;
  auto& mr = mixedReality();
  mr.sessionProperties[session] = mr.deviceProperties;
}

ZERINLIB_API int32_t zerin_HasProperty(ZerinSession session, int64_t key) {
  Call call("zerin_HasProperty");
  call.arguments(session, key);
  if (call.injectedFailure() || !call.checkSession(session)) return call.result<int32_t>(0);
  return call.result<int32_t>(mixedReality().propertiesOf(session).count(key) ? 1 : 0);
}

ZERINLIB_API int32_t zerin_GetPropertyBool(ZerinSession session, int64_t key) {
  Call call("zerin_GetPropertyBool");
  call.arguments(session, key);
  if (call.injectedFailure() || !call.checkSession(session)) return call.result<int32_t>(0);
  const auto& properties = mixedReality().propertiesOf(session);
  const auto found = properties.find(key);
  if (found == properties.end()) {
    call.fail(ZERIN_ERROR_NOT_FOUND);
    return call.result<int32_t>(0);
  }
  return call.result<int32_t>(found->second != 0 ? 1 : 0);
}

ZERINLIB_API int32_t zerin_GetDataStreamConfigCount(ZerinSession session) {
  Call call("zerin_GetDataStreamConfigCount");
  call.arguments(session);
  if (call.injectedFailure() || !call.checkSession(session)) return call.result<int32_t>(0);
  return call.result(static_cast<int32_t>(mixedReality().configs.size()));
}

ZERINLIB_API int32_t zerin_GetDataStreamConfigs(ZerinSession session, ZerinDataStreamConfig* configs,
                                                int32_t count) {
  Call call("zerin_GetDataStreamConfigs");
  call.arguments(session, static_cast<const void*>(configs), count);
  if (call.injectedFailure() || !call.checkSession(session)) return call.result<int32_t>(0);
  if (count < 0 || (count > 0 && !configs)) {
    call.fail(ZERIN_ERROR_INVALID_ARGUMENT);
    return call.result<int32_t>(0);
  }
  const auto& offered = mixedReality().configs;
  const auto written = std::min(static_cast<size_t>(count), offered.size());
  if (written) std::memcpy(configs, offered.data(), written * sizeof(ZerinDataStreamConfig));
  return call.result(static_cast<int32_t>(written));
}

ZERINLIB_API void zerin_StartDataStream(ZerinSession session, int64_t streamId, uint64_t channelMask,
                                        ZerinStreamFrameCallback callback, void* userData) {
  FinishedStreams finished;  // joined after the call has released the library lock
  Call call("zerin_StartDataStream");
  call.arguments(session, streamId, channelMask, reinterpret_cast<const void*>(callback),
                 static_cast<const void*>(userData));
  auto& mr = mixedReality();
  mr.takeRetired(finished);
  if (call.injectedFailure() || !call.checkSession(session)) return;
  const ZerinDataStreamConfig* config = findConfig(mr, streamId);
  if (!config) return call.fail(ZERIN_ERROR_NOT_FOUND);
  const uint64_t channels = channelMask & config->channelFlags;
  if (!callback || !channels) return call.fail(ZERIN_ERROR_INVALID_ARGUMENT);
  auto& slot = mr.streams[{session, streamId}];
  if (slot) return call.fail(ZERIN_ERROR_INVALID_STATE);
  slot = std::make_unique<ZerinSim::DataStream>(*config, channels, callback, userData, frameInterval(mr, *config),
                                                mr.movingPattern);
  ZerinSim::raiseEvent(call.state(), ZERIN_EVENT_DATA_STREAM_START, streamId);
}

ZERINLIB_API void zerin_StopDataStream(ZerinSession session, int64_t streamId) {
  FinishedStreams finished;  // joined after the call has released the library lock
  Call call("zerin_StopDataStream");
  call.arguments(session, streamId);
  auto& mr = mixedReality();
  mr.takeRetired(finished);
  if (call.injectedFailure() || !call.checkSession(session)) return;
  const auto found = mr.streams.find({session, streamId});
  if (found == mr.streams.end()) return call.fail(ZERIN_ERROR_NOT_FOUND);
  mr.finish(std::move(found->second), finished);
  mr.streams.erase(found);
  ZerinSim::raiseEvent(call.state(), ZERIN_EVENT_DATA_STREAM_STOP, streamId);
}

ZERINLIB_API ZerinOcclusionMesh* zerin_CreateOcclusionMesh(ZerinSession session, int32_t viewIndex, int32_t flags) {
  Call call("zerin_CreateOcclusionMesh");
  call.arguments(session, viewIndex, flags);
  if (call.injectedFailure() || !call.checkSession(session)) return call.result<ZerinOcclusionMesh*>(nullptr);
  if (viewIndex < 0 || viewIndex >= ZERIN_VIEW_COUNT || flags != 1) {
    call.fail(ZERIN_ERROR_INVALID_ARGUMENT);
    return call.result<ZerinOcclusionMesh*>(nullptr);
  }
  auto record = std::make_unique<ZerinSim::MeshRecord>();
  const auto& configured = mixedReality().meshOverride;
  record->vertices = configured.empty() ? ZerinSim::hiddenAreaMesh(viewIndex) : configured;
  record->mesh.vertices = record->vertices.data();
  record->mesh.vertexCount = static_cast<int32_t>(record->vertices.size());
  record->mesh.viewIndex = viewIndex;
  ZerinOcclusionMesh* mesh = &record->mesh;
  const std::string name = call.state().nameObject(mesh, "occlusionMesh");
  call.state().nameMember(record->vertices.data(), name + ".vertices");
  mixedReality().meshes.emplace(mesh, std::move(record));
  return call.result(mesh);
}

ZERINLIB_API void zerin_FreeOcclusionMesh(ZerinOcclusionMesh* mesh) {
  Call call("zerin_FreeOcclusionMesh");
  call.arguments(static_cast<const void*>(mesh));
  if (call.injectedFailure() || !mesh) return;
  auto& meshes = mixedReality().meshes;
  const auto found = meshes.find(mesh);
  if (found == meshes.end()) return call.fail(ZERIN_ERROR_INVALID_ARGUMENT);
  call.state().forget(found->second->vertices.data());
  call.state().forget(mesh);
  meshes.erase(found);
}

/* ---- Control surface ------------------------------------------------------------------------ */

ZERINLIB_API void zerinsim_SetDeviceProperty(int64_t key, int32_t value) {
  std::lock_guard<std::mutex> lock(ZerinSim::RuntimeState::instance().mutex);
  mixedReality().deviceProperties[key] = value;
}

ZERINLIB_API void zerinsim_RemoveDeviceProperty(int64_t key) {
  std::lock_guard<std::mutex> lock(ZerinSim::RuntimeState::instance().mutex);
  mixedReality().deviceProperties.erase(key);
}

ZERINLIB_API void zerinsim_SetDataStreamConfigs(const ZerinDataStreamConfig* configs, int32_t count) {
  std::lock_guard<std::mutex> lock(ZerinSim::RuntimeState::instance().mutex);
  auto& offered = mixedReality().configs;
  if (!configs) offered = ZerinSim::defaultConfigs();
  else offered.assign(configs, configs + std::max(count, 0));
}

ZERINLIB_API void zerinsim_SetStreamFrameInterval(int64_t microseconds) {
  std::lock_guard<std::mutex> lock(ZerinSim::RuntimeState::instance().mutex);
  mixedReality().frameIntervalMicroseconds = microseconds;
}

ZERINLIB_API int32_t zerinsim_ActiveStreamCount(void) {
  std::lock_guard<std::mutex> lock(ZerinSim::RuntimeState::instance().mutex);
  return static_cast<int32_t>(mixedReality().streams.size());
}

ZERINLIB_API int64_t zerinsim_DeliveryThreadStream(void) { return ZerinSim::deliveringStream; }

ZERINLIB_API void zerinsim_SetCameraProperty(uint32_t key, uint32_t value) {
  auto& state = ZerinSim::RuntimeState::instance();
  std::lock_guard<std::mutex> lock(state.mutex);
  ZerinSim::raiseEvent(state, ZERIN_EVENT_MR_CAMERA_PROPERTY, ZerinSim::eventPair(key, value));
}

ZERINLIB_API void zerinsim_SetDeviceStatus(uint32_t device, uint32_t status) {
  auto& state = ZerinSim::RuntimeState::instance();
  std::lock_guard<std::mutex> lock(state.mutex);
  ZerinSim::raiseEvent(state, ZERIN_EVENT_MR_DEVICE_STATUS, ZerinSim::eventPair(device, status));
}

}  // extern "C"
