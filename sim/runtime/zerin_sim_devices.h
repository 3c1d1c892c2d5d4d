#pragma once
// Control surface of the simulated runtime's devices: the event source, buttons, the gaze
// tracker, mixed-reality properties, data streams and occlusion meshes. Exported by ZerinLib
// beside the runtime API, for tests and the demo, and never part of that API. zerinsim_Reset
// (zerin_sim_control.h) brings all of it back to its defaults and stops every stream.
#include <stdint.h>

#include "zerin_lib.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Events -------------------------------------------------------------------------------- */

// Device changes; each change queues its event (ZERIN_EVENT_*) for zerin_PollEvent while a
// session is open (setting the value a device has already queues nothing). A session starts in
// the foreground, out of standby. zerin_SetSessionVisible changing the visibility queues a
// visibility event; starting and stopping a data stream queue a stream event with its id.
ZERINLIB_API void zerinsim_SetForeground(int32_t foreground);
ZERINLIB_API void zerinsim_SetHeadsetStandby(int32_t standby);
// Presses (down non-zero) or releases a button: zerin_GetButtonEvent answers from this, and a
// button event carries the button in the low 32 bits and ZERIN_BUTTON_STATE_PRESSED or
// ZERIN_BUTTON_STATE_RELEASED above.
ZERINLIB_API void zerinsim_SetButton(int64_t button, int32_t down);
// A camera property of the mixed-reality device changes (always an event): the event carries the key in the low
// 32 bits and the value above.
ZERINLIB_API void zerinsim_SetCameraProperty(uint32_t key, uint32_t value);
// The status of a mixed-reality device changes (always an event): device in the low 32 bits, status above.
ZERINLIB_API void zerinsim_SetDeviceStatus(uint32_t device, uint32_t status);

/* ---- Gaze ---------------------------------------------------------------------------------- */

// Samples the tracker buffers per second for every session that called zerin_GazeInit
// (default 120; 0: only queued samples). The buffer keeps the newest 256 samples.
ZERINLIB_API void zerinsim_SetGazeRate(double samplesPerSecond);
// Appends a sample to the buffer of every session with gaze started; returns how many.
ZERINLIB_API int32_t zerinsim_QueueGazeSample(const ZerinGazeSample* sample);
// How many samples wait in the buffer of `session`.
ZERINLIB_API int32_t zerinsim_BufferedGazeCount(ZerinSession session);
// zerin_GetGaze and zerin_GetRawGazeData return these records from now on instead of the
// tracker's latest (NULL: the tracker's again).
ZERINLIB_API void zerinsim_PinGaze(const ZerinGazeSample* sample);
ZERINLIB_API void zerinsim_PinRawGaze(const ZerinRawGazeSample* sample);
// Calibration requests in the order received: count, and the parameters of one (copies up to
// `capacity` records into `parameters`; returns the request's count, or -1 for no such request).
// `withParameters` tells which function made it.
ZERINLIB_API int32_t zerinsim_CalibrationRequestCount(void);
ZERINLIB_API int32_t zerinsim_GetCalibrationRequest(int32_t index, ZerinSession* session, int32_t* withParameters,
                                                    ZerinGazeCalibrationParameter* parameters, int32_t capacity);

/* ---- Mixed reality ------------------------------------------------------------------------- */

// A boolean property as the devices report it; sessions see it after zerin_SyncProperties
// (or on their first property query). By default ZERIN_PROPERTY_MR_AVAILABLE is 1.
ZERINLIB_API void zerinsim_SetDeviceProperty(int64_t key, int32_t value);
ZERINLIB_API void zerinsim_RemoveDeviceProperty(int64_t key);

// The data streams the runtime offers, in this order (NULL: the default list of three).
ZERINLIB_API void zerinsim_SetDataStreamConfigs(const ZerinDataStreamConfig* configs, int32_t count);
// Time between two frames of a stream, in microseconds, for streams started from now on:
// 0 delivers frames back to back, a negative value each configuration's framesPerSecond.
ZERINLIB_API void zerinsim_SetStreamFrameInterval(int64_t microseconds);
// Streams started and not yet stopped.
ZERINLIB_API int32_t zerinsim_ActiveStreamCount(void);
// The stream whose delivery thread calls this, or -1 on any other thread.
ZERINLIB_API int64_t zerinsim_DeliveryThreadStream(void);

#ifdef __cplusplus
}  // extern "C"
#endif
