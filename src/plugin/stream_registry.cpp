#include "plugin/stream_registry.h"

namespace Zerin {

StreamRegistry streamRegistry;

namespace {

bool isStreamKind(int64_t kind) { return kind >= 1 && kind <= StreamRegistry::kLastKind; }

}  // namespace

bool StreamRegistry::add(int64_t kind, StreamEntry entry) {
  if (!isStreamKind(kind)) return false;
  std::lock_guard<std::mutex> lock(mutex);
  Slot& slot = slots[kind - 1];
  if (slot.streamId) return false;
  slot.streamId = entry.streamId;
  slot.callback.exchange(entry.callback);  // replaces nothing: no call to wait for
  return true;
}

std::optional<StreamEntry> StreamRegistry::find(int64_t kind) const {
  if (!isStreamKind(kind)) return std::nullopt;
  std::lock_guard<std::mutex> lock(mutex);
  const Slot& slot = slots[kind - 1];
  if (!slot.streamId) return std::nullopt;
  return StreamEntry{*slot.streamId, slot.callback.get()};
}

std::optional<StreamEntry> StreamRegistry::remove(int64_t kind) {
  if (!isStreamKind(kind)) return std::nullopt;
  Slot& slot = slots[kind - 1];
  StreamEntry entry{};
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (!slot.streamId) return std::nullopt;
    entry = {*slot.streamId, slot.callback.exchange(nullptr)};
    slot.streamId.reset();
  }
  // Not under the lock: the callback being waited for may start or find a stream itself.
  slot.callback.waitForEarlierCalls();
  return entry;
}

std::vector<StreamEntry> StreamRegistry::takeAll() {
  std::vector<StreamEntry> all;
  for (int64_t kind = 1; kind <= kLastKind; ++kind)
    if (std::optional<StreamEntry> entry = remove(kind)) all.push_back(*entry);
  return all;
}

void StreamRegistry::deliver(int64_t kind, const void* frame, void* userData) const {
  if (isStreamKind(kind)) slots[kind - 1].callback.call(frame, userData);
}

}  // namespace Zerin
