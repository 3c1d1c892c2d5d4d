#include "options.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "command_line.h"

namespace ZerinDemo {

namespace {

bool parseNumber(const std::string& text, double low, double high, double& value) {
  char* end = nullptr;
  const double parsed = std::strtod(text.c_str(), &end);
  if (text.empty() || *end || !(parsed >= low && parsed <= high)) return false;
  value = parsed;
  return true;
}

// A number option: `refusal` is the whole message for a value out of range, not a number, or
// (with `whole`) not a whole number.
void addNumber(CLI::App& app, const char* name, double low, double high, bool whole, const char* refusal,
               const char* description, std::function<void(double)> store) {
  app.add_option_function<std::string>(
         name,
         [=](const std::string& text) {
           double number = 0;
           if (!parseNumber(text, low, high, number) || (whole && number != std::floor(number)))
             throw CLI::ValidationError(refusal);
           store(number);
         },
         description)
      ->type_name("N");
}

std::unique_ptr<ZerinCommandLine::App> commandLine(Options& options) {
  auto app = std::make_unique<ZerinCommandLine::App>(
      "Runs a stereo VR application through the engine bridge against the simulated\n"
      "compositor runtime, program manager service and OpenVR, then prints a summary.",
      "zerin_demo", "Exit status 0 only when everything the run expected happened.");
  addNumber(*app, "--seconds", 0.2, 600, false, "--seconds takes 0.2 to 600",
            "how long the application renders (default 3, 0.2 to 600)", [&](double n) { options.seconds = n; });
  addNumber(*app, "--fps", 1, 1000, false, "--fps takes 1 to 1000",
            "the runtime's frame rate in Hz (default 90, 1 to 1000)", [&](double n) { options.frameRate = n; });
  addNumber(*app, "--layers", 1, 4, true, "--layers takes 1, 2, 3 or 4",
            "layers per frame, four views each (default 2, 1 to 4)",
            [&](double n) { options.layers = static_cast<int>(n); });
  addNumber(*app, "--frame", 1, 1e9, true, "--frame takes a frame number from 1",
            "the submitted frame to picture, from 1 (default: the middle one)",
            [&](double n) { options.pictureFrame = static_cast<int64_t>(n); });
  app->add_option_function<std::string>(
         "--output",
         [&](const std::string& text) {
           if (text.empty()) throw CLI::ValidationError("--output needs a directory");
           options.outputDirectory = text;
         },
         "where the picture, the time plot and the raw standard error go (default: the current directory; it must "
         "exist)")
      ->type_name("DIR");
  app->add_flag("--verbose", options.verbose, "print every line the plug-in and the libraries log");
  return app;
}

}  // namespace

int64_t Options::frameCount() const { return std::max<int64_t>(1, std::llround(seconds * frameRate)); }

int64_t Options::chosenFrame() const { return pictureFrame > 0 ? pictureFrame : (frameCount() + 1) / 2; }

std::string usageText() {
  Options options;
  return commandLine(options)->help();
}

bool parseOptions(int argc, char** argv, Options& options, bool& help, std::string& error) {
  if (!commandLine(options)->parse(argc, argv, help, error)) return false;
  if (options.pictureFrame > options.frameCount()) {
    error = "--frame " + std::to_string(options.pictureFrame) + " is beyond the run's " +
            std::to_string(options.frameCount()) + " frames";
    return false;
  }
  return true;
}

}  // namespace ZerinDemo
