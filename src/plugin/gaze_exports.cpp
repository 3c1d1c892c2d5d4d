// Eye tracking for the scripts: every record passes through as the runtime made it.
#include "platform/export.h"
#include "plugin/session.h"

using Zerin::session;

ZERIN_C_EXPORT bool InitGaze(void) {
  const ZerinSession current = session.load();
  Zerin::zerin_GazeInit(current);
  return Zerin::zerin_GetError(current) == 0;
}

ZERIN_C_EXPORT ZerinGazeSample GetGaze(void) {
  const ZerinSession current = session.load();
  const ZerinGazeSample sample = Zerin::zerin_GetGaze(current);
  // Takes the error off the runtime; the sample is handed out whatever it was.
  Zerin::zerin_GetError(current);
  return sample;
}

ZERIN_C_EXPORT bool GetOldestGazeIfAvailable(ZerinGazeSample* out) {
  const ZerinSession current = session.load();
  if (!current || !out) return false;
  return Zerin::zerin_GetGazeArray(current, out, 1) > 0;
}

ZERIN_C_EXPORT ZerinRawGazeSample GetRawGazeData(void) { return Zerin::zerin_GetRawGazeData(session.load()); }

ZERIN_C_EXPORT void RequestGazeCalibration(void) { Zerin::zerin_RequestGazeCalibration(session.load()); }

ZERIN_C_EXPORT void RequestGazeCalibrationWithParameters(const void* parameters, uint32_t count) {
  Zerin::zerin_RequestGazeCalibrationWithParameters(
      session.load(), static_cast<const ZerinGazeCalibrationParameter*>(parameters), count);
}
