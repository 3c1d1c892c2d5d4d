// Opening and closing the session through the exports, against the simulated runtime.
#include <regex>

#include "plugin_fixture.h"
#include "zerin_version.h"

namespace {

using ZerinSim::calls;
using ZerinSim::callsTo;
using ZerinTest::callbackMessages;
using Lines = std::vector<std::string>;

const std::string kVersion = ZERIN_RUNTIME_VERSION;

const Lines kCleanStartCalls = {
    "zerin_GetFullVersion() -> \"" + kVersion + "\"",
    "zerin_SessionInit() -> session#1",
    "zerin_AllocateEvent() -> event#1",
    "zerin_GetError(session#1) -> 0",
    "zerin_CreateFrameInfo(session#1) -> frameInfo#1",
    "zerin_CreateFrameInfo(session#1) -> frameInfo#2",
    "zerin_CreateSubmitInfo(session#1) -> submitInfo#1",
    "zerin_LayoutDefaultViewports(session#1, submitInfo#1.viewports)",
    "zerin_GetError(session#1) -> 0",
    "zerin_GetError(session#1) -> 0",
};

const Lines kCleanStartLines = {"Initialize a new session", "Lib version: " + kVersion,
                                "Plugin version: " + kVersion, "Initialize d3d11", "InitSession done"};

class Session : public ZerinTest::PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    loadPlugin();
  }

  int liveRecords() {
    return zerinsim_LiveObjectCount("session") + zerinsim_LiveObjectCount("event") +
           zerinsim_LiveObjectCount("frameInfo") + zerinsim_LiveObjectCount("submitInfo");
  }
};

TEST_F(Session, ACleanStartMakesTheSessionItsEventAndFrameRecordsInOrder) {
  ASSERT_TRUE(plugin.InitSession());
  EXPECT_EQ(callbackMessages(), kCleanStartLines);
  EXPECT_EQ(calls(), kCleanStartCalls);

  EXPECT_FALSE(plugin.IsSessionNull());
  EXPECT_EQ(plugin.GetSession(), zerinsim_FindObject("session#1"));
  auto* info = static_cast<ZerinSubmitInfo*>(zerinsim_FindObject("submitInfo#1"));
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->flags, 1) << "the third field of the submit info is set to 1";
  EXPECT_EQ(info->viewports[0].width, 2048);
  EXPECT_EQ(info->viewports[2].height, 1152) << "default viewports laid out";
  EXPECT_EQ(plugin.GetError(), 0);
}

TEST_F(Session, PluginVersionIsOneBuildConstantOfTheReleaseForm) {
  EXPECT_TRUE(std::regex_match(kVersion, std::regex(R"(^\d+\.\d+\.\d+\.\d+-rc-[0-9a-f]{8}$)"))) << kVersion;
  plugin.InitSession();
  const auto messages = callbackMessages();
  ASSERT_GE(messages.size(), 3u);
  EXPECT_EQ(messages[2], "Plugin version: " + kVersion);
  EXPECT_EQ(messages[1], "Lib version: " + kVersion) << "the runtime reports the same release";
}

TEST_F(Session, ASecondInitSessionIsRefusedAndLeavesTheFirstAlone) {
  ASSERT_TRUE(plugin.InitSession());
  void* first = plugin.GetSession();
  ZerinTest::clearCallbackMessages();
  zerinsim_ClearCalls();
  EXPECT_FALSE(plugin.InitSession());
  EXPECT_FALSE(plugin.InitSessionWithLayerId(5));
  EXPECT_EQ(callbackMessages(),
            (Lines{"Initialize a new session",
                   "Session pointer already exists, won't initialize a new session. Forgot to call EndSession()?",
                   "Initialize a new session with spesified layer id",
                   "Session pointer already exists, won't initialize a new session. Forgot to call EndSession()?"}));
  EXPECT_TRUE(calls().empty());
  EXPECT_EQ(plugin.GetSession(), first);
  EXPECT_EQ(zerinsim_LiveObjectCount("session"), 1);
}

class VersionMismatch : public Session, public ::testing::WithParamInterface<std::string> {};

TEST_P(VersionMismatch, LogsBothVersionsAndOpensNoSession) {
  const std::string libVersion = GetParam();
  zerinsim_SetVersion(libVersion.c_str());
  ZerinTest::StderrCapture capture;
  EXPECT_FALSE(plugin.InitSession());
  const Lines lines = {"Initialize a new session", "Lib version: " + libVersion, "Plugin version: " + kVersion,
                       "ZerinLib version mismatch."};
  EXPECT_EQ(callbackMessages(), lines);
  EXPECT_EQ(ZerinTest::debugOutput(), ZerinTest::debuggerChunksFor(lines));
  EXPECT_EQ(ZerinTest::normaliseNewlines(capture.finish()), ZerinTest::stderrTextFor(lines));
  EXPECT_TRUE(plugin.IsSessionNull());
  EXPECT_EQ(plugin.GetSession(), nullptr);
  EXPECT_EQ(calls(), (Lines{"zerin_GetFullVersion() -> \"" + libVersion + "\""}));
}

std::string withLastCharacter(char last) { return kVersion.substr(0, kVersion.size() - 1) + last; }

INSTANTIATE_TEST_SUITE_P(
    Versions, VersionMismatch,
    ::testing::Values(withLastCharacter(kVersion.back() == '0' ? '1' : '0'),
                      std::regex_replace(kVersion, std::regex("-rc-"), "-RC-"), kVersion.substr(0, kVersion.size() - 1),
                      kVersion + "0", std::string("")),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST_F(Session, ARuntimeReportingNoVersionIsAMismatch) {
  zerinsim_FailNextCall("zerin_GetFullVersion", ZERIN_ERROR_UNKNOWN);
  EXPECT_FALSE(plugin.InitSession());
  EXPECT_EQ(callbackMessages(), (Lines{"Initialize a new session", "Lib version: (none)",
                                       "Plugin version: " + kVersion, "ZerinLib version mismatch."}));
  EXPECT_TRUE(plugin.IsSessionNull());
  zerinsim_FailNextCall("zerin_GetFullVersion", ZERIN_ERROR_UNKNOWN);
  EXPECT_STREQ(plugin.GetRuntimeVersion(), "") << "told apart from no library";
}

TEST_F(Session, AFailedStartKeepsTheRuntimesErrorAndTheVersionsForTheScripts) {
  const std::pair<const char*, int64_t> failures[] = {{"zerin_SessionInit", ZERIN_ERROR_DEVICE_LOST},
                                                      {"zerin_AllocateEvent", ZERIN_ERROR_OUT_OF_MEMORY}};
  for (const auto& [function, code] : failures) {
    zerinsim_FailNextCall(function, code);
    EXPECT_FALSE(plugin.InitSession());
    EXPECT_EQ(plugin.GetSessionStartError(), code) << function;
    EXPECT_EQ(plugin.GetSessionStartError(), code) << function << ", asked again";
    plugin.EndSession();
  }
  zerinsim_SetVersion("0.0.0.1-rc-00000000");
  zerinsim_ClearCalls();
  EXPECT_STREQ(plugin.GetRuntimeVersion(), "0.0.0.1-rc-00000000");
  EXPECT_STREQ(plugin.GetPluginVersion(), kVersion.c_str());
  EXPECT_EQ(calls(), (Lines{"zerin_GetFullVersion() -> \"0.0.0.1-rc-00000000\""})) << "and nothing opened";
  EXPECT_FALSE(plugin.InitSession());
  EXPECT_EQ(plugin.GetSessionStartError(), 0) << "a version mismatch is no runtime error";
}

TEST_F(Session, WithLayerIdNeverChecksTheVersion) {
  zerinsim_SetVersion("0.0.0.0-rc-00000000");
  ASSERT_TRUE(plugin.InitSessionWithLayerId(-42));
  EXPECT_EQ(callbackMessages(), (Lines{"Initialize a new session with spesified layer id", "Initialize d3d11",
                                       "InitSessionWithLayerId done"}));
  Lines expected(kCleanStartCalls.begin() + 1, kCleanStartCalls.end());
  expected[0] = "zerin_SessionInitWithLayerId(-42) -> session#1";
  EXPECT_EQ(calls(), expected);
  EXPECT_FALSE(plugin.IsSessionNull());
}

TEST_F(Session, ARuntimeWithoutASessionGivesFalseWithoutAnotherLine) {
  zerinsim_SetAvailable(0);
  EXPECT_FALSE(plugin.InitSession());
  EXPECT_EQ(callbackMessages(), Lines(kCleanStartLines.begin(), kCleanStartLines.begin() + 3));
  EXPECT_TRUE(plugin.IsSessionNull());
  ZerinTest::clearCallbackMessages();
  EXPECT_FALSE(plugin.InitSessionWithLayerId(3));
  EXPECT_EQ(callbackMessages(), (Lines{"Initialize a new session with spesified layer id"}));
  EXPECT_TRUE(plugin.IsSessionNull());
}

// Raises a runtime error as soon as the plug-in reports "InitSession done".
void raiseErrorWhenDone(const std::string& message) {
  if (message == "InitSession done") zerinsim_RaiseError(ZERIN_ERROR_INVALID_STATE);
}

struct ErrorCase {
  const char* name;
  const char* failingFunction;  // null: raised after "InitSession done"
  int64_t code;
  Lines lines;  // after the three version lines
};

void PrintTo(const ErrorCase& error, std::ostream* out) { *out << error.name; }

class SessionErrors : public Session, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(SessionErrors, LogTheRuntimesTextReturnFalseAndLeaveTheSessionOpen) {
  const ErrorCase& error = GetParam();
  if (error.failingFunction) zerinsim_FailNextCall(error.failingFunction, error.code);
  else ZerinTest::setCallbackObserver(&raiseErrorWhenDone);
  ZerinTest::StderrCapture capture;
  EXPECT_FALSE(plugin.InitSession());
  const std::string stderrText = ZerinTest::normaliseNewlines(capture.finish());

  Lines lines(kCleanStartLines.begin(), kCleanStartLines.begin() + 3);
  lines.insert(lines.end(), error.lines.begin(), error.lines.end());
  EXPECT_EQ(callbackMessages(), lines);
  EXPECT_EQ(ZerinTest::debugOutput(), ZerinTest::debuggerChunksFor(lines));
  EXPECT_EQ(stderrText, ZerinTest::stderrTextFor(lines));
  EXPECT_FALSE(plugin.IsSessionNull()) << "the session stays open until EndSession";
  EXPECT_EQ(plugin.GetSession(), zerinsim_FindObject("session#1"));

  // A retry is refused until EndSession has cleaned up; then a new session opens.
  EXPECT_FALSE(plugin.InitSession());
  plugin.EndSession();
  EXPECT_EQ(liveRecords(), 0);
  ZerinTest::setCallbackObserver(nullptr);
  EXPECT_TRUE(plugin.InitSession());
  EXPECT_EQ(plugin.GetSession(), zerinsim_FindObject("session#2"));
}

INSTANTIATE_TEST_SUITE_P(
    Stages, SessionErrors,
    ::testing::Values(
        ErrorCase{"AfterAllocation", "zerin_AllocateEvent", ZERIN_ERROR_OUT_OF_MEMORY, {"Got an error: Out of memory"}},
        ErrorCase{"AfterSetUp",
                  "zerin_LayoutDefaultViewports",
                  ZERIN_ERROR_DEVICE_LOST,
                  {"Initialize d3d11", "Got an error: Device lost"}},
        ErrorCase{"WhenTheSubmitInfoIsMissing",
                  "zerin_CreateSubmitInfo",
                  ZERIN_ERROR_OUT_OF_MEMORY,
                  {"Initialize d3d11", "Got an error: Out of memory"}},
        ErrorCase{"AfterInitSessionDone",
                  nullptr,
                  ZERIN_ERROR_INVALID_STATE,
                  {"Initialize d3d11", "InitSession done", "Got an error: Invalid state"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Session, GetErrorIsOneWithoutASessionAndTheRuntimesCodeWithOne) {
  EXPECT_EQ(plugin.GetError(), 1);
  EXPECT_TRUE(calls().empty()) << "no runtime call without a session";
  ASSERT_TRUE(plugin.InitSession());
  EXPECT_EQ(plugin.GetError(), 0);
  zerinsim_RaiseError(ZERIN_ERROR_DEVICE_LOST);
  zerinsim_ClearCalls();
  EXPECT_EQ(plugin.GetError(), ZERIN_ERROR_DEVICE_LOST);
  EXPECT_EQ(calls(), (Lines{"zerin_GetError(session#1) -> -7"}));
}

TEST_F(Session, GetErrorMessageSignExtendsTheCode) {
  EXPECT_STREQ(plugin.GetErrorMessage(-3), "Invalid session");
  EXPECT_STREQ(plugin.GetErrorMessage(0), "No error");
  EXPECT_STREQ(plugin.GetErrorMessage(INT32_MIN), "Unknown error code -2147483648");
  EXPECT_EQ(calls(), (Lines{"zerin_GetErrorDesc(-3) -> \"Invalid session\"", "zerin_GetErrorDesc(0) -> \"No error\"",
                            "zerin_GetErrorDesc(-2147483648) -> \"Unknown error code -2147483648\""}));
}

TEST_F(Session, IsZerinSystemInstalledAsksTheRuntimeWithoutASession) {
  EXPECT_TRUE(plugin.IsZerinSystemInstalled());
  zerinsim_SetAvailable(0);
  EXPECT_FALSE(plugin.IsZerinSystemInstalled());
  EXPECT_EQ(calls(), (Lines{"zerin_IsAvailable() -> 1", "zerin_IsAvailable() -> 0"}));
}

TEST_F(Session, SettingsPassTheirValuesOnWithTheSession) {
  ASSERT_TRUE(plugin.InitSession());
  clearLogs();
  plugin.SetSessionVisible(true);
  plugin.SetSessionVisible(false);
  plugin.SetSessionTransparent(true);
  plugin.SendHeartBeat(-9);
  plugin.SendHeartBeat(INT64_MAX);
  plugin.ResetPose(true, -2);
  plugin.ResetPose(false, 3);
  plugin.SetConfig("gfx.quality", "high");
  EXPECT_EQ(calls(), (Lines{"zerin_SetSessionVisible(session#1, 1)", "zerin_SetSessionVisible(session#1, 0)",
                            "zerin_SetSessionTransparent(session#1, 1)", "zerin_SendHeartBeat(session#1, -9)",
                            "zerin_SendHeartBeat(session#1, 9223372036854775807)", "zerin_ResetPose(session#1, 1, -2)",
                            "zerin_ResetPose(session#1, 0, 3)",
                            "zerin_SetConfig(session#1, \"gfx.quality\", \"high\")"}));
  EXPECT_TRUE(callbackMessages().empty());
}

TEST_F(Session, SettingsWithoutASessionHandTheRuntimeANullHandle) {
  plugin.SetSessionVisible(true);
  plugin.SendHeartBeat(4);
  EXPECT_EQ(calls(), (Lines{"zerin_SetSessionVisible(null, 1)", "zerin_SendHeartBeat(null, 4)"}));
}

struct FormatCase {
  int32_t kind;
  int32_t height;
};

void PrintTo(const FormatCase& format, std::ostream* out) { *out << "kind " << format.kind; }

class RenderTextureFormat : public Session, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(RenderTextureFormat, Is2048WideAnd1152HighOnlyForKindsTwoAndThree) {
  const auto desc = plugin.GetRenderTextureFormat(GetParam().kind);
  EXPECT_EQ(desc.width, 2048);
  EXPECT_EQ(desc.height, GetParam().height);
  EXPECT_EQ(desc.format, 27);
}

INSTANTIATE_TEST_SUITE_P(Kinds, RenderTextureFormat,
                         ::testing::Values(FormatCase{-1, 2048}, FormatCase{0, 2048}, FormatCase{1, 2048},
                                           FormatCase{2, 1152}, FormatCase{3, 1152}, FormatCase{4, 2048},
                                           FormatCase{INT32_MIN, 2048}),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

}  // namespace
