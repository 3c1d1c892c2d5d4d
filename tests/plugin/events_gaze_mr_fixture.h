#pragma once
// The plug-in's event, gaze and mixed-reality exports, bound by name as the scripts bind them,
// on top of the session fixture.
#include "plugin_fixture.h"
#include "zerin_sim_devices.h"

namespace ZerinTest {

using StreamFrameCallback = void (*)(const void* frame, void* userData);

struct DeviceExports {
  bool (*PollEvent)(int64_t*);
  uint32_t (*GetEventForeground)();
  uint32_t (*GetEventHeadsetStandbyStatus)();
  uint32_t (*GetEventVisibility)();
  int64_t (*GetEventButton)();
  int64_t (*GetEventDataStreamStart)();
  int64_t (*GetEventDataStreamStop)();
  int64_t (*GetEventMRCameraPropertyChange)();
  int64_t (*GetEventMRDeviceStatus)();
  bool (*GetButtonEvent)(int64_t, int64_t);

  bool (*InitGaze)();
  ZerinGazeSample (*GetGaze)();
  bool (*GetOldestGazeIfAvailable)(ZerinGazeSample*);
  ZerinRawGazeSample (*GetRawGazeData)();
  void (*RequestGazeCalibration)();
  void (*RequestGazeCalibrationWithParameters)(const void*, uint32_t);

  bool (*MRIsAvailable)();
  bool (*MRSupportsDataStream)(int64_t);
  bool (*MRStartDataStream)(int64_t, StreamFrameCallback, void*);
  void (*MRStopDataStream)(int64_t);
  ZerinOcclusionMesh* (*CreateOcclusionMesh)(int32_t, int32_t*, void**);
  void (*FreeOcclusionMesh)(ZerinOcclusionMesh*);

  // False (with a test failure) when one is missing.
  bool bind(const ZerinSim::EngineHost& host);
};

// Loads the plug-in and opens a session; ends an open session when the test ends, so that no
// stream outlives it.
class DevicesTest : public PluginTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  DeviceExports devices{};
};

}  // namespace ZerinTest
