#pragma once
#include <cstdint>
#include <string>

namespace ZerinDemo {

struct Options {
  double seconds = 3.0;      // how long the application runs
  double frameRate = 90.0;   // the runtime's frame clock
  int layers = 2;            // layers per submission (1-4), four views each
  int64_t pictureFrame = 0;  // the frame (from 1) whose images are written; 0: the middle one
  std::string outputDirectory = ".";  // where the picture, the plot and standard error go
  bool verbose = false;      // print every plug-in log line

  int64_t frameCount() const;  // frames the run issues
  int64_t chosenFrame() const;  // pictureFrame, or the middle frame when it is 0
};

// Parses the command line; false with `error` set (or `help` true) when the program should
// not run.
bool parseOptions(int argc, char** argv, Options& options, bool& help, std::string& error);
std::string usageText();  // generated from the options parseOptions takes

}  // namespace ZerinDemo
