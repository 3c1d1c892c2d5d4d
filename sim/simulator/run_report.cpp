#include "run_report.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "captures.h"
#include "zerin_version.h"

namespace ZerinSim {

namespace {

const char* eventType(ScriptedEvent::Kind kind) {
  switch (kind) {
    case ScriptedEvent::Kind::buttonDown: return "buttonDown";
    case ScriptedEvent::Kind::buttonUp: return "buttonUp";
    case ScriptedEvent::Kind::visibility: return "visibility";
    case ScriptedEvent::Kind::foreground: return "foreground";
    case ScriptedEvent::Kind::standby: return "standby";
    case ScriptedEvent::Kind::streamStart: return "streamStart";
    case ScriptedEvent::Kind::streamStop: return "streamStop";
  }
  return "unknown";
}

// The configuration key that holds an event's value.
const char* eventValueKey(ScriptedEvent::Kind kind) {
  switch (kind) {
    case ScriptedEvent::Kind::buttonDown:
    case ScriptedEvent::Kind::buttonUp: return "button";
    case ScriptedEvent::Kind::streamStart:
    case ScriptedEvent::Kind::streamStop: return "stream";
    default: return "value";
  }
}

}  // namespace

IntervalSummary summariseIntervals(std::vector<double> milliseconds) {
  IntervalSummary summary;
  if (milliseconds.empty()) return summary;
  std::sort(milliseconds.begin(), milliseconds.end());
  const size_t count = milliseconds.size();
  summary.median = count % 2 ? milliseconds[count / 2] : (milliseconds[count / 2 - 1] + milliseconds[count / 2]) / 2.0;
  const size_t rank = static_cast<size_t>(std::ceil(0.99 * static_cast<double>(count)));
  summary.p99 = milliseconds[std::max<size_t>(rank, 1) - 1];
  return summary;
}

void RunReport::sessionOpened() {
  std::lock_guard<std::mutex> lock(mutex);
  received = accepted = late = 0;
  unsubmitted.clear();
  intervals.clear();
  lastSubmission = Clock::time_point{};
  layerCounts.clear();
  viewCounts.clear();
  events.clear();
}

void RunReport::noteSynced(int64_t frame) {
  std::lock_guard<std::mutex> lock(mutex);
  unsubmitted.insert(frame);
}

void RunReport::noteSubmitted(const ZerinSimSubmittedFrame& frame) {
  const Clock::time_point now = Clock::now();
  std::lock_guard<std::mutex> lock(mutex);
  ++received;
  if (frame.error == 0) ++accepted;
  unsubmitted.erase(frame.begunFrameIndex != 0 ? frame.begunFrameIndex : frame.submit.frameIndex);
  if (lastSubmission != Clock::time_point{}) {
    const double interval = std::chrono::duration<double, std::milli>(now - lastSubmission).count();
    intervals.push_back(interval);
    const double period = 1000.0 / simulator.config().frameRate;
    if (!simulator.config().virtualClock && interval > 1.5 * period) ++late;
  }
  lastSubmission = now;
  const int layers = std::clamp(frame.submit.layerCount, 0, 4);
  ++layerCounts[layers];
  int views = 0;
  for (int l = 0; l < layers; ++l) views += std::clamp(frame.layers[l].viewCount, 0, int(ZERIN_VIEW_COUNT));
  ++viewCounts[views];
}

void RunReport::noteEvent(int64_t frame, const ScriptedEvent& event) {
  nlohmann::json entry = {{"frame", frame}, {"type", eventType(event.kind)}};
  entry[eventValueKey(event.kind)] = event.value;
  std::lock_guard<std::mutex> lock(mutex);
  events.push_back(entry.dump());
}

std::string RunReport::text() {
  std::lock_guard<std::mutex> lock(mutex);
  return textLocked();
}

std::string RunReport::textLocked() {
  nlohmann::ordered_json report;
  report["runtime"] = "ZerinSimulator";
  report["version"] = ZERIN_RUNTIME_VERSION;
  const std::string& source = simulator.config().source;
  report["configuration"] = source.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(source);
  report["framesReceived"] = received;
  report["framesAccepted"] = accepted;
  report["missedFrames"] = static_cast<int64_t>(unsubmitted.size()) + late;
  const IntervalSummary summary = summariseIntervals(intervals);
  report["frameIntervalMilliseconds"] = {{"median", summary.median}, {"p99", summary.p99}};
  report["layersPerFrame"] = nlohmann::ordered_json::object();
  for (const auto& [layers, count] : layerCounts) report["layersPerFrame"][std::to_string(layers)] = count;
  report["viewsPerFrame"] = nlohmann::ordered_json::object();
  for (const auto& [views, count] : viewCounts) report["viewsPerFrame"][std::to_string(views)] = count;
  std::vector<std::string> captures = simulator.captures().written();
  std::sort(captures.begin(), captures.end());
  report["captures"] = captures;
  report["capturesDropped"] = simulator.captures().dropped();
  report["events"] = nlohmann::ordered_json::array();
  for (const std::string& event : events) report["events"].push_back(nlohmann::ordered_json::parse(event));
  report["findings"] = nlohmann::ordered_json::array();
  for (const Finding& finding : simulator.findings().all())
    report["findings"].push_back(
        {{"id", finding.id}, {"frame", finding.frame}, {"message", finding.sentence}, {"count", finding.count}});
  return report.dump(2) + "\n";
}

bool RunReport::write(bool atExit) {
  std::unique_lock<std::mutex> lock(mutex, std::defer_lock);
  if (!atExit) {
    lock.lock();
  } else if (!lock.try_lock()) {
    simulator.log("report: not written, the process ended while a frame was being noted");
    return false;
  }
  const std::filesystem::path folder = simulator.config().outputFolder;
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  const std::filesystem::path path = folder / "report.json";
  // Written beside and renamed, so that a reader never sees half a report.
  const std::filesystem::path partial = folder / "report.json.partial";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out << textLocked();
    if (!out.flush()) {
      simulator.log("report: cannot write " + partial.string());
      return false;
    }
  }
  std::filesystem::rename(partial, path, error);
  if (error) {
    simulator.log("report: cannot write " + path.string() + ": " + error.message());
    return false;
  }
  return true;
}

}  // namespace ZerinSim
