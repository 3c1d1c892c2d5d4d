// The headset simulator's hub: its configuration, its log, and the runtime's hooks handed to
// its parts.
#include "simulator.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <system_error>

#include "captures.h"
#include "head_motion.h"
#include "mirror.h"
#include "platform/shared_library.h"
#include "run_report.h"
#include "runtime_state.h"
#include "sim_parts.h"
#include "zerin_version.h"

namespace ZerinSim {

Simulator& Simulator::instance() {
  static Simulator simulator;
  return simulator;
}

std::string Simulator::configurationPath() {
  if (const char* named = std::getenv("ZERIN_SIMULATOR_CONFIG"); named && *named) return named;
  const std::string beside = Zerin::platform::besideProgram("ZerinSimulator.json");
  std::error_code error;
  return std::filesystem::is_regular_file(beside, error) ? beside : "";
}

Simulator::Simulator() {
  const std::string path = configurationPath();
  if (!path.empty()) {
    ConfigOutcome outcome = loadConfig(path);
    if (outcome.config) configuration = std::move(*outcome.config);
    else refusal = outcome.error;
  }
  motion = std::make_unique<HeadMotion>(*this);
  capturing = std::make_unique<Captures>(*this);
  reporting = std::make_unique<RunReport>(*this);
  mirroring = std::make_unique<Mirror>(*this);
  if (!refusal.empty()) log("configuration refused: " + refusal);
  else if (path.empty())
    log("no configuration file (ZERIN_SIMULATOR_CONFIG unset, no ZerinSimulator.json beside the program): using the "
        "defaults");
  else log("configuration read from " + path);
  log(std::string("reporting runtime version ") + ZERIN_RUNTIME_VERSION + ", the plug-in's own, so its version check passes");
}

// Process exit: the report of a session never ended, and what its captures left. Static
// destruction, on Windows under the loader lock: see Captures::processEnding.
Simulator::~Simulator() {
  capturing->processEnding();
  if (sessionsOpened) reporting->write(true);
}

void Simulator::log(const std::string& line) { std::fprintf(stderr, "[ZerinSimulator] %s\n", line.c_str()); }

namespace {

// The head pose of each session's latest frame, for zerin_FrameGetPose; guarded by the library
// lock, like the hooks that use it.
std::map<ZerinSession, HeadPose>& latestPoses() {
  // Never destroyed: a client may end its session from a static destructor of its own.
  static auto* poses = new std::map<ZerinSession, HeadPose>;
  return *poses;
}

void raiseScripted(RuntimeState& state, ZerinSession session, int64_t frame, const std::vector<ScriptedEvent>& events) {
  const auto due = std::equal_range(events.begin(), events.end(), ScriptedEvent{frame},
                                    [](const ScriptedEvent& a, const ScriptedEvent& b) { return a.frame < b.frame; });
  for (auto event = due.first; event != due.second; ++event) {
    Simulator::instance().report().noteEvent(frame, *event);
    switch (event->kind) {
      case ScriptedEvent::Kind::buttonDown: setButton(state, event->value, true); break;
      case ScriptedEvent::Kind::buttonUp: setButton(state, event->value, false); break;
      case ScriptedEvent::Kind::visibility: setSessionVisible(state, session, event->value != 0); break;
      case ScriptedEvent::Kind::foreground: setForeground(state, event->value != 0); break;
      case ScriptedEvent::Kind::standby: setHeadsetStandby(state, event->value != 0); break;
      case ScriptedEvent::Kind::streamStart: raiseEvent(state, ZERIN_EVENT_DATA_STREAM_START, event->value); break;
      case ScriptedEvent::Kind::streamStop: raiseEvent(state, ZERIN_EVENT_DATA_STREAM_STOP, event->value); break;
    }
  }
}

// The gaze samples that fall in frame `frame`, numbered and timed by the frame clock, so that a
// run gets the same samples at any speed.
void queueGaze(const SimulatorConfig& config, int64_t frame) {
  if (config.gaze.kind == GazeConfig::Kind::off) return;
  const double perFrame = config.gaze.samplesPerSecond / config.frameRate;
  const auto first = static_cast<int64_t>(std::floor(static_cast<double>(frame - 1) * perFrame));
  const auto last = static_cast<int64_t>(std::floor(static_cast<double>(frame) * perFrame));
  for (int64_t tick = first + 1; tick <= last; ++tick) {
    const Vector3 direction = HeadMotion::gazeDirection(config.gaze, config.headMotion.pathPeriodFrames,
                                                        static_cast<double>(tick) / perFrame);
    const int64_t timestamp = config.virtualClock
                                  ? static_cast<int64_t>(static_cast<double>(tick) * 1e9 / config.gaze.samplesPerSecond)
                                  : runtimeClock();
    ZerinGazeSample sample = gazeSample(tick, timestamp, {direction[0], direction[1], direction[2]});
    sample.frameIndex = frame;
    queueGazeSample(sample);
  }
}

}  // namespace

namespace hooks {

void stateMade(RuntimeState& state) {
  const SimulatorConfig& config = Simulator::instance().config();
  latestPoses().clear();
  state.frames.frameRate = config.frameRate;
  setGazeRate(0.0);  // the samples come with the frames instead (queueGaze)
  setStreamPatternMoving(config.cameraStreams.movingPattern);
  std::vector<ZerinOcclusionVertex> mesh;
  for (const auto& vertex : config.occlusionMesh.vertices) mesh.push_back({vertex[0], vertex[1]});
  setOcclusionMesh(std::move(mesh));
}

const std::string& startProblem() { return Simulator::instance().problem(); }

bool virtualClock() { return Simulator::instance().config().virtualClock; }

bool recommendedViewports(ZerinViewport (&viewports)[ZERIN_VIEW_COUNT]) {
  const SimulatorConfig& config = Simulator::instance().config();
  for (ZerinViewport& viewport : viewports)
    viewport = ZerinViewport{0, 0, static_cast<int32_t>(config.recommendedWidth),
                             static_cast<int32_t>(config.recommendedHeight)};
  return true;
}

void sessionOpened(RuntimeState&, ZerinSession) {
  Simulator& simulator = Simulator::instance();
  simulator.noteSessionOpened();
  simulator.captures().sessionOpened();
  simulator.report().sessionOpened();
}

void sessionClosing(RuntimeState&, ZerinSession session) {
  latestPoses().erase(session);
  Simulator& simulator = Simulator::instance();
  simulator.frameWatch().sessionEnded();
  simulator.captures().sessionClosing();
  simulator.mirror().sessionClosing();
  simulator.report().write();
}

bool frameSynced(RuntimeState& state, ZerinSession session, int64_t frame, FrameInfoRecord& record) {
  Simulator& simulator = Simulator::instance();
  simulator.report().noteSynced(frame);
  simulator.frameWatch().frameSynced(frame);
  raiseScripted(state, session, frame, simulator.config().events);
  queueGaze(simulator.config(), frame);
  const HeadPose pose = simulator.headMotion().poseAt(frame);
  latestPoses()[session] = pose;
  for (int view = 0; view < ZERIN_VIEW_COUNT; ++view)
    record.views[view].pose = simulator.headMotion().viewMatrix(pose, view);
  return true;
}

bool framePose(ZerinSession session, int64_t poseKind, ZerinMatrix& pose) {
  Simulator& simulator = Simulator::instance();
  const auto latest = latestPoses().find(session);
  const HeadPose head = latest != latestPoses().end() ? latest->second : simulator.headMotion().poseAt(0);
  pose = poseKind == ZERIN_POSE_HEAD ? HeadMotion::headMatrix(head)
                                     : simulator.headMotion().viewMatrix(head, poseKind == ZERIN_POSE_LEFT_EYE ? 0 : 1);
  return true;
}

void frameSubmitted(RuntimeState& state, const ZerinSimSubmittedFrame& frame) {
  Simulator& simulator = Simulator::instance();
  simulator.report().noteSubmitted(frame);
  simulator.captures().frameSubmitted(state, frame);
  simulator.mirror().frameSubmitted(state, frame);
}
// finding and strict: zerin_simulator_findings.cpp, beside the exports that read and steer them.

}  // namespace hooks

}  // namespace ZerinSim
