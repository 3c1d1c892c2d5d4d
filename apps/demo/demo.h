#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "options.h"
#include "statistics.h"

namespace ZerinDemo {

// What one run measured; every number is read back from the stand-ins or timed, none assumed.
struct Summary {
  bool pluginLoaded = false;
  bool sessionOpened = false;
  int64_t framesIssued = 0;        // frames the application drove (sync, begin, submit)
  int64_t framesSubmitted = 0;     // submissions the runtime received
  int64_t framesRejected = 0;      // submissions the runtime received with an error
  int64_t framesDropped = 0;       // frames issued that never reached the runtime
  int64_t layersSubmitted = 0;
  Percentiles pluginMicroseconds;  // render-thread time per frame inside the plug-in
  Percentiles ownMicroseconds;     // the same less the device's calls, where they run on it
  Percentiles deviceMicroseconds;  // the device's time for the plug-in's frame work
  Percentiles syncMicroseconds;    // render-thread time per frame waiting for the frame sync
  int64_t colourPixelsChecked = 0, colourPixelsMatched = 0;
  int64_t depthPixelsChecked = 0, depthPixelsMatched = 0;
  bool engineTargetsRestored = false;
  int64_t poseFramesSeen = 0;      // distinct frame indices read with GetFramePoseData
  int64_t eventsDelivered = 0;
  int64_t gazeSamples = 0;
  bool mixedRealityAvailable = false;
  int64_t streamFrames = 0;
  int32_t occlusionVertices[2] = {0, 0};
  bool programManagerConnected = false;
  int64_t programManagerMessages = 0;   // messages the engine callback received
  int64_t servicePings = 0;             // pings the service received
  int64_t serviceRestartRequests = 0;   // 43-byte RestartActiveClient frames the service read
  int32_t trackedDevices = 0;
  std::vector<std::string> trackedDeviceLines;
  int64_t pictureFrame = 0;        // the submitted frame pictured (from 1)
  int64_t picturePoseFrame = -1;   // the frame its pose belonged to
  int64_t pictureRuntimeFrame = -1;  // the runtime's index of the frame it ended
  std::string picturePath, plotPath, standardErrorPath;  // the files written; empty if not
  int64_t pluginLogLines = 0;
  int64_t pluginErrorLines = 0;         // "Error: ..." / "Got an error" lines
  std::vector<std::string> failures;    // what the run expected and did not see
  double seconds = 0;
};

Summary runDemo(const Options& options);
void printSummary(const Options& options, const Summary& summary);

}  // namespace ZerinDemo
