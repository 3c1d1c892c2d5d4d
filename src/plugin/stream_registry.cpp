#include "plugin/stream_registry.h"

namespace Zerin {

StreamRegistry streamRegistry;

bool StreamRegistry::add(int64_t kind, StreamEntry entry) {
  std::lock_guard<std::mutex> lock(mutex);
  return entries.emplace(kind, entry).second;
}

std::optional<StreamEntry> StreamRegistry::find(int64_t kind) const {
  std::lock_guard<std::mutex> lock(mutex);
  const auto found = entries.find(kind);
  if (found == entries.end()) return std::nullopt;
  return found->second;
}

std::optional<StreamEntry> StreamRegistry::remove(int64_t kind) {
  std::lock_guard<std::mutex> lock(mutex);
  const auto found = entries.find(kind);
  if (found == entries.end()) return std::nullopt;
  StreamEntry entry = found->second;
  entries.erase(found);
  return entry;
}

std::vector<StreamEntry> StreamRegistry::takeAll() {
  std::lock_guard<std::mutex> lock(mutex);
  std::vector<StreamEntry> all;
  all.reserve(entries.size());
  for (const auto& entry : entries) all.push_back(entry.second);
  entries.clear();
  return all;
}

}  // namespace Zerin
