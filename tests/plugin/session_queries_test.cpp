// GetConfig, GetEulerAngles and EndSession through the exports.
#include <cmath>
#include <regex>

#include "platform/task_memory.h"
#include "plugin_fixture.h"

namespace {

using ZerinSim::calls;
using ZerinSim::callsTo;
using ZerinTest::callbackMessages;
using Lines = std::vector<std::string>;

// Call lines with the addresses of the plug-in's buffers replaced by "buffer".
Lines withBuffersNamed(const Lines& lines) {
  Lines named;
  for (const auto& line : lines) named.push_back(std::regex_replace(line, std::regex("0x[0-9a-f]+"), "buffer"));
  return named;
}

class SessionQueries : public ZerinTest::PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    loadPlugin();
    ASSERT_TRUE(plugin.InitSession());
    clearLogs();
  }
};

TEST_F(SessionQueries, GetConfigOfAValueNeedingNoBytesIsNullAfterOneQuery) {
  EXPECT_EQ(plugin.GetConfig("missing"), nullptr);
  EXPECT_EQ(calls(), (Lines{"zerin_GetConfig(session#1, \"missing\", null, 0) -> 0"}));
}

TEST_F(SessionQueries, GetConfigCopiesTheValueIntoTaskMemory) {
  plugin.SetConfig("display.mode", "extended");
  char* value = plugin.GetConfig("display.mode");
  ASSERT_NE(value, nullptr);
  EXPECT_STREQ(value, "extended");
  Zerin::platform::freeTaskMemory(value);
  EXPECT_EQ(withBuffersNamed(callsTo("zerin_GetConfig")),
            (Lines{"zerin_GetConfig(session#1, \"display.mode\", null, 0) -> 9",
                   "zerin_GetConfig(session#1, \"display.mode\", buffer, 9) -> 9"}));
}

TEST_F(SessionQueries, GetConfigReallocatesUntilAGrowingValueFits) {
  zerinsim_SetConfigValue("grows", "ab");
  zerinsim_QueueConfigValue("grows", "abcdef");        // after the size query
  zerinsim_QueueConfigValue("grows", "abcdefghijkl");  // after the first copy attempt
  char* value = plugin.GetConfig("grows");
  ASSERT_NE(value, nullptr);
  EXPECT_STREQ(value, "abcdefghijkl");
  Zerin::platform::freeTaskMemory(value);
  EXPECT_EQ(withBuffersNamed(calls()), (Lines{"zerin_GetConfig(session#1, \"grows\", null, 0) -> 3",
                                              "zerin_GetConfig(session#1, \"grows\", buffer, 3) -> 7",
                                              "zerin_GetConfig(session#1, \"grows\", buffer, 7) -> 13",
                                              "zerin_GetConfig(session#1, \"grows\", buffer, 13) -> 13"}));
}

TEST_F(SessionQueries, GetConfigOfAValueThatShrankReturnsTheShorterValue) {
  zerinsim_SetConfigValue("shrinks", "abcdefgh");
  zerinsim_QueueConfigValue("shrinks", "xy");
  char* value = plugin.GetConfig("shrinks");
  ASSERT_NE(value, nullptr);
  EXPECT_STREQ(value, "xy");
  Zerin::platform::freeTaskMemory(value);
}

TEST_F(SessionQueries, GetConfigOfAValueRemovedBetweenTheCallsIsNull) {
  zerinsim_SetConfigValue("vanishes", "abc");
  zerinsim_QueueConfigValue("vanishes", nullptr);
  EXPECT_EQ(plugin.GetConfig("vanishes"), nullptr);
  EXPECT_EQ(withBuffersNamed(calls()), (Lines{"zerin_GetConfig(session#1, \"vanishes\", null, 0) -> 4",
                                              "zerin_GetConfig(session#1, \"vanishes\", buffer, 4) -> 0"}));
}

TEST_F(SessionQueries, GetEulerAnglesCopiesTheRuntimesThreeAngles) {
  // 60 degrees about the y axis.
  const double pi = std::acos(-1.0);
  double out[3] = {9, 9, 9};
  plugin.GetEulerAngles(0, std::sin(pi / 6), 0, std::cos(pi / 6), out);
  EXPECT_NEAR(out[0], 0.0, 1e-12);
  EXPECT_NEAR(out[1], pi / 3, 1e-12);
  EXPECT_NEAR(out[2], 0.0, 1e-12);
  const auto logged = calls();
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_EQ(logged[0].rfind("zerin_GetEulerAngles(0, 0.49999999999999994, 0, 0.86602540378443", 0), 0u) << logged[0];
}

TEST_F(SessionQueries, GetEulerAnglesWithoutASessionLeavesTheOutputAlone) {
  plugin.EndSession();
  zerinsim_ClearCalls();
  double out[3] = {1.5, -2.5, 3.5};
  plugin.GetEulerAngles(0.1, 0.2, 0.3, 0.9, out);
  EXPECT_EQ(out[0], 1.5);
  EXPECT_EQ(out[1], -2.5);
  EXPECT_EQ(out[2], 3.5);
  EXPECT_TRUE(calls().empty());
}

int sessionsAtShutdownLine = -1;
int sessionsAtDoneLine = -1;

void countSessionsAtEndLines(const std::string& message) {
  if (message == "Shutdown session") sessionsAtShutdownLine = zerinsim_LiveObjectCount("session");
  if (message == "EndSession done.") sessionsAtDoneLine = zerinsim_LiveObjectCount("session");
}

TEST_F(SessionQueries, EndSessionFreesTheRecordsAndShutsDownBetweenItsTwoLines) {
  ZerinTest::setCallbackObserver(&countSessionsAtEndLines);
  plugin.EndSession();
  EXPECT_EQ(callbackMessages(), (Lines{"Shutdown session", "EndSession done."}));
  EXPECT_EQ(sessionsAtShutdownLine, 1) << "logged before the runtime shutdown";
  EXPECT_EQ(sessionsAtDoneLine, 0) << "logged after the runtime shutdown";
  EXPECT_EQ(calls(), (Lines{"zerin_FreeFrameInfo(frameInfo#1)", "zerin_FreeFrameInfo(frameInfo#2)",
                            "zerin_FreeSubmitInfo(submitInfo#1)", "zerin_SessionShutDown(session#1)",
                            "zerin_FreeEvent(event#1)"}));
  EXPECT_TRUE(plugin.IsSessionNull());
  EXPECT_EQ(plugin.GetError(), 1);
  for (const char* kind : {"session", "event", "frameInfo", "submitInfo"})
    EXPECT_EQ(zerinsim_LiveObjectCount(kind), 0) << kind;
}

TEST_F(SessionQueries, ANewSessionOpensAfterEndSession) {
  plugin.EndSession();
  ASSERT_TRUE(plugin.InitSession());
  EXPECT_EQ(plugin.GetSession(), zerinsim_FindObject("session#2"));
  EXPECT_EQ(callsTo("zerin_CreateSubmitInfo"), (Lines{"zerin_CreateSubmitInfo(session#2) -> submitInfo#2"}));
  EXPECT_EQ(plugin.GetError(), 0);
}

TEST_F(SessionQueries, EndSessionWithoutASessionFreesNothingAndDoesNotCrash) {
  plugin.EndSession();
  clearLogs();
  plugin.EndSession();
  plugin.EndSession();
  EXPECT_TRUE(calls().empty());
  EXPECT_EQ(callbackMessages(), (Lines{"Shutdown session", "EndSession done.", "Shutdown session", "EndSession done."}));
  EXPECT_TRUE(plugin.IsSessionNull());
}

}  // namespace
