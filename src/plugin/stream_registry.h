#pragma once
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "logging/revocable_callback.h"
#include "zerin/engine_bridge.h"

namespace Zerin {

// A script callback for the frames of one started data stream.
using StreamFrameCallback = ZerinBridgeStreamFrameCallback;

struct StreamEntry {
  int64_t streamId;
  StreamFrameCallback callback;
};

// The data streams the plug-in started, at most one per kind (only kinds 1 and 2 exist). The
// scripting thread changes it; the runtime's delivery threads hand frames to its callbacks.
class StreamRegistry {
 public:
  static constexpr int64_t kLastKind = 2;

  // False when the kind has an entry already, or is no stream kind.
  bool add(int64_t kind, StreamEntry entry);
  std::optional<StreamEntry> find(int64_t kind) const;
  // Both return once the removed callbacks are not running on any other thread; they are never
  // called again.
  std::optional<StreamEntry> remove(int64_t kind);
  std::vector<StreamEntry> takeAll();

  // On a delivery thread: the frame to the callback of its kind, if that kind is registered.
  void deliver(int64_t kind, const void* frame, void* userData) const;

 private:
  struct Slot {
    std::optional<int64_t> streamId;  // guarded by mutex
    RevocableCallback<StreamFrameCallback> callback;  // swapped under mutex, called without it
  };
  // Guards the stream ids and the swaps of the callbacks; held neither by deliveries nor while
  // waiting for them.
  mutable std::mutex mutex;
  Slot slots[kLastKind];
};

extern StreamRegistry streamRegistry;

}  // namespace Zerin
