// The simulator as a runtime set up by its configuration file. The configuration is read once per
// process, so each case writes a file and runs its half in a child process of this program.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "child_process.h"
#include "head_motion.h"
#include "zerin_lib.h"

namespace {

using ZerinSim::HeadMotion;

// Runs SimulatorRuntime.DISABLED_<test> in a child whose configuration file holds `text`.
void runWithConfig(const std::string& test, const std::string& text) {
  const auto path = std::filesystem::temp_directory_path() / ("zerin-simulator-" + test + ".json");
  std::ofstream(path, std::ios::binary) << text;
  const std::string name = "SimulatorRuntime.DISABLED_" + test;
  const ZerinTest::ChildResult child = ZerinTest::runTestInChild(name, {{"ZERIN_SIMULATOR_CONFIG", path.string()}});
  EXPECT_EQ(child.exitCode, 0) << child.output;
  EXPECT_NE(child.output.find("[       OK ] " + name), std::string::npos) << child.output;
}

std::string configPath() { return std::getenv("ZERIN_SIMULATOR_CONFIG"); }

struct Frames {
  ZerinSession session = zerin_SessionInit();
  ZerinFrameInfo* info = zerin_CreateFrameInfo(session);
  ~Frames() {
    zerin_FreeFrameInfo(info);
    zerin_SessionShutDown(session);
  }
};

struct Seen {
  int64_t frame, type, data;
  bool operator==(const Seen& o) const { return frame == o.frame && type == o.type && data == o.data; }
};

TEST(SimulatorRuntime, ScriptedEventsReachPollEventAtTheirFrame) {
  runWithConfig("ScriptedEvents", R"({"events": [
    {"frame": 5, "type": "buttonUp", "button": 7},
    {"frame": 3, "type": "buttonDown", "button": 7},
    {"frame": 3, "type": "standby", "value": true},
    {"frame": 4, "type": "visibility", "value": false},
    {"frame": 6, "type": "streamStart", "stream": 257}]})");
}

TEST(SimulatorRuntime, DISABLED_ScriptedEvents) {
  Frames frames;
  ZerinEvent event{};
  std::vector<Seen> seen;
  for (int64_t frame = 1; frame <= 6; ++frame) {
    zerin_WaitSync(frames.session, frames.info);
    ASSERT_EQ(frames.info->frameIndex, frame);
    while (zerin_PollEvent(frames.session, &event)) seen.push_back({frame, event.type, event.data.i64});
    if (frame == 3) {
      EXPECT_EQ(zerin_GetButtonEvent(frames.session, 7, ZERIN_BUTTON_STATE_DOWN), 1);
    }
  }
  const int64_t pressed = int64_t{ZERIN_BUTTON_STATE_PRESSED} << 32 | 7;
  const int64_t released = int64_t{ZERIN_BUTTON_STATE_RELEASED} << 32 | 7;
  const std::vector<Seen> expected = {{3, ZERIN_EVENT_BUTTON, pressed},
                                      {3, ZERIN_EVENT_HEADSET_STANDBY, 1},
                                      {4, ZERIN_EVENT_VISIBILITY, 0},
                                      {5, ZERIN_EVENT_BUTTON, released},
                                      {6, ZERIN_EVENT_DATA_STREAM_START, 257}};
  EXPECT_EQ(seen, expected);
}

TEST(SimulatorRuntime, RefusedConfigurationMakesTheRuntimeUnavailable) {
  runWithConfig("Refused", "{\n  \"frameRate\": -1\n}");
}

TEST(SimulatorRuntime, DISABLED_Refused) {
  EXPECT_EQ(zerin_IsAvailable(), 0);
  EXPECT_EQ(zerin_SessionInit(), nullptr);
  const ZerinErrorCode error = zerin_GetError(nullptr);
  EXPECT_EQ(error, ZERIN_ERROR_RUNTIME_UNAVAILABLE);
  EXPECT_STREQ(zerin_GetErrorDesc(error),
               (configPath() + " line 2: \"frameRate\" must be a number above 0, not -1").c_str());
}

TEST(SimulatorRuntime, VirtualClockDisplaysFrameNAtNPeriodsWithoutWaiting) {
  runWithConfig("VirtualClock", R"({"frameRate": 1})");
}

TEST(SimulatorRuntime, DISABLED_VirtualClock) {
  Frames frames;
  const auto start = std::chrono::steady_clock::now();
  // A second each on the real clock: the run would take 100 s.
  for (int64_t frame = 1; frame <= 100; ++frame) {
    zerin_WaitSync(frames.session, frames.info);
    ASSERT_EQ(frames.info->predictedDisplayTime, frame * 1000000000);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

TEST(SimulatorRuntime, RealClockRunsAtTheFrameRate) {
  runWithConfig("RealClock", R"({"frameRate": 100, "clock": "real"})");
}

TEST(SimulatorRuntime, DISABLED_RealClock) {
  Frames frames;
  int64_t last = 0;
  for (int frame = 1; frame <= 5; ++frame) {
    zerin_WaitSync(frames.session, frames.info);
    if (frame > 1) {
      EXPECT_GE(frames.info->predictedDisplayTime - last, 9900000);  // 10 ms ticks
    }
    last = frames.info->predictedDisplayTime;
  }
}

// The poses and gaze of a run, printed exactly; two runs must print the same.
TEST(SimulatorRuntime, TwoRunsGiveTheSamePosesAndGaze) {
  const char* config = R"({"headMotion": {"kind": "path", "path": "look-around", "periodFrames": 40},
    "gaze": {"kind": "path", "path": "circle", "samplesPerSecond": 120}})";
  std::string outputs[2];
  for (std::string& output : outputs) {
    const auto path = std::filesystem::temp_directory_path() / "zerin-simulator-poses.json";
    std::ofstream(path, std::ios::binary) << config;
    output = ZerinTest::runTestInChild("SimulatorRuntime.DISABLED_Poses", {{"ZERIN_SIMULATOR_CONFIG", path.string()}})
                 .output;
    // What the test printed: between its start and its end lines (which carry times).
    const size_t begin = output.find('\n', output.find("[ RUN      ]")), end = output.find("[       OK ]");
    ASSERT_NE(end, std::string::npos) << output;
    output = output.substr(begin, end - begin);
  }
  EXPECT_NE(outputs[0].find("gaze"), std::string::npos);
  EXPECT_EQ(outputs[0], outputs[1]);
}

TEST(SimulatorRuntime, DISABLED_Poses) {
  Frames frames;
  zerin_GazeInit(frames.session);
  // 120 samples a second at 90 frames: 1, 1 and 2 in the first three frames.
  const int expectedSamples[] = {1, 1, 2, 1, 1, 2};
  const ZerinMatrix first = zerin_FrameGetPose(frames.session, ZERIN_POSE_HEAD);
  for (int frame = 1; frame <= 6; ++frame) {
    zerin_WaitSync(frames.session, frames.info);
    ZerinGazeSample samples[8];
    const int32_t count = zerin_GetGazeArray(frames.session, samples, 8);
    EXPECT_EQ(count, expectedSamples[frame - 1]) << "frame " << frame;
    for (int i = 0; i < count; ++i) {
      EXPECT_EQ(samples[i].frameIndex, frame);
      std::printf("gaze %a %a %a %lld\n", samples[i].combinedDirection.x, samples[i].combinedDirection.y,
                  samples[i].combinedDirection.z, static_cast<long long>(samples[i].timestamp));
    }
    const ZerinMatrix head = zerin_FrameGetPose(frames.session, ZERIN_POSE_HEAD);
    const ZerinMatrix right = zerin_FrameGetPose(frames.session, ZERIN_POSE_RIGHT_EYE);
    // The frame's views carry the eyes' poses; the head turns from frame to frame.
    for (int i = 0; i < 16; ++i) {
      EXPECT_EQ(frames.info->views[1].pose.m[i], right.m[i]);
      std::printf("%a ", head.m[i]);
    }
    std::printf("\n");
    EXPECT_NE(head.m[0], first.m[0]) << "frame " << frame;
  }
}

TEST(SimulatorRuntime, OcclusionMeshAndStillPatternFromTheConfiguration) {
  runWithConfig("MeshAndPattern", R"({"occlusionMesh": {"vertices": [[-1, -1], [1, -1], [0, 0.5]]},
    "cameraStreams": {"movingPattern": false}})");
}

TEST(SimulatorRuntime, DISABLED_MeshAndPattern) {
  Frames frames;
  ZerinOcclusionMesh* mesh = zerin_CreateOcclusionMesh(frames.session, 2, 1);
  ASSERT_NE(mesh, nullptr);
  ASSERT_EQ(mesh->vertexCount, 3);
  EXPECT_EQ(mesh->vertices[2].x, 0.0f);
  EXPECT_EQ(mesh->vertices[2].y, 0.5f);
  zerin_FreeOcclusionMesh(mesh);

  struct Pictures {
    std::mutex mutex;  // guards frames: written on the stream's thread
    std::condition_variable arrived;
    std::vector<std::vector<uint8_t>> frames;
  } pictures;
  auto keep = [](const ZerinStreamFrame* frame, uint64_t, void* user) {
    auto& p = *static_cast<Pictures*>(user);
    const auto* bytes = static_cast<const uint8_t*>(frame->data);
    std::lock_guard<std::mutex> lock(p.mutex);
    p.frames.emplace_back(bytes, bytes + frame->dataSize);
    p.arrived.notify_all();
  };
  zerin_StartDataStream(frames.session, 0x101, ZERIN_STREAM_CHANNEL_LEFT, keep, &pictures);
  {
    std::unique_lock<std::mutex> lock(pictures.mutex);
    ASSERT_TRUE(pictures.arrived.wait_for(lock, std::chrono::seconds(10), [&] { return pictures.frames.size() >= 2; }));
  }
  zerin_StopDataStream(frames.session, 0x101);
  EXPECT_EQ(pictures.frames[0], pictures.frames[1]);
}

// Worked out by hand: halfway from (0, 1.6, 0) facing ahead to (1, 1.6, -2) turned 90 degrees
// left, the head is at (0.5, 1.6, -1) turned 45 degrees; the right eye 32 mm along its +x.
TEST(SimulatorHeadMotion, KeyframesBlendAtAMiddleFrame) {
  ZerinSim::HeadMotionConfig motion;
  motion.kind = ZerinSim::HeadMotionConfig::Kind::keyframes;
  motion.keyframes = {{0, {{0.0, 1.6, 0.0}, {0.0, 0.0, 0.0}}}, {10, {{1.0, 1.6, -2.0}, {90.0, 0.0, 0.0}}}};
  const ZerinSim::HeadPose pose = HeadMotion::configuredPose(motion, 5.0);
  EXPECT_NEAR(pose.yawPitchRoll[0], 45.0, 1e-9);
  const double c = std::sqrt(0.5);
  const double expected[16] = {c, 0, c, 0.5 + 0.032 * c, 0, 1, 0, 1.6, -c, 0, c, -1.0 - 0.032 * c, 0, 0, 0, 1};
  const ZerinMatrix right = HeadMotion::viewMatrix(pose, 1, 0.064);
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(right.m[i], expected[i], 1e-9) << "m[" << i << "]";
  // Before the first keyframe and after the last the pose holds.
  EXPECT_EQ(HeadMotion::configuredPose(motion, 40.0).position, motion.keyframes[1].pose.position);
  // Yaw 90 to pitch 90: halfway is the normalised sum of the two quaternions, (2, 1, 1, 0) / sqrt(6),
  // looking along (-2/3, 2/3, -1/3) (forward is -z, the third column negated); blending angle by
  // angle (yaw 45, pitch 45) would look along (-0.5, 0.71, -0.5).
  motion.keyframes = {{0, {{0, 0, 0}, {90.0, 0.0, 0.0}}}, {10, {{0, 0, 0}, {0.0, 90.0, 0.0}}}};
  const ZerinMatrix middle = HeadMotion::headMatrix(HeadMotion::configuredPose(motion, 5.0));
  EXPECT_NEAR(-middle.m[2], -2.0 / 3, 1e-9);
  EXPECT_NEAR(-middle.m[6], 2.0 / 3, 1e-9);
  EXPECT_NEAR(-middle.m[10], -1.0 / 3, 1e-9);
}

}  // namespace
