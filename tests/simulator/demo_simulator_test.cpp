// The demo against the headset simulator, as a developer's CI runs an application: a
// configuration scripts head motion, a button and captures; the report and the pictures show
// them. The demo's own checks read the stand-in it links, which sees nothing of this run, so
// its exit status says nothing here.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "simulator_harness.h"

namespace {

std::string demoConfig(double x) {
  const std::string position = "[" + std::to_string(x) + ", 1.6, 0.0]";
  return R"({"headMotion": {"kind": "keyframes", "keyframes": [
               {"frame": 1, "position": [0.0, 1.6, 0.0], "yawPitchRoll": [0.0, 0.0, 0.0]},
               {"frame": 40, "position": )" +
         position + R"(, "yawPitchRoll": [30.0, 10.0, 0.0]}]},
             "events": [{"frame": 20, "type": "buttonDown", "button": 3},
                        {"frame": 24, "type": "buttonUp", "button": 3}],
             "capture": {"frames": [10, 30], "depth": true}})";
}

ZerinTest::SimulatorRun runDemo(const std::string& name, double x) {
  ZerinTest::SimulatorRunOptions options;
  options.program = ZerinTest::builtProgram("zerin_demo");
  options.arguments = {"--seconds", "1", "--fps",    "40",
                       "--layers",  "1", "--output", "simulator-runs/" + name + "-demo"};
  options.config = demoConfig(x);
  return ZerinTest::runWithSimulator(name, options);
}

std::vector<std::string> expectedCaptures() {
  std::vector<std::string> names;
  for (const char* frame : {"000010", "000030"})
    for (int view = 0; view < 4; ++view)
      for (const char* kind : {"colour", "depth"})
        names.push_back(std::string("frame-") + frame + "-layer0-view" + std::to_string(view) + "-" + kind + ".png");
  return names;
}

std::vector<std::string> framesOf(const nlohmann::json& report) {
  std::vector<std::string> names;
  for (const auto& name : report["captures"]) names.push_back(name);
  return names;
}

TEST(DemoAgainstSimulator, ReportAndPicturesShowWhatTheConfigurationAsked) {
  const ZerinTest::SimulatorRun run = runDemo("demo-scripted", 12.0);
  ASSERT_TRUE(run.exitCode.has_value()) << "the demo did not end";
  ASSERT_FALSE(run.report.is_null()) << run.reportProblem;
  EXPECT_EQ(run.report["framesReceived"], 40);
  EXPECT_EQ(run.report["framesAccepted"], 40);
  EXPECT_EQ(run.report["layersPerFrame"], nlohmann::json::parse(R"({"1": 40})"));
  EXPECT_EQ(run.report["viewsPerFrame"], nlohmann::json::parse(R"({"4": 40})"));
  EXPECT_EQ(run.report["events"], nlohmann::json::parse(R"([{"frame": 20, "type": "buttonDown", "button": 3},
                                                          {"frame": 24, "type": "buttonUp", "button": 3}])"));
  EXPECT_EQ(framesOf(run.report), expectedCaptures());
  EXPECT_EQ(ZerinTest::filesIn(run.outputFolder, ".png"), expectedCaptures());
  for (const std::string& name : expectedCaptures()) {
    const auto picture = ZerinTest::readPicture(run.outputFile(name));
    ASSERT_TRUE(picture) << name;
    EXPECT_EQ(std::make_pair(picture->width, picture->height), std::make_pair(128, 128)) << name;
  }
}

// The same configuration makes the same pictures however busy the machine is; another pose
// makes others, and the compare tool says where. The moved head goes left of the origin, where
// the demo reads negative frame numbers from its poses.
TEST(DemoAgainstSimulator, CapturesRepeatUnderLoadAndFollowThePose) {
  const ZerinTest::SimulatorRun first = runDemo("demo-first", 12.0);
  std::atomic<bool> busy{true};
  std::vector<std::thread> load;
  for (unsigned i = 0; i < std::max(2u, std::thread::hardware_concurrency()); ++i)
    load.emplace_back([&] {
      volatile uint64_t spin = 0;
      while (busy.load(std::memory_order_relaxed)) spin = spin + 1;
    });
  const ZerinTest::SimulatorRun loaded = runDemo("demo-loaded", 12.0);
  busy = false;
  for (auto& thread : load) thread.join();
  const ZerinTest::SimulatorRun moved = runDemo("demo-moved", -24.0);
  ASSERT_EQ(ZerinTest::filesIn(first.outputFolder, ".png"), expectedCaptures());
  ASSERT_EQ(ZerinTest::filesIn(moved.outputFolder, ".png"), expectedCaptures()) << moved.reportProblem;

  const std::string compare = ZerinTest::builtProgram("zerin-simulator-compare");
  const auto same = ZerinTest::runProgram(compare, {first.outputFolder, loaded.outputFolder, "--tolerance", "0"});
  EXPECT_EQ(same.exitCode, 0) << same.text();
  const std::string diff = ZerinTest::joinPath(moved.folder, "diff");
  const auto differs = ZerinTest::runProgram(compare, {first.outputFolder, moved.outputFolder, "--diff", diff});
  EXPECT_EQ(differs.exitCode, 1) << differs.text();
  EXPECT_NE(differs.text().find("frame-000030-layer0-view0-colour.png: MISMATCH"), std::string::npos) << differs.text();
  EXPECT_NE(ZerinTest::filesIn(diff), std::vector<std::string>{});
}

}  // namespace
