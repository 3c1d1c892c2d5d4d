#pragma once
#include <string>
#include <vector>

#include "capture.h"

namespace ZerinTest {

// The debugger output of this test so far, each line without its timestamp and newline:
// "WAR [Zerin::LayerByteMessageReceiver::run] Corrupted message".
inline std::vector<std::string> logLines() {
  std::vector<std::string> lines;
  for (const std::string& text : debugOutput()) {
    const size_t date = text.find(' ');
    const size_t time = date == std::string::npos ? std::string::npos : text.find(' ', date + 1);
    std::string line = time == std::string::npos ? text : text.substr(time + 1);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

}  // namespace ZerinTest
