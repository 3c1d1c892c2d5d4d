// The simulator's configuration file: every key known, every value of its type and range, and
// refusals that say where and what was expected.
#include "simulator_config.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include "config_reader.h"
#include "recording.h"

namespace ZerinSim {

namespace {

using namespace ConfigReading;

constexpr int64_t kNoLimit = std::numeric_limits<int64_t>::max();
constexpr int64_t kMaxImageSide = 16384;
const std::initializer_list<const char*> kPathNames = {"circle", "nod", "look-around"};

class ConfigParser {
 public:
  ConfigParser(const Document& document, const std::string& name)
      : reader(document, name), folder(std::filesystem::path(name).parent_path()) {}

  Reader reader;

  void top(const Json& root, SimulatorConfig& config) {
    if (!root.is_object()) {
      reader.refuse("", "a configuration must be one JSON object, not " + std::string(root.type_name()));
      return;
    }
    reader.object(root, "",
                  {"frameRate", "clock", "recommended", "headMotion", "events", "gaze", "cameraStreams",
                   "occlusionMesh", "output", "capture", "strict", "mirror"});
    if (const Json* v = Reader::find(root, "frameRate")) reader.number(*v, "frameRate", 0.0, true, config.frameRate);
    if (const Json* v = Reader::find(root, "clock")) {
      int clock = 0;
      if (reader.choice(*v, "clock", {"virtual", "real"}, clock)) config.virtualClock = clock == 0;
    }
    if (const Json* v = Reader::find(root, "recommended")) recommended(*v, config);
    if (const Json* v = Reader::find(root, "headMotion")) headMotion(*v, config);
    if (const Json* v = Reader::find(root, "events")) events(*v, config.events);
    if (const Json* v = Reader::find(root, "gaze")) gaze(*v, config.gaze);
    if (const Json* v = Reader::find(root, "cameraStreams")) {
      if (reader.object(*v, "cameraStreams", {"movingPattern"}))
        if (const Json* moving = Reader::find(*v, "movingPattern"))
          reader.flag(*moving, "cameraStreams.movingPattern", config.cameraStreams.movingPattern);
    }
    if (const Json* v = Reader::find(root, "occlusionMesh")) occlusionMesh(*v, config.occlusionMesh);
    if (const Json* v = Reader::find(root, "output")) reader.text(*v, "output", config.outputFolder);
    if (const Json* v = Reader::find(root, "capture")) capture(*v, config.capture);
    if (const Json* v = Reader::find(root, "strict")) reader.flag(*v, "strict", config.strict);
    if (const Json* v = Reader::find(root, "mirror")) mirror(*v, config.mirror);
    // A recording's button presses replay as scripted events, in frame order with the others.
    std::stable_sort(config.events.begin(), config.events.end(),
                     [](const ScriptedEvent& a, const ScriptedEvent& b) { return a.frame < b.frame; });
  }

 private:
  std::filesystem::path folder;  // relative file names are the configuration's folder's
  Recording replayed;            // the head motion's recording, once read

  std::string beside(const std::string& file) const {
    const std::filesystem::path path(file);
    return (path.is_relative() && !folder.empty() ? folder / path : path).string();
  }

  bool side(const Json& value, const std::string& path, uint32_t& out) {
    int64_t side = 0;
    if (!reader.whole(value, path, 1, kMaxImageSide, side)) return false;
    out = static_cast<uint32_t>(side);
    return true;
  }

  void recommended(const Json& value, SimulatorConfig& config) {
    if (!reader.object(value, "recommended", {"width", "height", "format"})) return;
    if (const Json* v = Reader::find(value, "width")) side(*v, "recommended.width", config.recommendedWidth);
    if (const Json* v = Reader::find(value, "height")) side(*v, "recommended.height", config.recommendedHeight);
    int64_t format = 0;
    if (const Json* v = Reader::find(value, "format"))
      if (reader.whole(*v, "recommended.format", 1, 191, format))
        config.recommendedFormat = static_cast<int32_t>(format);
  }

  void pose(const Json& value, const std::string& path, HeadPose& out) {
    if (const Json* v = Reader::find(value, "position")) reader.vector3(*v, member(path, "position"), out.position);
    if (const Json* v = Reader::find(value, "yawPitchRoll"))
      reader.vector3(*v, member(path, "yawPitchRoll"), out.yawPitchRoll);
  }

  // A built-in path's name, required when the kind is "path" (owner: "motion" or "gaze").
  void pathName(const Json& value, const std::string& at, bool required, const char* owner, std::string& out) {
    const Json* path =
        required ? reader.require(value, at, "path",
                                  "one of \"circle\", \"nod\", \"look-around\" for a \"path\" " + std::string(owner))
                 : Reader::find(value, "path");
    int name = 0;
    if (path && reader.choice(*path, member(at, "path"), kPathNames, name)) out = kPathNames.begin()[name];
  }

  bool recording(const Json& value, const std::string& path, std::string& out) {
    if (!reader.text(value, path, out)) return false;
    out = beside(out);
    std::string problem;
    if (readRecording(out, replayed, problem)) return true;
    reader.refuse(path, "\"" + path + "\" is not a recording that replays: " + problem);
    return false;
  }

  void headMotion(const Json& value, SimulatorConfig& config) {
    const std::string at = "headMotion";
    HeadMotionConfig& motion = config.headMotion;
    if (!reader.object(value, at,
                       {"kind", "position", "yawPitchRoll", "path", "periodFrames", "keyframes", "recording",
                        "interPupillaryDistance"}))
      return;
    int kind = 0;
    if (const Json* v = Reader::find(value, "kind"))
      if (reader.choice(*v, member(at, "kind"), {"still", "path", "keyframes", "recording"}, kind))
        motion.kind = static_cast<HeadMotionConfig::Kind>(kind);
    pose(value, at, motion.still);
    if (const Json* v = Reader::find(value, "periodFrames"))
      reader.number(*v, member(at, "periodFrames"), 0.0, true, motion.pathPeriodFrames);
    if (const Json* v = Reader::find(value, "interPupillaryDistance"))
      reader.number(*v, member(at, "interPupillaryDistance"), 0.0, false, motion.interPupillaryDistance);
    pathName(value, at, motion.kind == HeadMotionConfig::Kind::path, "motion", motion.path);
    const Json* keyframes = Reader::find(value, "keyframes");
    if (motion.kind == HeadMotionConfig::Kind::keyframes)
      keyframes = reader.require(value, at, "keyframes", "an array of keyframes for a \"keyframes\" motion");
    if (keyframes) headKeyframes(*keyframes, member(at, "keyframes"), motion);
    const Json* file = Reader::find(value, "recording");
    if (motion.kind == HeadMotionConfig::Kind::recording)
      file = reader.require(value, at, "recording", "a recording's file name for a \"recording\" motion");
    if (file && recording(*file, member(at, "recording"), motion.recording) &&
        motion.kind == HeadMotionConfig::Kind::recording) {
      if (replayed.poses.empty()) {
        reader.refuse(member(at, "recording"), "\"headMotion.recording\" " + motion.recording + " holds no poses");
        return;
      }
      motion.keyframes.clear();
      for (const RecordedPose& recorded : replayed.poses) motion.keyframes.push_back({recorded.frame, recorded.pose});
      for (const RecordedButton& button : replayed.buttons)
        config.events.push_back({button.frame,
                                 button.down ? ScriptedEvent::Kind::buttonDown : ScriptedEvent::Kind::buttonUp,
                                 button.button});
    }
  }

  void headKeyframes(const Json& value, const std::string& at, HeadMotionConfig& motion) {
    if (!reader.array(value, at, "keyframes")) return;
    if (value.empty() && motion.kind == HeadMotionConfig::Kind::keyframes) {
      reader.refuse(at, "\"" + at + "\" must hold at least one keyframe");
      return;
    }
    for (size_t i = 0; i < value.size() && !reader.failed(); ++i) {
      const std::string path = element(at, i);
      const Json& item = value[i];
      if (!reader.object(item, path, {"frame", "position", "yawPitchRoll"})) return;
      HeadKeyframe keyframe{0, motion.still};
      const Json* frame = reader.require(item, path, "frame", "a whole number from 0");
      const int64_t after = motion.keyframes.empty() ? 0 : motion.keyframes.back().frame + 1;
      if (!frame) return;
      if (!reader.whole(*frame, member(path, "frame"), 0, kNoLimit, keyframe.frame)) return;
      if (keyframe.frame < after) {
        reader.refuse(member(path, "frame"), "\"" + member(path, "frame") + "\" must be after frame " +
                                                 std::to_string(after - 1) + " of the keyframe before, not " +
                                                 std::to_string(keyframe.frame));
        return;
      }
      pose(item, path, keyframe.pose);
      motion.keyframes.push_back(keyframe);
    }
  }

  void events(const Json& value, std::vector<ScriptedEvent>& out) {
    if (!reader.array(value, "events", "events")) return;
    static const std::initializer_list<const char*> types = {"buttonDown", "buttonUp",    "visibility", "foreground",
                                                             "standby",    "streamStart", "streamStop"};
    // The key each type takes, and what it must be.
    static const char* const argument[] = {"button", "button", "value", "value", "value", "stream", "stream"};
    for (size_t i = 0; i < value.size() && !reader.failed(); ++i) {
      const std::string path = element("events", i);
      const Json& item = value[i];
      if (!item.is_object()) {
        reader.object(item, path, {});
        return;
      }
      ScriptedEvent event;
      int type = 0;
      const Json* typeValue = reader.require(item, path, "type", "the event's type");
      if (!typeValue || !reader.choice(*typeValue, member(path, "type"), types, type)) return;
      event.kind = static_cast<ScriptedEvent::Kind>(type);
      const char* key = argument[type];
      const std::string kind = "\"" + std::string(types.begin()[type]) + "\"";
      if (!reader.object(item, path, {"frame", "type", key}, "(a " + kind + " event takes \"" + key + "\")")) return;
      const Json* frame = reader.require(item, path, "frame", "a whole number from 1");
      if (!frame || !reader.whole(*frame, member(path, "frame"), 1, kNoLimit, event.frame)) return;
      const bool isSwitch = std::strcmp(key, "value") == 0;
      const Json* given = reader.require(
          item, path, key, (isSwitch ? "true or false" : "a whole number") + std::string(" for a ") + kind + " event");
      if (!given) return;
      if (isSwitch) {
        bool on = false;
        if (!reader.flag(*given, member(path, key), on)) return;
        event.value = on ? 1 : 0;
      } else if (!reader.whole(*given, member(path, key), 0, std::numeric_limits<uint32_t>::max(), event.value)) {
        return;
      }
      out.push_back(event);
    }
  }

  void gaze(const Json& value, GazeConfig& gaze) {
    const std::string at = "gaze";
    if (!reader.object(value, at, {"kind", "direction", "path", "recording", "samplesPerSecond"})) return;
    int kind = 0;
    if (const Json* v = Reader::find(value, "kind"))
      if (reader.choice(*v, member(at, "kind"), {"off", "fixed", "path", "recording"}, kind))
        gaze.kind = static_cast<GazeConfig::Kind>(kind);
    if (const Json* v = Reader::find(value, "direction")) {
      if (reader.vector3(*v, member(at, "direction"), gaze.direction) && gaze.direction[0] == 0.0 &&
          gaze.direction[1] == 0.0 && gaze.direction[2] == 0.0)
        reader.refuse(member(at, "direction"), "\"gaze.direction\" must not be [0, 0, 0]");
    }
    if (const Json* v = Reader::find(value, "samplesPerSecond"))
      reader.number(*v, member(at, "samplesPerSecond"), 0.0, true, gaze.samplesPerSecond);
    pathName(value, at, gaze.kind == GazeConfig::Kind::path, "gaze", gaze.path);
    const Json* file = Reader::find(value, "recording");
    if (gaze.kind == GazeConfig::Kind::recording)
      file = reader.require(value, at, "recording", "a recording's file name for a \"recording\" gaze");
    if (file) {
      replayed = Recording{};
      if (!recording(*file, member(at, "recording"), gaze.recording)) return;
      if (gaze.kind == GazeConfig::Kind::recording && replayed.gaze.empty())
        reader.refuse(member(at, "recording"), "\"gaze.recording\" " + gaze.recording + " holds no gaze lines");
      gaze.recorded = replayed.gaze;
    }
  }

  void occlusionMesh(const Json& value, OcclusionMeshConfig& mesh) {
    if (!reader.object(value, "occlusionMesh", {"vertices"})) return;
    const Json* vertices = Reader::find(value, "vertices");
    if (!vertices || !reader.array(*vertices, "occlusionMesh.vertices", "[x, y] points")) return;
    if (vertices->size() % 3 != 0) {
      reader.refuse("occlusionMesh.vertices",
                    "\"occlusionMesh.vertices\" must hold whole triangles (a multiple of "
                    "3 points), not " +
                        std::to_string(vertices->size()) + " points");
      return;
    }
    for (size_t i = 0; i < vertices->size(); ++i) {
      const Json& point = (*vertices)[i];
      if (!point.is_array() || point.size() != 2 || !point[0].is_number() || !point[1].is_number()) {
        reader.refuse(element("occlusionMesh.vertices", i), "\"" + element("occlusionMesh.vertices", i) +
                                                                "\" must be [x, y], two numbers, not " + point.dump());
        return;
      }
      mesh.vertices.push_back({point[0].get<float>(), point[1].get<float>()});
    }
  }

  void capture(const Json& value, CaptureConfig& capture) {
    if (!reader.object(value, "capture", {"frames", "every", "depth"})) return;
    if (const Json* frames = Reader::find(value, "frames")) {
      if (!reader.array(*frames, "capture.frames", "frame numbers")) return;
      for (size_t i = 0; i < frames->size(); ++i) {
        int64_t frame = 0;
        if (!reader.whole((*frames)[i], element("capture.frames", i), 1, kNoLimit, frame)) return;
        capture.frames.push_back(frame);
      }
    }
    if (const Json* v = Reader::find(value, "every")) reader.whole(*v, "capture.every", 0, kNoLimit, capture.every);
    if (const Json* v = Reader::find(value, "depth")) reader.flag(*v, "capture.depth", capture.depth);
  }

  void mirror(const Json& value, MirrorConfig& mirror) {
    if (!reader.object(value, "mirror", {"enabled", "width", "height", "recordTo"})) return;
    if (const Json* v = Reader::find(value, "enabled")) reader.flag(*v, "mirror.enabled", mirror.enabled);
    int64_t side = 0;
    if (const Json* v = Reader::find(value, "width"))
      if (reader.whole(*v, "mirror.width", 1, kMaxImageSide, side)) mirror.width = static_cast<int32_t>(side);
    if (const Json* v = Reader::find(value, "height"))
      if (reader.whole(*v, "mirror.height", 1, kMaxImageSide, side)) mirror.height = static_cast<int32_t>(side);
    if (const Json* v = Reader::find(value, "recordTo"))
      if (reader.text(*v, "mirror.recordTo", mirror.recordTo)) mirror.recordTo = beside(mirror.recordTo);
  }
};

}  // namespace

ConfigOutcome parseConfig(const std::string& text, const std::string& name) {
  ConfigOutcome outcome;
  if (std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; })) {
    outcome.error = name + " line 1: the file is empty; a configuration is one JSON object";
    return outcome;
  }
  const Document document = parseDocument(text, name);
  if (!document.error.empty()) {
    outcome.error = document.error;
    return outcome;
  }
  SimulatorConfig config;
  config.source = name;
  ConfigParser parser(document, name);
  parser.top(document.root, config);
  if (parser.reader.failed()) outcome.error = parser.reader.refusal();
  else outcome.config = std::move(config);
  return outcome;
}

ConfigOutcome loadConfig(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  if (file) text << file.rdbuf();
  if (!file || file.bad()) {
    ConfigOutcome outcome;
    outcome.error = path + ": the file cannot be read (" + std::strerror(errno) + ")";
    return outcome;
  }
  return parseConfig(text.str(), path);
}

}  // namespace ZerinSim
