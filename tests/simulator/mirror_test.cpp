// Desk mode seen from outside: the mirror window's pixels through a screenshot of the display
// (xwd), and a recording made with keys sent to the window, replayed frame for frame.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <thread>

#include <stb_image_write.h>

#include "child_process.h"
#include "gfx_device.h"
#include "gfx_textures.h"
#include "platform/window.h"
#include "program_process.h"
#include "zerin_sim_control.h"
#include "zerin_sim_devices.h"

namespace {

namespace Gfx = ZerinSim::Gfx;
using Clock = std::chrono::steady_clock;
using Zerin::platform::WindowInput;
using Zerin::platform::WindowKey;

constexpr uint32_t kViewSize = 32;
const uint8_t kLeft[3] = {200, 30, 40};   // view 0
const uint8_t kRight[3] = {20, 180, 60};  // view 1

std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

void writeFile(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// An XWD file: a header of big-endian 32-bit fields, the window's name, the colour map, then the
// pixels in rows, of the byte order and masks the header gives.
struct Xwd {
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> rgb;  // red, green, blue per pixel, rows top down

  // False while the file is short of what its header announces (xwd still writing it).
  bool parse(const std::vector<uint8_t>& bytes) {
    auto field = [&](size_t index) {
      const uint8_t* at = bytes.data() + index * 4;
      return uint32_t(at[0]) << 24 | uint32_t(at[1]) << 16 | uint32_t(at[2]) << 8 | at[3];
    };
    if (bytes.size() < 100 || field(1) != 7) return false;  // file version 7
    const uint32_t headerSize = field(0), byteOrder = field(7), bitsPerPixel = field(11), bytesPerLine = field(12);
    const uint32_t masks[3] = {field(14), field(15), field(16)};
    width = field(4);
    height = field(5);
    const size_t start = size_t(headerSize) + size_t(field(19)) * 12;
    if (bitsPerPixel != 32 || bytes.size() < start + size_t(bytesPerLine) * height) return false;
    rgb.resize(size_t(width) * height * 3);
    for (uint32_t y = 0; y < height; ++y)
      for (uint32_t x = 0; x < width; ++x) {
        const uint8_t* p = bytes.data() + start + size_t(y) * bytesPerLine + size_t(x) * 4;
        const uint32_t pixel = byteOrder == 0
                                   ? uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24
                                   : uint32_t(p[3]) | uint32_t(p[2]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[0]) << 24;
        for (int c = 0; c < 3; ++c) {
          int shift = 0;
          while (masks[c] && !((masks[c] >> shift) & 1)) ++shift;
          rgb[(size_t(y) * width + x) * 3 + size_t(c)] = uint8_t((pixel & masks[c]) >> shift);
        }
      }
    return true;
  }
  bool shows(uint32_t x, uint32_t y, const uint8_t (&colour)[3]) const {
    const uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
    for (int c = 0; c < 3; ++c)
      if (std::abs(int(p[c]) - int(colour[c])) > 8) return false;
    return true;
  }
};

// One screenshot of the window titled "Zerin Simulator"; false when there is none (yet). Under
// Wine the screenshot program is a program of the host, whose end Wine does not wait for.
bool screenshot(Xwd& shot) {
  const std::string file = "mirror-screenshot.xwd";
  std::remove(file.c_str());
#if defined(_WIN32)
  const std::string xwd = "Z:\\usr\\bin\\xwd";
#else
  const std::string xwd = "/usr/bin/xwd";
#endif
  ZerinTest::ProgramProcess program;
  if (!program.start(xwd, {"-name", "Zerin Simulator", "-silent", "-out", file})) return false;
  program.waitForExit(std::chrono::seconds(10));
  for (const auto until = Clock::now() + std::chrono::seconds(5); Clock::now() < until;) {
    if (shot.parse(readFile(file))) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // a host program's file, no handle to wait on
  }
  return false;
}

// A client of two views of kViewSize square, slices 0 and 1 of one swap chain, filled once.
class Client {
 public:
  explicit Client(const uint8_t (&left)[3] = kLeft, const uint8_t (&right)[3] = kRight) {
    session = zerin_SessionInit();
    if (!device || !session) return;
    frameInfo = zerin_CreateFrameInfo(session);
    submitInfo = zerin_CreateSubmitInfo(session);
    const ZerinSwapChainConfig config{kViewSize, kViewSize, DXGI_FORMAT_R8G8B8A8_UNORM,
                                      2,         1,         ZERIN_SWAPCHAIN_USAGE_COLOUR};
    swapChain = zerin_D3D11CreateSwapChain(session, device.device.get(), &config);
    for (int32_t image = 0; swapChain && image < ZERINSIM_SWAPCHAIN_IMAGE_COUNT; ++image) {
      ID3D11Texture2D* texture = zerin_ToD3D11Texture(zerin_GetSwapChainImage(swapChain, image));
      for (UINT slice = 0; slice < 2; ++slice) {
        const uint8_t* c = slice == 0 ? left : right;
        const uint32_t pixel = 0xff000000u | uint32_t(c[2]) << 16 | uint32_t(c[1]) << 8 | c[0];
        auto source = Gfx::createTexture(device.device.get(), kViewSize, kViewSize, DXGI_FORMAT_R8G8B8A8_UNORM,
                                         D3D11_BIND_SHADER_RESOURCE,
                                         Gfx::rgbaTexels(std::vector<uint32_t>(kViewSize * kViewSize, pixel)).data());
        device.context->CopySubresourceRegion(texture, slice, 0, 0, 0, source.get(), 0, nullptr);
      }
    }
  }
  ~Client() {
    if (session) zerin_SessionShutDown(session);
  }
  bool ready() const { return swapChain && frameInfo && submitInfo; }

  // One frame: synced, begun, both views submitted; its index.
  int64_t frame() {
    zerin_WaitSync(session, frameInfo);
    zerin_BeginFrame(session, submitInfo);
    int32_t image = -1;
    zerin_AcquireSwapChainImage(swapChain, &image);
    zerin_ReleaseSwapChainImage(swapChain);
    ZerinRuntimeView views[2]{};
    for (int v = 0; v < 2; ++v)
      views[v].colour = ZerinSwapchainViewport{swapChain, 0, 0, int32_t(kViewSize), int32_t(kViewSize), v, 0};
    const ZerinRuntimeLayer layer{ZERIN_LAYER_PROJECTION, 0, 0, 2, 0, views};
    const ZerinRuntimeLayer* layers[4] = {&layer, &layer, &layer, &layer};
    const ZerinLayerSubmit submit{submitInfo->frameIndex, 0, 1, 0, layers};
    zerin_EndFrameWithLayers(session, &submit);
    return submitInfo->frameIndex;
  }

  Gfx::Device device = Gfx::createDevice();
  ZerinSession session = nullptr;

 private:
  ZerinFrameInfo* frameInfo = nullptr;
  ZerinSubmitInfo* submitInfo = nullptr;
  ZerinSwapChain swapChain = nullptr;
};

std::string configFile(const std::string& name, const std::string& text) {
  writeFile(name, text);
  return name;
}

void expectChildPasses(const std::string& test, const std::string& config) {
  const ZerinTest::ChildResult child = ZerinTest::runTestInChild(test, {{"ZERIN_SIMULATOR_CONFIG", config}});
  EXPECT_EQ(child.exitCode, 0) << child.output;
  EXPECT_NE(child.output.find("[  PASSED  ] 1 test"), std::string::npos) << child.output;
}

TEST(Mirror, ShowsTheLeftViewLeftAndTheRightViewRight) {
  expectChildPasses("Mirror.DISABLED_ClientShowingTwoViews",
                    configFile("mirror-views.json", R"({"mirror": {"enabled": true, "width": 240, "height": 120}})"));
}

TEST(Mirror, DISABLED_ClientShowingTwoViews) {
  Client client;
  ASSERT_TRUE(client.ready());
  Xwd shot;
  bool shown = false;
  for (const auto until = Clock::now() + std::chrono::seconds(30); !shown && Clock::now() < until;) {
    client.frame();
    shown = screenshot(shot) && shot.shows(shot.width / 4, shot.height / 2, kLeft) &&
            shot.shows(shot.width * 3 / 4, shot.height / 2, kRight);
  }
  ASSERT_GT(shot.width, 0u) << "no window named Zerin Simulator on the display";
  stbi_write_png("mirror-screenshot.png", int(shot.width), int(shot.height), 3, shot.rgb.data(), int(shot.width) * 3);
  EXPECT_TRUE(shown) << "a screenshot of " << shot.width << "x" << shot.height
                     << " without both views (mirror-screenshot.png)";
}

// Recorded poses, in frame order, and the frames buttons changed in.
struct Recorded {
  std::vector<std::pair<int64_t, std::array<double, 6>>> poses;
  std::vector<std::tuple<int64_t, int64_t, bool>> buttons;
};

Recorded readRecorded(const std::string& path) {
  Recorded recorded;
  std::ifstream file(path);
  for (std::string line; std::getline(file, line);) {
    const auto json = nlohmann::json::parse(line, nullptr, false);
    if (json.is_discarded()) continue;  // the last line while it is written
    if (json.contains("button")) {
      recorded.buttons.emplace_back(json["frame"], json["button"], json["down"]);
    } else {
      std::array<double, 6> pose{};
      for (int i = 0; i < 3; ++i)
        pose[size_t(i)] = json["position"][size_t(i)], pose[size_t(i) + 3] = json["yawPitchRoll"][size_t(i)];
      recorded.poses.emplace_back(json["frame"], pose);
    }
  }
  return recorded;
}

constexpr const char* kRecording = "mirror-desk.jsonl";

// Frames go on until `done` holds of what was recorded, or 20 s pass.
bool framesUntil(Client& client, const std::function<bool(const Recorded&)>& done) {
  for (const auto until = Clock::now() + std::chrono::seconds(20); Clock::now() < until;) {
    client.frame();
    if (done(readRecorded(kRecording))) return true;
  }
  return false;
}

void post(WindowKey key, bool down) {
  WindowInput input;
  input.kind = down ? WindowInput::Kind::keyDown : WindowInput::Kind::keyUp;
  input.key = key;
  ASSERT_TRUE(Zerin::platform::Window::post("Zerin Simulator", input));
}

void post(WindowInput::Kind kind, int32_t x, int32_t y) {
  WindowInput input;
  input.kind = kind;
  input.x = x;
  input.y = y;
  ASSERT_TRUE(Zerin::platform::Window::post("Zerin Simulator", input));
}

using Pose = std::array<double, 6>;     // x, y, z, yaw, pitch, roll
const Pose kStart{0, 1.6, 0, 0, 0, 0};  // the configuration's still pose

// Each key's step in one frame from a pose turned by `yaw` degrees: walking follows the yaw.
struct KeyStep {
  WindowKey key;
  Pose (*step)(double yaw);
};
constexpr double kMetres = 0.02, kDegrees = 1.0;
double radians(double degrees) { return degrees * 3.14159265358979323846 / 180.0; }
const KeyStep kKeySteps[] = {
    {WindowKey::left, [](double) { return Pose{0, 0, 0, kDegrees, 0, 0}; }},
    {WindowKey::w,
     [](double yaw) { return Pose{-std::sin(radians(yaw)) * kMetres, 0, -std::cos(radians(yaw)) * kMetres, 0, 0, 0}; }},
    {WindowKey::s,
     [](double yaw) { return Pose{std::sin(radians(yaw)) * kMetres, 0, std::cos(radians(yaw)) * kMetres, 0, 0, 0}; }},
    {WindowKey::d,
     [](double yaw) { return Pose{std::cos(radians(yaw)) * kMetres, 0, -std::sin(radians(yaw)) * kMetres, 0, 0, 0}; }},
    {WindowKey::a,
     [](double yaw) { return Pose{-std::cos(radians(yaw)) * kMetres, 0, std::sin(radians(yaw)) * kMetres, 0, 0, 0}; }},
    {WindowKey::e, [](double) { return Pose{0, kMetres, 0, 0, 0, 0}; }},
    {WindowKey::q, [](double) { return Pose{0, -kMetres, 0, 0, 0, 0}; }},
    {WindowKey::right, [](double) { return Pose{0, 0, 0, -kDegrees, 0, 0}; }},
    {WindowKey::up, [](double) { return Pose{0, 0, 0, 0, kDegrees, 0}; }},
    {WindowKey::down, [](double) { return Pose{0, 0, 0, 0, -kDegrees, 0}; }},
};

bool settled(const Recorded& r) {
  const size_t n = r.poses.size();
  return n > 2 && r.poses[n - 1].second == r.poses[n - 2].second && r.poses[n - 2].second == r.poses[n - 3].second;
}

void expectPose(const Pose& actual, const Pose& expected, const std::string& what) {
  for (size_t i = 0; i < 6; ++i) EXPECT_NEAR(actual[i], expected[i], 1e-9) << what << ", component " << i;
}

TEST(Mirror, KeysAndDragsSteerTheHeadPerFrameAndPressButtonsIntoARecordingThatReplaysFrameForFrame) {
  std::remove(kRecording);
  expectChildPasses("Mirror.DISABLED_ClientSteeredByKeys",
                    configFile("mirror-record.json", std::string(R"({"clock": "real", "frameRate": 200, )") +
                                                         R"("mirror": {"enabled": true, "width": 64, "height": 32, )" +
                                                         R"("recordTo": ")" + kRecording + R"("}})"));
  const Recorded recorded = readRecorded(kRecording);
  ASSERT_FALSE(recorded.poses.empty());
  EXPECT_EQ(recorded.poses.front().first, 1);
  for (size_t i = 1; i < recorded.poses.size(); ++i) {
    const auto& [frame, pose] = recorded.poses[i];
    const auto& [before, last] = recorded.poses[i - 1];
    EXPECT_EQ(frame, before + 1) << "a pose line for every frame";
    // A held key moves the same distance every frame, however long the frame took.
    const double walked = std::hypot(pose[0] - last[0], pose[1] - last[1], pose[2] - last[2]);
    EXPECT_TRUE(walked < 1e-12 || std::abs(walked - kMetres) < 1e-9 || pose == kStart)
        << "frame " << frame << " moved " << walked;
  }
  ASSERT_EQ(recorded.buttons.size(), 2u);
  EXPECT_EQ(std::get<1>(recorded.buttons[0]), 2);
  EXPECT_TRUE(std::get<2>(recorded.buttons[0]));
  EXPECT_EQ(std::get<1>(recorded.buttons[1]), 2);
  EXPECT_FALSE(std::get<2>(recorded.buttons[1]));

  expectChildPasses(
      "Mirror.DISABLED_ClientReplaying",
      configFile("mirror-replay.json",
                 std::string(R"({"headMotion": {"kind": "recording", "recording": ")") + kRecording + R"("}})"));
}

// Replayed, each frame's head pose is the one recorded for it, and button 2 is down from the
// frame its press was recorded in until its release.
TEST(Mirror, DISABLED_ClientReplaying) {
  const Recorded recorded = readRecorded(kRecording);
  ASSERT_EQ(recorded.buttons.size(), 2u);
  const int64_t pressed = std::get<0>(recorded.buttons[0]), released = std::get<0>(recorded.buttons[1]);
  Client client;
  ASSERT_TRUE(client.ready());
  for (const auto& [frame, pose] : recorded.poses) {
    ASSERT_EQ(client.frame(), frame);
    const ZerinMatrix head = zerin_FrameGetPose(client.session, ZERIN_POSE_HEAD);
    const std::string what = "frame " + std::to_string(frame);
    EXPECT_NEAR(head.m[3], pose[0], 1e-9) << what;
    EXPECT_NEAR(head.m[7], pose[1], 1e-9) << what;
    EXPECT_NEAR(head.m[11], pose[2], 1e-9) << what;
    // The head's +z axis, turned by yaw then pitch.
    const double yaw = radians(pose[3]), pitch = radians(pose[4]);
    EXPECT_NEAR(head.m[2], std::cos(pitch) * std::sin(yaw), 1e-9) << what;
    EXPECT_NEAR(head.m[6], -std::sin(pitch), 1e-9) << what;
    EXPECT_NEAR(head.m[10], std::cos(pitch) * std::cos(yaw), 1e-9) << what;
    EXPECT_EQ(zerin_GetButtonEvent(client.session, 2, ZERIN_BUTTON_STATE_DOWN), frame >= pressed && frame < released)
        << what;
  }
}

TEST(Mirror, DISABLED_ClientSteeredByKeys) {
  Client client;
  ASSERT_TRUE(client.ready());
  ASSERT_TRUE(framesUntil(client, settled));
  for (const KeyStep& entry : kKeySteps) {
    const std::string what = "key " + std::to_string(int(entry.key));
    const size_t from = readRecorded(kRecording).poses.size();
    ASSERT_NO_FATAL_FAILURE(post(entry.key, true));
    ASSERT_TRUE(framesUntil(client, [&](const Recorded& r) {
      return r.poses.back().second != r.poses[from - 1].second;
    })) << what;
    ASSERT_NO_FATAL_FAILURE(post(entry.key, false));
    ASSERT_TRUE(framesUntil(client, settled)) << what;
    // The first frame that moved moved by one step of that key.
    const Recorded r = readRecorded(kRecording);
    size_t moved = from;
    while (r.poses[moved].second == r.poses[from - 1].second) ++moved;
    const Pose& before = r.poses[moved - 1].second;
    Pose expected = entry.step(before[3]);
    for (size_t i = 0; i < 6; ++i) expected[i] += before[i];
    expectPose(r.poses[moved].second, expected, what);
  }

  // A drag right turns right and a drag down looks down, a quarter degree a pixel in all.
  const Pose beforeDrag = readRecorded(kRecording).poses.back().second;
  ASSERT_NO_FATAL_FAILURE(post(WindowInput::Kind::pointerDown, 10, 10));
  ASSERT_NO_FATAL_FAILURE(post(WindowInput::Kind::pointerMove, 14, 10));
  ASSERT_NO_FATAL_FAILURE(post(WindowInput::Kind::pointerMove, 14, 18));
  ASSERT_NO_FATAL_FAILURE(post(WindowInput::Kind::pointerUp, 14, 18));
  ASSERT_NO_FATAL_FAILURE(post(WindowInput::Kind::pointerMove, 40, 40));  // not dragging: no turn
  Pose dragged = beforeDrag;
  dragged[3] -= 1.0;
  dragged[4] -= 2.0;
  ASSERT_TRUE(
      framesUntil(client, [&](const Recorded& r) { return settled(r) && r.poses.back().second != beforeDrag; }));
  expectPose(readRecorded(kRecording).poses.back().second, dragged, "drag");

  // R gives the configuration's pose back.
  ASSERT_NO_FATAL_FAILURE(post(WindowKey::r, true));
  ASSERT_NO_FATAL_FAILURE(post(WindowKey::r, false));
  ASSERT_TRUE(framesUntil(client, [](const Recorded& r) { return r.poses.back().second == kStart; }));

  // Key 2 presses button 2, seen by the client from the frame the recording names.
  ASSERT_NO_FATAL_FAILURE(post(WindowKey::digit2, true));
  int64_t seenDown = 0;
  ASSERT_TRUE(framesUntil(client, [&](const Recorded& r) {
    if (!seenDown && zerin_GetButtonEvent(client.session, 2, ZERIN_BUTTON_STATE_DOWN)) seenDown = r.poses.back().first;
    return seenDown != 0;
  }));
  ASSERT_NO_FATAL_FAILURE(post(WindowKey::digit2, false));
  ASSERT_TRUE(framesUntil(client, [](const Recorded& r) { return r.buttons.size() == 2; }));
  const Recorded recorded = readRecorded(kRecording);
  // The press was seen right after frame seenDown was submitted: it belongs to the next frame.
  EXPECT_EQ(std::get<0>(recorded.buttons[0]), seenDown + 1);
}

}  // namespace
