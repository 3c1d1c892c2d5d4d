// The configuration's reader: what it fills in, and the exact refusal of each way a file goes wrong.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "recording.h"
#include "platform/shared_library.h"
#include "simulator_config.h"

using ZerinSim::ConfigOutcome;
using ZerinSim::parseConfig;

namespace {

struct BadConfig {
  const char* text;
  const char* error;
};

TEST(SimulatorConfig, RefusesEachBadFileNamingLineAndKey) {
  const BadConfig cases[] = {
      {"", "c.json line 1: the file is empty; a configuration is one JSON object"},
      {"[1]", "c.json line 1: a configuration must be one JSON object, not array"},
      {"{\n  \"frameRate\": 90,\n  \"clock\": \"virtual\"\n  \"strict\": true\n}",
       "c.json line 4: syntax error while parsing object - unexpected string literal; expected '}'"},
      {"{\n\n\n  \"framerate\": 90\n}", "c.json line 4: unknown key \"framerate\" (did you mean \"frameRate\"?)"},
      {"{\"frameRate\": 90,\n\"frameRate\": 60}", "c.json line 2: \"frameRate\" is given twice"},
      {"{\"frameRate\": \"fast\"}", "c.json line 1: \"frameRate\" must be a number above 0, not \"fast\""},
      {"{\"frameRate\": 0}", "c.json line 1: \"frameRate\" must be a number above 0, not 0"},
      {"{\"clock\": \"wall\"}", "c.json line 1: \"clock\" must be one of \"virtual\", \"real\", not \"wall\""},
      {"{\"recommended\": {\n\"width\": 16385}}",
       "c.json line 2: \"recommended.width\" must be a whole number from 1 to 16384, not 16385"},
      {"{\"recommended\": {\"height\": 1.5}}",
       "c.json line 1: \"recommended.height\" must be a whole number from 1 to 16384, not 1.5"},
      {"{\"headMotion\": {\"kind\": \"keyframes\", \"keyframes\": [\n{\"frame\": 0},\n{\"frame\": 10},\n"
       "{\"frame\": -3}]}}",
       "c.json line 4: \"headMotion.keyframes[2].frame\" must be a whole number from 0, not -3"},
      {"{\"headMotion\": {\"kind\": \"keyframes\", \"keyframes\": [\n{\"frame\": 20},\n{\"frame\": 20}]}}",
       "c.json line 3: \"headMotion.keyframes[1].frame\" must be after frame 20 of the keyframe before, not 20"},
      {"{\"headMotion\": {\"kind\": \"keyframes\"}}",
       "c.json line 1: \"headMotion.keyframes\" is missing: it must be an array of keyframes for a \"keyframes\" "
       "motion"},
      {"{\"headMotion\": {\"position\": [0, 1]}}",
       "c.json line 1: \"headMotion.position\" must be an array of 3 numbers, not [0,1]"},
      {"{\"headMotion\": {\"kind\": \"path\", \"path\": \"spiral\"}}",
       "c.json line 1: \"headMotion.path\" must be one of \"circle\", \"nod\", \"look-around\", not \"spiral\""},
      {"{\"headMotion\": {\"kind\": \"recording\", \"recording\": \"missing.jsonl\"}}",
       "c.json line 1: \"headMotion.recording\" is not a recording that replays: missing.jsonl: the file cannot be "
       "read (No such file or directory)"},
      {"{\"events\": [\n{\"frame\": 3, \"type\": \"jump\"}]}",
       "c.json line 2: \"events[0].type\" must be one of \"buttonDown\", \"buttonUp\", \"visibility\", "
       "\"foreground\", \"standby\", \"streamStart\", \"streamStop\", not \"jump\""},
      {"{\"events\": [{\"frame\": 3, \"type\": \"visibility\", \"button\": 1}]}",
       "c.json line 1: unknown key \"events[0].button\" (a \"visibility\" event takes \"value\")"},
      {"{\"events\": [{\"frame\": 3, \"type\": \"buttonDown\"}]}",
       "c.json line 1: \"events[0].button\" is missing: it must be a whole number for a \"buttonDown\" event"},
      {"{\"events\": [{\"frame\": 0, \"type\": \"standby\", \"value\": true}]}",
       "c.json line 1: \"events[0].frame\" must be a whole number from 1, not 0"},
      {"{\"gaze\": {\"kind\": \"fixed\", \"direction\": [0, 0, 0]}}",
       "c.json line 1: \"gaze.direction\" must not be [0, 0, 0]"},
      {"{\"occlusionMesh\": {\"vertices\": [[0, 0], [1, 0]]}}",
       "c.json line 1: \"occlusionMesh.vertices\" must hold whole triangles (a multiple of 3 points), not 2 points"},
      // The lexer reads past a number before it ends it: the newline there is not the number's.
      {"{\"capture\": {\"frames\": [\n30,\n-1\n]}}",
       "c.json line 3: \"capture.frames[1]\" must be a whole number from 1, not -1"},
      {"{\"mirror\": {\"enabled\": 1}}", "c.json line 1: \"mirror.enabled\" must be true or false, not 1"},
      {"{\"strict\": null}", "c.json line 1: \"strict\" must be true or false, not null"},
  };
  for (const BadConfig& bad : cases) {
    const ConfigOutcome outcome = parseConfig(bad.text, "c.json");
    EXPECT_FALSE(outcome.config) << bad.text;
    EXPECT_EQ(outcome.error, bad.error) << bad.text;
  }
}

TEST(SimulatorConfig, ReadsTheSample) {
  const ConfigOutcome outcome = ZerinSim::loadConfig(Zerin::platform::besideProgram("ZerinSimulator.sample.json"));
  ASSERT_TRUE(outcome.config) << outcome.error;
  const ZerinSim::SimulatorConfig& config = *outcome.config;
  EXPECT_EQ(config.headMotion.kind, ZerinSim::HeadMotionConfig::Kind::keyframes);
  ASSERT_EQ(config.headMotion.keyframes.size(), 4u);
  EXPECT_EQ(config.headMotion.keyframes[1].frame, 45);
  EXPECT_EQ(config.headMotion.keyframes[1].pose.yawPitchRoll[0], 30.0);
  ASSERT_FALSE(config.events.empty());
  EXPECT_EQ(config.events[0].frame, 30);
  EXPECT_EQ(config.events[0].kind, ZerinSim::ScriptedEvent::Kind::buttonDown);
  EXPECT_EQ(config.capture.frames, (std::vector<int64_t>{30, 60}));
  EXPECT_EQ(config.occlusionMesh.vertices.size(), 6u);
  EXPECT_EQ(config.recommendedWidth, 1440u);
}

}  // namespace
