#include "recording.h"

namespace ZerinSim {

bool readRecording(const std::string& path, Recording&, std::string& error) {
  error = path + ": recordings are not read yet";
  return false;
}

std::string recordedPoseLine(const RecordedPose&) { return ""; }
std::string recordedButtonLine(const RecordedButton&) { return ""; }

}  // namespace ZerinSim
