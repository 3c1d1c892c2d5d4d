#pragma once
// What a developer's configuration file asks of the headset simulator. Every member has the
// value a run without a configuration file uses.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ZerinSim {

using Vector3 = std::array<double, 3>;

// A head pose: position in metres (+x right, +y up, -z forward) and orientation as yaw (about
// +y, positive turns left), pitch (about +x, positive looks up) and roll, in degrees.
struct HeadPose {
  Vector3 position{0.0, 1.6, 0.0};
  Vector3 yawPitchRoll{0.0, 0.0, 0.0};
};

struct HeadKeyframe {
  int64_t frame = 0;
  HeadPose pose;
};

struct HeadMotionConfig {
  enum class Kind { still, path, keyframes, recording };
  Kind kind = Kind::still;
  HeadPose still;                        // kind still; also where a path is centred
  std::string path;                      // kind path: a built-in path's name
  double pathPeriodFrames = 360.0;       // kind path: frames for one round
  // Kind keyframes: by frame, interpolated per frame. Kind recording: the recording's poses.
  std::vector<HeadKeyframe> keyframes;
  std::string recording;                 // kind recording: the file replayed (read when checked)
  double interPupillaryDistance = 0.064; // metres between the eyes
};

// One runtime event the configuration raises when frame `frame` is synced.
struct ScriptedEvent {
  enum class Kind { buttonDown, buttonUp, visibility, foreground, standby, streamStart, streamStop };
  int64_t frame = 0;
  Kind kind = Kind::buttonDown;
  int64_t value = 0;  // the button id, the stream id, or 0/1 for the switches
};

// The combined gaze ray of one frame, head space.
struct GazeFrame {
  int64_t frame = 0;
  Vector3 direction{0.0, 0.0, -1.0};
};

struct GazeConfig {
  enum class Kind { off, fixed, path, recording };
  Kind kind = Kind::off;
  Vector3 direction{0.0, 0.0, -1.0};  // kind fixed: the combined gaze ray, head space
  std::string path;                   // kind path: a built-in path's name
  std::string recording;              // kind recording: a recording's "gaze" lines...
  std::vector<GazeFrame> recorded;    // ...read when the configuration is checked, by frame
  double samplesPerSecond = 120.0;
};

struct CameraStreamConfig {
  bool movingPattern = true;  // frames carry a pattern that moves from frame to frame
};

struct OcclusionMeshConfig {
  std::vector<std::array<float, 2>> vertices;  // empty: the runtime's own mesh
};

struct CaptureConfig {
  std::vector<int64_t> frames;  // frame indices to capture (empty: none)
  int64_t every = 0;            // also every Nth frame (0: no)
  bool depth = true;            // depth images as grey pictures beside the colour ones
};

struct MirrorConfig {
  bool enabled = false;  // desk mode: a window showing each submitted frame's views
  int32_t width = 1280;  // the window's client size
  int32_t height = 720;
  std::string recordTo;  // where a recording of head motion and input goes ("" none); relative
                         // names are resolved against the configuration's folder
};

struct SimulatorConfig {
  std::string source;  // the file read, or "" when the defaults are used

  double frameRate = 90.0;
  bool virtualClock = true;  // headless runs are deterministic by default
  uint32_t recommendedWidth = 2048;
  uint32_t recommendedHeight = 2048;
  int32_t recommendedFormat = 29;  // DXGI_FORMAT_R8G8B8A8_UNORM_SRGB
  HeadMotionConfig headMotion;
  std::vector<ScriptedEvent> events;
  GazeConfig gaze;
  CameraStreamConfig cameraStreams;
  OcclusionMeshConfig occlusionMesh;
  std::string outputFolder = "zerin-simulator-output";
  CaptureConfig capture;
  bool strict = true;
  MirrorConfig mirror;
};

struct ConfigOutcome {
  std::optional<SimulatorConfig> config;
  // Why the file was refused: "ZerinSimulator.json line 12: \"frameRate\" must be a number
  // above 0, not \"fast\"".
  std::string error;
};

// Reads and checks a configuration file: every key known, every value of its type and range.
ConfigOutcome loadConfig(const std::string& path);
// The same from text, `name` standing for the file in messages.
ConfigOutcome parseConfig(const std::string& text, const std::string& name);

}  // namespace ZerinSim
