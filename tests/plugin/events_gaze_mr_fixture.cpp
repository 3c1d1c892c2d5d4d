#include "events_gaze_mr_fixture.h"

namespace ZerinTest {

bool DeviceExports::bind(const ZerinSim::EngineHost& host) {
  bool ok = true;
  ok &= bindExport(host, "PollEvent", PollEvent);
  ok &= bindExport(host, "GetEventForeground", GetEventForeground);
  ok &= bindExport(host, "GetEventHeadsetStandbyStatus", GetEventHeadsetStandbyStatus);
  ok &= bindExport(host, "GetEventVisibility", GetEventVisibility);
  ok &= bindExport(host, "GetEventButton", GetEventButton);
  ok &= bindExport(host, "GetEventDataStreamStart", GetEventDataStreamStart);
  ok &= bindExport(host, "GetEventDataStreamStop", GetEventDataStreamStop);
  ok &= bindExport(host, "GetEventMRCameraPropertyChange", GetEventMRCameraPropertyChange);
  ok &= bindExport(host, "GetEventMRDeviceStatus", GetEventMRDeviceStatus);
  ok &= bindExport(host, "GetButtonEvent", GetButtonEvent);
  ok &= bindExport(host, "InitGaze", InitGaze);
  ok &= bindExport(host, "GetGaze", GetGaze);
  ok &= bindExport(host, "GetOldestGazeIfAvailable", GetOldestGazeIfAvailable);
  ok &= bindExport(host, "GetRawGazeData", GetRawGazeData);
  ok &= bindExport(host, "RequestGazeCalibration", RequestGazeCalibration);
  ok &= bindExport(host, "RequestGazeCalibrationWithParameters", RequestGazeCalibrationWithParameters);
  ok &= bindExport(host, "MRIsAvailable", MRIsAvailable);
  ok &= bindExport(host, "MRSupportsDataStream", MRSupportsDataStream);
  ok &= bindExport(host, "MRStartDataStream", MRStartDataStream);
  ok &= bindExport(host, "MRStopDataStream", MRStopDataStream);
  ok &= bindExport(host, "CreateOcclusionMesh", CreateOcclusionMesh);
  ok &= bindExport(host, "FreeOcclusionMesh", FreeOcclusionMesh);
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
