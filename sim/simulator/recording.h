#pragma once
// A desk-mode recording: one JSON object a line, in frame order, so that a run cut short still
// leaves a file that replays up to where it stopped.
//   {"frame": 12, "position": [0.0, 1.6, 0.0], "yawPitchRoll": [10.0, 0.0, 0.0]}
//   {"frame": 12, "button": 3, "down": true}
//   {"frame": 12, "gaze": [0.0, 0.0, -1.0]}
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "simulator_config.h"

namespace ZerinSim {

struct RecordedPose {
  int64_t frame = 0;
  HeadPose pose;
};

struct RecordedButton {
  int64_t frame = 0;
  int64_t button = 0;
  bool down = false;
};

struct Recording {
  std::vector<RecordedPose> poses;      // by frame
  std::vector<RecordedButton> buttons;  // by frame
  std::vector<GazeFrame> gaze;          // by frame
};

// Reads a recording; false with `error` naming the file and line of the first bad one.
bool readRecording(const std::string& path, Recording& recording, std::string& error);
// The lines of a recording, each ending in a newline, as the desk writes them one frame at a
// time; numbers are written so that they read back exactly.
std::string recordedPoseLine(const RecordedPose& pose);
std::string recordedButtonLine(const RecordedButton& button);
std::string recordedGazeLine(const GazeFrame& gaze);

}  // namespace ZerinSim
