#pragma once
// The headset simulator's own control surface, exported by ZerinSimulator beside the runtime's
// zerinsim_* one (zerin_sim_control.h, zerin_sim_devices.h: buttons are zerinsim_SetButton): for
// tests and the C# SimulatorControl class. Every function may be called from any thread.
#include <stdint.h>

#include "zerin_lib.h"

#ifdef __cplusplus
extern "C" {
#endif

// From the next synced frame on, the head is at `position` (metres) turned by `yawPitchRoll`
// (degrees), whatever the configuration's head motion says. A NULL for either gives the
// configured motion back. 1 when done; 0 for a value that is not a finite number (nothing changes).
ZERINLIB_API int32_t zerinsim_SetHeadPose(const double position[3], const double yawPitchRoll[3]);
// The runtime's index of the latest synced frame (1 for a session's first zerin_WaitSync; 0
// before any).
ZERINLIB_API int64_t zerinsim_LatestFrame(void);
// Waits until frame `frame` (or a later one) is synced: 1 then, 0 when `timeoutMilliseconds`
// ran out or the session shut down first.
ZERINLIB_API int32_t zerinsim_WaitForFrame(int64_t frame, int32_t timeoutMilliseconds);

#ifdef __cplusplus
}
#endif
