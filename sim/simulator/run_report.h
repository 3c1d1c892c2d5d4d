#pragma once
// The run's report, <output>/report.json: frames received and accepted, missed frames, frame
// intervals, layers and views per frame, captures, scripted events raised and API-use findings.
// Written when a session ends and when the process does; each session starts a new one.
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "simulator.h"

namespace ZerinSim {

// What the report says of frame intervals: the median and the 99th percentile (nearest rank),
// 0 for no intervals.
struct IntervalSummary {
  double median = 0.0;
  double p99 = 0.0;
};
IntervalSummary summariseIntervals(std::vector<double> milliseconds);

class RunReport {
 public:
  explicit RunReport(Simulator& simulator) : simulator(simulator) {}

  void sessionOpened();
  // Frame `frame` was synced (library lock held).
  void noteSynced(int64_t frame);
  // The runtime received a frame (render thread, library lock held).
  void noteSubmitted(const ZerinSimSubmittedFrame& frame);
  // A scripted event was raised at `frame`.
  void noteEvent(int64_t frame, const ScriptedEvent& event);
  // Writes report.json into the output folder (replacing the last one); false, and a log line,
  // when it cannot. `atExit`: the process ends, where a lock held by a thread already gone must
  // not be waited for.
  bool write(bool atExit = false);
  // The report's text as write() would write it.
  std::string text();

 private:
  std::string textLocked();

  Simulator& simulator;
  using Clock = std::chrono::steady_clock;
  std::mutex mutex;  // guards every member below: the render thread notes, the report reads
  int64_t received = 0;
  int64_t accepted = 0;
  int64_t late = 0;               // real clock: submissions more than 1.5 frame periods apart
  std::set<int64_t> unsubmitted;  // synced frames not (yet) submitted
  std::vector<double> intervals;  // milliseconds between submissions
  Clock::time_point lastSubmission{};
  std::map<int, int64_t> layerCounts;
  std::map<int, int64_t> viewCounts;  // by the views of all of a frame's layers
  std::vector<std::string> events;  // each a JSON object's text, in the order raised
};

}  // namespace ZerinSim
