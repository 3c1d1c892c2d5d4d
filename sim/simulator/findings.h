#pragma once
// The API-use findings of a run: each broken rule by its stable id, with the frame it was first
// seen in, a plain sentence and how often it happened.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace ZerinSim {

struct Finding {
  std::string id;        // "frame-end-without-begin"
  int64_t frame = 0;     // the session's frame index when it was first seen (0 before the first)
  std::string sentence;  // what happened the first time, in plain words
  int64_t count = 0;     // how often it happened
};

class Findings {
 public:
  // A repeat of a known id only counts; the first of an id is kept whole (true).
  bool add(const char* id, int64_t frame, const std::string& sentence);
  // In the order first seen.
  std::vector<Finding> all() const;
  void clear();

 private:
  mutable std::mutex mutex;  // guards found: added under the library lock, read by the report
  std::vector<Finding> found;
};

}  // namespace ZerinSim
