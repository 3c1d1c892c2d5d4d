#include "findings.h"

#include <algorithm>

namespace ZerinSim {

bool Findings::add(const char* id, int64_t frame, const std::string& sentence) {
  std::lock_guard<std::mutex> lock(mutex);
  const auto known = std::find_if(found.begin(), found.end(), [&](const Finding& f) { return f.id == id; });
  if (known != found.end()) {
    ++known->count;
    return false;
  }
  found.push_back(Finding{id, frame, sentence, 1});
  return true;
}

std::vector<Finding> Findings::all() const {
  std::lock_guard<std::mutex> lock(mutex);
  return found;
}

void Findings::clear() {
  std::lock_guard<std::mutex> lock(mutex);
  found.clear();
}

}  // namespace ZerinSim
