#pragma once
#include <string>

namespace ZerinDemo {

struct Options {
  double seconds = 3.0;      // how long the application runs
  double frameRate = 90.0;   // the runtime's frame clock
  int layers = 2;            // layers per submission (1-4), four views each
  bool verbose = false;      // print every plug-in log line
};

// Parses the command line; false with `error` set (or `help` true) when the program should
// not run.
bool parseOptions(int argc, char** argv, Options& options, bool& help, std::string& error);
const char* usageText();

}  // namespace ZerinDemo
