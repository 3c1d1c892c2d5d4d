// Eye tracking for the scripts: every record passes through as the runtime made it.
#include "core/runtime_records.h"
#include "plugin/session.h"
#include "zerin/engine_bridge.h"

using Zerin::session;

extern "C" bool InitGaze(void) {
  const ZerinSession current = session.load();
  Zerin::zerin_GazeInit(current);
  return Zerin::zerin_GetError(current) == 0;
}

extern "C" ZerinBridgeGazeSample GetGaze(void) {
  const ZerinSession current = session.load();
  const ZerinGazeSample sample = Zerin::zerin_GetGaze(current);
  // Takes the error off the runtime; the sample is handed out whatever it was.
  Zerin::zerin_GetError(current);
  return Zerin::recordAs<ZerinBridgeGazeSample>(sample);
}

extern "C" bool GetOldestGazeIfAvailable(ZerinBridgeGazeSample* out) {
  const ZerinSession current = session.load();
  if (!current || !out) return false;
  // The runtime writes the caller's record itself; the plug-in never reads it.
  static_assert(Zerin::sameLayout<ZerinBridgeGazeSample, ZerinGazeSample>(), "");
  return Zerin::zerin_GetGazeArray(current, reinterpret_cast<ZerinGazeSample*>(out), 1) > 0;
}

extern "C" ZerinBridgeRawGazeSample GetRawGazeData(void) {
  return Zerin::recordAs<ZerinBridgeRawGazeSample>(Zerin::zerin_GetRawGazeData(session.load()));
}

extern "C" void RequestGazeCalibration(void) { Zerin::zerin_RequestGazeCalibration(session.load()); }

extern "C" void RequestGazeCalibrationWithParameters(const void* parameters, uint32_t count) {
  Zerin::zerin_RequestGazeCalibrationWithParameters(
      session.load(), static_cast<const ZerinGazeCalibrationParameter*>(parameters), count);
}
