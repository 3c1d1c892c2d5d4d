#pragma once
// The headset simulator: the simulated runtime as developers run it (ZerinSimulator), configured
// by a file instead of a test's control calls. It reads its configuration when the runtime's
// state is made and takes part in the runtime's calls through the hooks of simulator_hooks.h;
// its parts are below.
#include <atomic>
#include <memory>
#include <string>

#include "findings.h"
#include "frame_watch.h"
#include "simulator_config.h"
#include "simulator_hooks.h"

namespace ZerinSim {

class HeadMotion;   // head_motion.h: the head pose of each frame, from the configuration or the desk
class Captures;     // captures.h: captured views written as pictures, off the render thread
class RunReport;    // run_report.h: frames, intervals, layers, views and findings; the JSON report
class Mirror;       // mirror.h: desk mode's window

class Simulator {
 public:
  static Simulator& instance();
  ~Simulator();

  // Where the configuration came from: ZERIN_SIMULATOR_CONFIG, else ZerinSimulator.json beside
  // the program, else none (the defaults).
  static std::string configurationPath();

  const SimulatorConfig& config() const { return configuration; }
  // Empty, or why the simulator refuses to run.
  const std::string& problem() const { return refusal; }

  // One line of the simulator's own log: standard error and simulator.log in the output folder.
  void log(const std::string& line);

  HeadMotion& headMotion() { return *motion; }
  Captures& captures() { return *capturing; }
  RunReport& report() { return *reporting; }
  Mirror& mirror() { return *mirroring; }
  Findings& findings() { return found; }
  FrameWatch& frameWatch() { return frames; }

  // A session was opened in this process: its report is written again at process exit.
  void noteSessionOpened() { sessionsOpened = true; }

 private:
  Simulator();

  SimulatorConfig configuration;
  std::string refusal;
  Findings found;
  FrameWatch frames;
  std::atomic<bool> sessionsOpened{false};
  std::unique_ptr<HeadMotion> motion;
  std::unique_ptr<Captures> capturing;
  std::unique_ptr<RunReport> reporting;
  std::unique_ptr<Mirror> mirroring;
};

}  // namespace ZerinSim
