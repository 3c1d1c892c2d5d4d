// Which runtime library the plug-in loads: ZERIN_RUNTIME, else ZerinRuntime.txt beside the
// program, else ZerinLib. The plug-in loads its runtime once per process, so each case runs in a
// child process with its own environment. This program's folder holds the plug-in and the
// simulator but no ZerinLib, which only the path cases reach (in bin/).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "child_process.h"
#include "engine_host.h"
#include "logging/utilities.h"
#include "platform/shared_library.h"
#include "plugin_log_route.h"

namespace {

const std::string kSimulator = Zerin::platform::SharedLibrary::fileName("ZerinSimulator");
#if defined(_WIN32)
const std::string kSeparator = "\\";
#else
const std::string kSeparator = "/";
#endif
// The stand-in in bin/, beside this program's folder.
const std::string kStandInFromHere = ".." + kSeparator + "bin" + kSeparator + ZERIN_STAND_IN_NAME;
const std::string kStandIn = Zerin::platform::programFolder() + kSeparator + kStandInFromHere;
const std::string kMissing = Zerin::platform::programFolder() + "/no-such-folder/" + kSimulator;
const std::string kChoiceFile = Zerin::platform::besideProgram("ZerinRuntime.txt");

#if defined(_WIN32)
const std::string kMissingText = Zerin::windowsErrorText(126);  // ERROR_MOD_NOT_FOUND
#else
const std::string kMissingText = kMissing + ": cannot open shared object file: No such file or directory";
#endif

// The child: loads the plug-in, asks whether the runtime is there (its first runtime call) and
// compares what the plug-in logged with ZERIN_TEST_LINE; ZERIN_TEST_LOADED says whether a session
// may start.
TEST(RuntimeSelectionChild, DISABLED_LogsTheChoiceOnce) {
  const char* expectedLine = std::getenv("ZERIN_TEST_LINE");
  const char* loaded = std::getenv("ZERIN_TEST_LOADED");
  ASSERT_TRUE(expectedLine && loaded);
  std::mutex linesLock;  // guards lines: the plug-in logs on the render thread too
  std::vector<std::string> lines;
  ZerinSim::PluginLogRoute route(
      [&](const char* line) {
        std::lock_guard<std::mutex> lock(linesLock);
        lines.emplace_back(line);
      },
      "");
  ZerinSim::EngineHost host;
  ASSERT_TRUE(host.openLibrary()) << host.error();
  ASSERT_TRUE(route.install(host) && host.callPluginLoad());
  const auto takeLines = [&] {
    std::lock_guard<std::mutex> lock(linesLock);
    return std::exchange(lines, {});
  };
  takeLines();

  const bool available = host.exports().IsZerinSystemInstalled();
  EXPECT_EQ(takeLines(), std::vector<std::string>{expectedLine});
  EXPECT_EQ(available, std::string(loaded) == "1");
  if (available) {
    EXPECT_NE(host.exports().GetRuntimeVersion(), nullptr);
    EXPECT_TRUE(takeLines().empty()) << "the choice is logged once";
  } else {
    EXPECT_FALSE(host.exports().InitSession());
    EXPECT_EQ(takeLines(), std::vector<std::string>{expectedLine}) << "a session start says why it failed";
    EXPECT_STREQ(host.exports().GetErrorMessage(-5), expectedLine);
  }
  host.unload();
}

struct Case {
  const char* name;
  std::vector<std::pair<std::string, std::string>> environment;
  const char* fileLine;  // null: no ZerinRuntime.txt
  std::string line;
  bool loaded;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class RuntimeSelection : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override { std::remove(kChoiceFile.c_str()); }
  void TearDown() override { std::remove(kChoiceFile.c_str()); }
};

TEST_P(RuntimeSelection, LoadsTheChosenLibraryAndSaysWhy) {
  const Case& c = GetParam();
  if (c.fileLine) std::ofstream(kChoiceFile) << c.fileLine;
  auto environment = c.environment;
  environment.emplace_back("ZERIN_TEST_LINE", c.line);
  environment.emplace_back("ZERIN_TEST_LOADED", c.loaded ? "1" : "0");
  const auto result = ZerinTest::runTestInChild("RuntimeSelectionChild.DISABLED_LogsTheChoiceOnce", environment);
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_NE(result.output.find("[  PASSED  ] 1 test."), std::string::npos) << result.output;
}

const std::string kNotLoaded = "Runtime library " + kMissing + " (ZERIN_RUNTIME=" + kMissing + ") not loaded: ";

INSTANTIATE_TEST_SUITE_P(
    Choices, RuntimeSelection,
    ::testing::Values(Case{"SimulatorByEnvironment",
                           {{"ZERIN_RUNTIME", "simulator"}},
                           nullptr,
                           "Runtime library: " + kSimulator + " (ZERIN_RUNTIME=simulator)",
                           true},
                      Case{"PathByEnvironment",
                           {{"ZERIN_RUNTIME", kStandIn}},
                           nullptr,
                           "Runtime library: " + kStandIn + " (ZERIN_RUNTIME=" + kStandIn + ")",
                           true},
                      Case{"SimulatorByFile",
                           {},
                           "simulator\r\n# later lines are not read\n",
                           "Runtime library: " + kSimulator + " (" + kChoiceFile + ": simulator)",
                           true},
                      Case{"EnvironmentOverFile",
                           {{"ZERIN_RUNTIME", kStandIn}},
                           "simulator",
                           "Runtime library: " + kStandIn + " (ZERIN_RUNTIME=" + kStandIn + ")",
                           true},
                      Case{"EmptyEnvironmentLeavesTheFile",
                           {{"ZERIN_RUNTIME", ""}},
                           "  simulator  ",
                           "Runtime library: " + kSimulator + " (" + kChoiceFile + ": simulator)",
                           true},
                      Case{"RelativePathInTheFileFromItsFolder",
                           {},
                           kStandInFromHere.c_str(),
                           "Runtime library: " + kStandIn + " (" + kChoiceFile + ": " + kStandInFromHere + ")",
                           true},
                      Case{"MissingPath", {{"ZERIN_RUNTIME", kMissing}}, nullptr, kNotLoaded + kMissingText, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
