#include "events_gaze_mr_fixture.h"

namespace ZerinTest {

namespace {

template <class Function>
bool bindOne(const ZerinSim::EngineHost& host, const char* name, Function& target) {
  target = host.function<Function>(name);
  EXPECT_NE(target, nullptr) << name << " is not exported";
  return target != nullptr;
}

}  // namespace

bool DeviceExports::bind(const ZerinSim::EngineHost& host) {
  bool ok = true;
  ok &= bindOne(host, "PollEvent", PollEvent);
  ok &= bindOne(host, "GetEventForeground", GetEventForeground);
  ok &= bindOne(host, "GetEventHeadsetStandbyStatus", GetEventHeadsetStandbyStatus);
  ok &= bindOne(host, "GetEventVisibility", GetEventVisibility);
  ok &= bindOne(host, "GetEventButton", GetEventButton);
  ok &= bindOne(host, "GetEventDataStreamStart", GetEventDataStreamStart);
  ok &= bindOne(host, "GetEventDataStreamStop", GetEventDataStreamStop);
  ok &= bindOne(host, "GetEventMRCameraPropertyChange", GetEventMRCameraPropertyChange);
  ok &= bindOne(host, "GetEventMRDeviceStatus", GetEventMRDeviceStatus);
  ok &= bindOne(host, "GetButtonEvent", GetButtonEvent);
  ok &= bindOne(host, "InitGaze", InitGaze);
  ok &= bindOne(host, "GetGaze", GetGaze);
  ok &= bindOne(host, "GetOldestGazeIfAvailable", GetOldestGazeIfAvailable);
  ok &= bindOne(host, "GetRawGazeData", GetRawGazeData);
  ok &= bindOne(host, "RequestGazeCalibration", RequestGazeCalibration);
  ok &= bindOne(host, "RequestGazeCalibrationWithParameters", RequestGazeCalibrationWithParameters);
  ok &= bindOne(host, "MRIsAvailable", MRIsAvailable);
  ok &= bindOne(host, "MRSupportsDataStream", MRSupportsDataStream);
  ok &= bindOne(host, "MRStartDataStream", MRStartDataStream);
  ok &= bindOne(host, "MRStopDataStream", MRStopDataStream);
  ok &= bindOne(host, "CreateOcclusionMesh", CreateOcclusionMesh);
  ok &= bindOne(host, "FreeOcclusionMesh", FreeOcclusionMesh);
  return ok;
}

void DevicesTest::SetUp() {
  PluginTest::SetUp();
  loadPlugin();
  ASSERT_TRUE(devices.bind(*host));
  ASSERT_TRUE(plugin.InitSession());
  clearLogs();
}

void DevicesTest::TearDown() {
  if (plugin.IsSessionNull && !plugin.IsSessionNull()) plugin.EndSession();
  PluginTest::TearDown();
  zerinsim_Reset();
}

}  // namespace ZerinTest
