#pragma once
// Runs a program against the headset simulator with a configuration of the test's, and reads
// what the run left: its report and its pictures. Shared by the simulator's tests.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace ZerinTest {

// A program of the build (an executable beside the test program), by its name without suffix.
std::string builtProgram(const std::string& name);

struct SimulatorRunOptions {
  std::string program;
  std::vector<std::string> arguments;
  // The configuration's JSON text; its "output" is set to the run's output folder unless it
  // names one. Empty: no configuration file (ZERIN_SIMULATOR_CONFIG unset).
  std::string config = "{}";
  std::string runtime = "simulator";  // ZERIN_RUNTIME
  std::chrono::milliseconds limit{120000};
  std::vector<std::pair<std::string, std::string>> environment;  // more variables for the run
};

struct SimulatorRun {
  std::string folder;               // the run's own folder: the configuration file and the output
  std::string outputFolder;         // where the simulator was told to write
  std::optional<int> exitCode;      // nothing when it outlived the limit and was killed
  std::vector<std::string> output;  // its standard output, line by line
  nlohmann::json report;            // report.json; null when absent or unreadable
  std::string reportProblem;        // why report is null

  std::string outputFile(const std::string& name) const;
};

// Runs `options.program` in a fresh folder named `name` under the test's working folder (left
// behind for a look after a failure), with ZERIN_RUNTIME and ZERIN_SIMULATOR_CONFIG set for it
// only, and reads its report once it has ended.
SimulatorRun runWithSimulator(const std::string& name, const SimulatorRunOptions& options);

// A program's end: its exit code (nothing when it was killed at the limit) and output lines.
struct ProgramResult {
  std::optional<int> exitCode;
  std::vector<std::string> output;
  std::string text() const;  // the lines joined, for failure messages
};
ProgramResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                         std::chrono::milliseconds limit = std::chrono::milliseconds(60000));

// A PNG file's pixels as stored: `channels` bytes per pixel, rows without padding.
struct Picture {
  int width = 0;
  int height = 0;
  int channels = 0;
  std::vector<uint8_t> pixels;
};
std::optional<Picture> readPicture(const std::string& path);
bool writePicture(const std::string& path, const Picture& picture);

// A fresh, empty folder `name` under the test's working folder; its path.
std::string freshFolder(const std::string& name);
// The names of the files in `folder` that end in `suffix`, sorted.
std::vector<std::string> filesIn(const std::string& folder, const std::string& suffix = "");
std::string joinPath(const std::string& folder, const std::string& name);

}  // namespace ZerinTest
