// The headset simulator's hub: its configuration, its log, and the runtime's hooks handed to
// its parts.
#include "simulator.h"

#include <cstdio>
#include <cstdlib>

#include "captures.h"
#include "head_motion.h"
#include "mirror.h"
#include "run_report.h"
#include "runtime_state.h"
#include "zerin_version.h"

namespace ZerinSim {

Simulator& Simulator::instance() {
  static Simulator simulator;
  return simulator;
}

std::string Simulator::configurationPath() {
  if (const char* named = std::getenv("ZERIN_SIMULATOR_CONFIG"); named && *named) return named;
  return "";
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
  else if (path.empty()) log("no configuration file (ZERIN_SIMULATOR_CONFIG unset): using the defaults");
  else log("configuration read from " + path);
  log(std::string("reporting runtime version ") + ZERIN_RUNTIME_VERSION + ", the plug-in's own, so its version check passes");
}

Simulator::~Simulator() = default;

void Simulator::log(const std::string& line) { std::fprintf(stderr, "[ZerinSimulator] %s\n", line.c_str()); }

namespace hooks {

void stateMade(RuntimeState& state) {
  Simulator& simulator = Simulator::instance();
  state.frames.frameRate = simulator.config().frameRate;
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

void sessionOpened(RuntimeState&, ZerinSession) {}
void sessionClosing(RuntimeState&, ZerinSession) { Simulator::instance().mirror().sessionClosing(); }
bool frameSynced(RuntimeState&, ZerinSession, int64_t, FrameInfoRecord&) { return false; }
bool framePose(ZerinSession, int64_t, ZerinMatrix&) { return false; }
void frameSubmitted(RuntimeState& state, const ZerinSimSubmittedFrame& frame) {
  Simulator::instance().mirror().frameSubmitted(state, frame);
}
void finding(const char* id, int64_t frame, const std::string& sentence) {
  Simulator::instance().findings().add(id, frame, sentence);
}
bool strict() { return Simulator::instance().config().strict; }

}  // namespace hooks

}  // namespace ZerinSim
