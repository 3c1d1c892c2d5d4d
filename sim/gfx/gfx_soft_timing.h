#pragma once
// How long the software Direct3D 11 device works for the calling thread (Linux builds only).
// The device does all its work, rasterising included, on the thread that calls it.
#include <cstdint>

#include "gfx_soft_control.h"

namespace ZerinSim::Gfx {

// Nanoseconds the calling thread has spent inside methods of software devices and of their
// immediate contexts (IUnknown's aside) since it started. Read it before and after a stretch
// of work: the difference is the device's share of that stretch.
ZERIN_SOFT_D3D11_API uint64_t threadDeviceNanoseconds();

}  // namespace ZerinSim::Gfx
