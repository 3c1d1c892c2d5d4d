// Desk-mode recordings: read with the configuration's checks, one JSON object a line.
#include "recording.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "config_reader.h"

namespace ZerinSim {

namespace {

using namespace ConfigReading;

// One line of a recording into `recording`; frames never go back.
bool readLine(const Document& line, const std::string& path, Recording& recording, int64_t& lastFrame,
              std::string& error) {
  Reader reader(line, path);
  const Json& item = line.root;
  int64_t frame = 0;
  const Json* frameValue = nullptr;
  if (reader.object(item, "", {"frame", "position", "yawPitchRoll", "button", "down", "gaze"}))
    frameValue = reader.require(item, "", "frame", "a whole number from 0");
  if (frameValue && reader.whole(*frameValue, "frame", lastFrame, INT64_MAX, frame)) {
    if (const Json* button = Reader::find(item, "button")) {
      RecordedButton pressed{frame, 0, false};
      reader.whole(*button, "button", 0, UINT32_MAX, pressed.button);
      if (const Json* down = reader.require(item, "", "down", "true or false"))
        reader.flag(*down, "down", pressed.down);
      if (!reader.failed()) recording.buttons.push_back(pressed);
    } else if (const Json* gaze = Reader::find(item, "gaze")) {
      GazeFrame sample{frame, {}};
      if (reader.vector3(*gaze, "gaze", sample.direction)) recording.gaze.push_back(sample);
    } else {
      RecordedPose pose{frame, {}};
      const Json* position = reader.require(item, "", "position", "an array of 3 numbers");
      if (position && reader.vector3(*position, "position", pose.pose.position)) {
        const Json* orientation = reader.require(item, "", "yawPitchRoll", "an array of 3 numbers");
        if (orientation && reader.vector3(*orientation, "yawPitchRoll", pose.pose.yawPitchRoll))
          recording.poses.push_back(pose);
      }
    }
  }
  lastFrame = frame;
  error = reader.refusal();
  return !reader.failed();
}

std::string lineOf(const nlohmann::ordered_json& line) { return line.dump() + "\n"; }

}  // namespace

bool readRecording(const std::string& path, Recording& recording, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = path + ": the file cannot be read (" + std::strerror(errno) + ")";
    return false;
  }
  Recording read;
  int64_t lastFrame = 0;
  std::string text;
  for (int64_t number = 1; std::getline(file, text); ++number) {
    if (text.find_first_not_of(" \t\r") == std::string::npos) continue;
    const Document line = parseDocument(text, path, number);
    if (!line.error.empty()) {
      error = line.error;
      return false;
    }
    if (!readLine(line, path, read, lastFrame, error)) return false;
  }
  recording = std::move(read);
  return true;
}

std::string recordedPoseLine(const RecordedPose& pose) {
  return lineOf({{"frame", pose.frame}, {"position", pose.pose.position}, {"yawPitchRoll", pose.pose.yawPitchRoll}});
}

std::string recordedButtonLine(const RecordedButton& button) {
  return lineOf({{"frame", button.frame}, {"button", button.button}, {"down", button.down}});
}

std::string recordedGazeLine(const GazeFrame& gaze) {
  return lineOf({{"frame", gaze.frame}, {"gaze", gaze.direction}});
}

}  // namespace ZerinSim
