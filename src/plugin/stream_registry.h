#pragma once
#include <cstdint>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

namespace Zerin {

// A script callback for the frames of one started data stream.
using StreamFrameCallback = void (*)(const void* frame, void* userData);

struct StreamEntry {
  int64_t streamId;
  StreamFrameCallback callback;
};

// The data streams the plug-in started, at most one per kind. The scripting thread changes it;
// the runtime's delivery thread looks callbacks up in it.
class StreamRegistry {
 public:
  // False when the kind has an entry already.
  bool add(int64_t kind, StreamEntry entry);
  std::optional<StreamEntry> find(int64_t kind) const;
  std::optional<StreamEntry> remove(int64_t kind);
  // Empties the registry and returns what it held.
  std::vector<StreamEntry> takeAll();

 private:
  // Guards entries; held for lookups and changes only, never while a script callback runs.
  mutable std::mutex mutex;
  std::unordered_map<int64_t, StreamEntry> entries;
};

extern StreamRegistry streamRegistry;

}  // namespace Zerin
