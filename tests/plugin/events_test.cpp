// Runtime events through the exports: the render thread moves them from the simulated runtime
// into the plug-in's queue (render event 14), the scripts poll them and read their data.
#include "events_gaze_mr_fixture.h"

namespace {

using ZerinSim::calls;
using Lines = std::vector<std::string>;

constexpr int32_t kEventPoll = 14;

ZerinEvent event(int64_t type, int64_t data, int64_t timestamp = 0) {
  ZerinEvent made{};
  made.type = type;
  made.timestamp = timestamp;
  made.data.i64 = data;
  return made;
}

class Events : public ZerinTest::DevicesTest {
 protected:
  void SetUp() override {
    DevicesTest::SetUp();
    ASSERT_TRUE(host->startRendering()) << host->error();
  }

  // Queues events in the runtime and lets the render thread move them into the plug-in.
  void deliver(const std::vector<ZerinEvent>& events) {
    for (const auto& queued : events) zerinsim_QueueEvent(&queued);
    pollOnRenderThread();
  }
  void pollOnRenderThread() {
    host->renderThread().issuePluginEvent(kEventPoll);
    host->renderThread().waitUntilIdle();
  }

  // Every getter, 32-bit ones first.
  std::vector<int64_t> getters() {
    return {plugin.GetEventForeground(),
            plugin.GetEventHeadsetStandbyStatus(),
            plugin.GetEventVisibility(),
            plugin.GetEventButton(),
            plugin.GetEventDataStreamStart(),
            plugin.GetEventDataStreamStop(),
            plugin.GetEventMRCameraPropertyChange(),
            plugin.GetEventMRDeviceStatus()};
  }
  static std::vector<int64_t> allZero() { return std::vector<int64_t>(8, 0); }
};

TEST_F(Events, ThreeEventsComeOutInOrderThenTheFourthPollIsFalseAndEveryGetterZero) {
  deliver({event(ZERIN_EVENT_FOREGROUND, 1, 100), event(ZERIN_EVENT_BUTTON, (int64_t{2} << 32) | 5, 200),
           event(ZERIN_EVENT_MR_DEVICE_STATUS, (int64_t{4} << 32) | 1, 300)});
  int64_t type = -1;
  ASSERT_TRUE(plugin.PollEvent(&type));
  EXPECT_EQ(type, ZERIN_EVENT_FOREGROUND);
  EXPECT_EQ(plugin.GetEventForeground(), 1u);
  ASSERT_TRUE(plugin.PollEvent(&type));
  EXPECT_EQ(type, ZERIN_EVENT_BUTTON);
  EXPECT_EQ(plugin.GetEventButton(), (int64_t{2} << 32) | 5);
  ASSERT_TRUE(plugin.PollEvent(&type));
  EXPECT_EQ(type, ZERIN_EVENT_MR_DEVICE_STATUS);
  EXPECT_EQ(plugin.GetEventMRDeviceStatus(), (int64_t{4} << 32) | 1);

  EXPECT_FALSE(plugin.PollEvent(&type));
  EXPECT_EQ(type, ZERIN_EVENT_MR_DEVICE_STATUS) << "an empty poll writes no type";
  EXPECT_EQ(getters(), allZero());
}

TEST_F(Events, ThirtyTwoBitGettersReadTheFirstHalfAndSixtyFourBitGettersAllEightBytes) {
  const int64_t data = static_cast<int64_t>(0x8877665544332211ull);
  deliver({event(ZERIN_EVENT_VISIBILITY, data)});
  int64_t type = 0;
  ASSERT_TRUE(plugin.PollEvent(&type));
  EXPECT_EQ(getters(), (std::vector<int64_t>{0x44332211, 0x44332211, 0x44332211, data, data, data, data, data}));
  // The getters read; they take nothing away.
  EXPECT_EQ(plugin.GetEventVisibility(), 0x44332211u);
}

TEST_F(Events, AnEmptyPollLeavesTheTypeAloneAndTheGettersAtZero) {
  int64_t type = 12345;
  EXPECT_FALSE(plugin.PollEvent(&type));
  EXPECT_EQ(type, 12345);
  EXPECT_EQ(getters(), allZero());
  EXPECT_FALSE(plugin.PollEvent(nullptr)) << "nowhere to write the type";
}

TEST_F(Events, APollWithoutATypeToWriteKeepsTheEvent) {
  deliver({event(ZERIN_EVENT_HEADSET_STANDBY, 1)});
  EXPECT_FALSE(plugin.PollEvent(nullptr));
  EXPECT_EQ(getters(), allZero());
  int64_t type = 0;
  ASSERT_TRUE(plugin.PollEvent(&type));
  EXPECT_EQ(type, ZERIN_EVENT_HEADSET_STANDBY);
  EXPECT_EQ(plugin.GetEventHeadsetStandbyStatus(), 1u);
}

TEST_F(Events, EventsQueuedBeforeEndSessionAreDeliveredAfterTheNextInitSession) {
  deliver({event(ZERIN_EVENT_DATA_STREAM_START, 0x101), event(ZERIN_EVENT_DATA_STREAM_STOP, 0x101)});
  plugin.EndSession();
  ASSERT_TRUE(plugin.InitSession());
  int64_t type = 0;
  ASSERT_TRUE(plugin.PollEvent(&type));
  EXPECT_EQ(type, ZERIN_EVENT_DATA_STREAM_START);
  EXPECT_EQ(plugin.GetEventDataStreamStart(), 0x101);
  ASSERT_TRUE(plugin.PollEvent(&type));
  EXPECT_EQ(type, ZERIN_EVENT_DATA_STREAM_STOP);
  EXPECT_EQ(plugin.GetEventDataStreamStop(), 0x101);
  EXPECT_FALSE(plugin.PollEvent(&type));
}

TEST_F(Events, WithoutASessionPollReportsNoneKeepsTheQueueAndTheGettersReadZero) {
  deliver({event(ZERIN_EVENT_MR_CAMERA_PROPERTY, 0x700000031), event(ZERIN_EVENT_FOREGROUND, 1)});
  int64_t type = 0;
  ASSERT_TRUE(plugin.PollEvent(&type));
  EXPECT_EQ(plugin.GetEventMRCameraPropertyChange(), 0x700000031);

  plugin.EndSession();
  EXPECT_EQ(getters(), allZero()) << "the delivered event went with the session's record";
  type = 77;
  EXPECT_FALSE(plugin.PollEvent(&type));
  EXPECT_EQ(type, 77);
  EXPECT_EQ(getters(), allZero());
  pollOnRenderThread();  // without a session the render thread takes nothing and drops nothing

  ASSERT_TRUE(plugin.InitSession());
  ASSERT_TRUE(plugin.PollEvent(&type));
  EXPECT_EQ(type, ZERIN_EVENT_FOREGROUND);
  EXPECT_EQ(plugin.GetEventForeground(), 1u);
}

TEST_F(Events, TheRuntimesOwnEventsReachTheGetters) {
  plugin.SetSessionVisible(false);
  zerinsim_SetButton(5, 1);
  ASSERT_TRUE(plugin.MRStartDataStream(
      2, [](const void*, void*) {}, nullptr));
  plugin.MRStopDataStream(2);
  zerinsim_SetCameraProperty(0x31, 7);
  zerinsim_SetDeviceStatus(2, 3);
  pollOnRenderThread();

  struct Expected {
    int64_t type;
    int64_t value;
  };
  const Expected expected[] = {{ZERIN_EVENT_VISIBILITY, 0},
                               {ZERIN_EVENT_BUTTON, (int64_t{ZERIN_BUTTON_STATE_PRESSED} << 32) | 5},
                               {ZERIN_EVENT_DATA_STREAM_START, 0x201},
                               {ZERIN_EVENT_DATA_STREAM_STOP, 0x201},
                               {ZERIN_EVENT_MR_CAMERA_PROPERTY, (int64_t{7} << 32) | 0x31},
                               {ZERIN_EVENT_MR_DEVICE_STATUS, (int64_t{3} << 32) | 2}};
  for (const Expected& next : expected) {
    int64_t type = 0;
    ASSERT_TRUE(plugin.PollEvent(&type));
    EXPECT_EQ(type, next.type);
    switch (type) {
      case ZERIN_EVENT_VISIBILITY: EXPECT_EQ(static_cast<int64_t>(plugin.GetEventVisibility()), next.value); break;
      case ZERIN_EVENT_BUTTON: EXPECT_EQ(plugin.GetEventButton(), next.value); break;
      case ZERIN_EVENT_DATA_STREAM_START: EXPECT_EQ(plugin.GetEventDataStreamStart(), next.value); break;
      case ZERIN_EVENT_DATA_STREAM_STOP: EXPECT_EQ(plugin.GetEventDataStreamStop(), next.value); break;
      case ZERIN_EVENT_MR_CAMERA_PROPERTY: EXPECT_EQ(plugin.GetEventMRCameraPropertyChange(), next.value); break;
      default: EXPECT_EQ(plugin.GetEventMRDeviceStatus(), next.value); break;
    }
  }
  int64_t type = 0;
  EXPECT_FALSE(plugin.PollEvent(&type));
}

TEST_F(Events, GetButtonEventAsksTheRuntimeWithBothArgumentsEvenWithoutASession) {
  zerinsim_SetButton(7, 1);
  zerinsim_ClearCalls();
  EXPECT_TRUE(plugin.GetButtonEvent(7, ZERIN_BUTTON_STATE_DOWN));
  EXPECT_TRUE(plugin.GetButtonEvent(7, ZERIN_BUTTON_STATE_PRESSED));
  EXPECT_FALSE(plugin.GetButtonEvent(7, ZERIN_BUTTON_STATE_PRESSED));
  EXPECT_FALSE(plugin.GetButtonEvent(int64_t{1} << 33, ZERIN_BUTTON_STATE_DOWN));
  EXPECT_EQ(calls(), (Lines{"zerin_GetButtonEvent(session#1, 7, 1) -> 1", "zerin_GetButtonEvent(session#1, 7, 2) -> 1",
                            "zerin_GetButtonEvent(session#1, 7, 2) -> 0",
                            "zerin_GetButtonEvent(session#1, 8589934592, 1) -> 0"}));
  plugin.EndSession();
  zerinsim_ClearCalls();
  EXPECT_FALSE(plugin.GetButtonEvent(7, ZERIN_BUTTON_STATE_DOWN));
  EXPECT_EQ(calls(), (Lines{"zerin_GetButtonEvent(null, 7, 1) -> 0"}));
}

}  // namespace
