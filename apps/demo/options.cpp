#include "options.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace ZerinDemo {

namespace {

bool parseNumber(const char* text, double low, double high, double& value) {
  char* end = nullptr;
  const double parsed = std::strtod(text, &end);
  if (!text[0] || *end || !(parsed >= low && parsed <= high)) return false;
  value = parsed;
  return true;
}

}  // namespace

int64_t Options::frameCount() const { return std::max<int64_t>(1, std::llround(seconds * frameRate)); }

int64_t Options::chosenFrame() const { return pictureFrame > 0 ? pictureFrame : (frameCount() + 1) / 2; }

const char* usageText() {
  return "Usage: zerin_demo [options]\n"
         "Runs a stereo VR application through the engine bridge against the simulated\n"
         "compositor runtime, program manager service and OpenVR, then prints a summary.\n"
         "\n"
         "  --seconds N   how long the application renders (default 3, 0.2 to 600)\n"
         "  --fps N       the runtime's frame rate in Hz (default 90, 1 to 1000)\n"
         "  --layers N    layers per frame, four views each (default 2, 1 to 4)\n"
         "  --frame N     the submitted frame to picture, from 1 (default: the middle one)\n"
         "  --output DIR  where the picture, the time plot and the raw standard error go\n"
         "                (default: the current directory; it must exist)\n"
         "  --verbose     print every line the plug-in and the libraries log\n"
         "  --help        this text\n"
         "\n"
         "Exit status 0 only when everything the run expected happened.\n";
}

bool parseOptions(int argc, char** argv, Options& options, bool& help, std::string& error) {
  help = false;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    const auto value = [&](const char* name) -> const char* {
      if (i + 1 >= argc) {
        error = std::string(name) + " needs a value";
        return nullptr;
      }
      return argv[++i];
    };
    double number = 0;
    if (!std::strcmp(arg, "--help") || !std::strcmp(arg, "-h")) {
      help = true;
      return false;
    } else if (!std::strcmp(arg, "--verbose")) {
      options.verbose = true;
    } else if (!std::strcmp(arg, "--seconds")) {
      const char* text = value(arg);
      if (!text) return false;
      if (!parseNumber(text, 0.2, 600, options.seconds)) return error = "--seconds takes 0.2 to 600", false;
    } else if (!std::strcmp(arg, "--fps")) {
      const char* text = value(arg);
      if (!text) return false;
      if (!parseNumber(text, 1, 1000, options.frameRate)) return error = "--fps takes 1 to 1000", false;
    } else if (!std::strcmp(arg, "--layers")) {
      const char* text = value(arg);
      if (!text) return false;
      if (!parseNumber(text, 1, 4, number) || number != static_cast<int>(number))
        return error = "--layers takes 1, 2, 3 or 4", false;
      options.layers = static_cast<int>(number);
    } else if (!std::strcmp(arg, "--frame")) {
      const char* text = value(arg);
      if (!text) return false;
      if (!parseNumber(text, 1, 1e9, number) || number != std::floor(number))
        return error = "--frame takes a frame number from 1", false;
      options.pictureFrame = static_cast<int64_t>(number);
    } else if (!std::strcmp(arg, "--output")) {
      const char* text = value(arg);
      if (!text) return false;
      if (!text[0]) return error = "--output needs a directory", false;
      options.outputDirectory = text;
    } else {
      error = std::string("unknown option ") + arg;
      return false;
    }
  }
  if (options.pictureFrame > options.frameCount()) {
    error = "--frame " + std::to_string(options.pictureFrame) + " is beyond the run's " +
            std::to_string(options.frameCount()) + " frames";
    return false;
  }
  return true;
}

}  // namespace ZerinDemo
