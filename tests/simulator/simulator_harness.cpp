#include "simulator_harness.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "child_process.h"
#include "platform/shared_library.h"
#include "program_process.h"

#include <stb_image.h>
#include <stb_image_write.h>

namespace fs = std::filesystem;

namespace ZerinTest {

std::string builtProgram(const std::string& name) {
#if defined(_WIN32)
  return joinPath(Zerin::platform::programFolder(), name + ".exe");
#else
  return joinPath(Zerin::platform::programFolder(), name);
#endif
}

std::string joinPath(const std::string& folder, const std::string& name) { return (fs::path(folder) / name).string(); }

std::string freshFolder(const std::string& name) {
  const fs::path folder = fs::current_path() / "simulator-runs" / name;
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  fs::create_directories(folder);
  return folder.string();
}

std::vector<std::string> filesIn(const std::string& folder, const std::string& suffix) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_regular_file() && name.size() >= suffix.size() &&
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
      names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string SimulatorRun::outputFile(const std::string& name) const { return joinPath(outputFolder, name); }

std::string ProgramResult::text() const {
  std::string all;
  for (const std::string& line : output) all += line + "\n";
  return all;
}

ProgramResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                         std::chrono::milliseconds limit) {
  ProgramResult result;
  ProgramProcess process;
  if (!process.start(program, arguments)) {
    result.output.push_back("could not start " + program);
    return result;
  }
  result.exitCode = process.waitForExit(limit);
  if (!result.exitCode) process.kill();
  // The child's end comes before the end of its output on the reader thread: wait for that too.
  process.waitForLine([](const std::string&) { return false; }, 0, 10000);
  result.output = process.takeLines();
  return result;
}

SimulatorRun runWithSimulator(const std::string& name, const SimulatorRunOptions& options) {
  SimulatorRun run;
  run.folder = freshFolder(name);
  run.outputFolder = joinPath(run.folder, "output");
  std::vector<std::pair<std::string, std::optional<std::string>>> variables = {{"ZERIN_RUNTIME", options.runtime}};
  if (!options.config.empty()) {
    nlohmann::json config = nlohmann::json::parse(options.config, nullptr, false);
    if (config.is_object() && !config.contains("output")) config["output"] = run.outputFolder;
    const std::string path = joinPath(run.folder, "ZerinSimulator.json");
    std::ofstream(path) << (config.is_discarded() ? options.config : config.dump(2));
    variables.emplace_back("ZERIN_SIMULATOR_CONFIG", path);
  } else {
    variables.emplace_back("ZERIN_SIMULATOR_CONFIG", std::nullopt);
  }
  for (const auto& [variable, value] : options.environment) variables.emplace_back(variable, value);
  for (const auto& [variable, value] : variables) setEnvironmentVariable(variable, value ? &*value : nullptr);

  ProgramResult result = runProgram(options.program, options.arguments, options.limit);
  for (const auto& entry : variables) setEnvironmentVariable(entry.first, nullptr);
  run.exitCode = result.exitCode;
  run.output = std::move(result.output);

  std::ifstream reportFile(run.outputFile("report.json"));
  if (!reportFile) {
    run.reportProblem = "no " + run.outputFile("report.json");
    return run;
  }
  std::stringstream text;
  text << reportFile.rdbuf();
  run.report = nlohmann::json::parse(text.str(), nullptr, false);
  if (run.report.is_discarded()) {
    run.report = nullptr;
    run.reportProblem = run.outputFile("report.json") + " is not JSON: " + text.str();
  }
  return run;
}

std::optional<Picture> readPicture(const std::string& path) {
  Picture picture;
  uint8_t* pixels = stbi_load(path.c_str(), &picture.width, &picture.height, &picture.channels, 0);
  if (!pixels) return std::nullopt;
  picture.pixels.assign(pixels, pixels + size_t(picture.width) * picture.height * picture.channels);
  stbi_image_free(pixels);
  return picture;
}

bool writePicture(const std::string& path, const Picture& picture) {
  return stbi_write_png(path.c_str(), picture.width, picture.height, picture.channels, picture.pixels.data(),
                        picture.width * picture.channels) != 0;
}

}  // namespace ZerinTest
