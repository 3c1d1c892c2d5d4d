#pragma once
#include <atomic>

#include "zerin_lib.h"

namespace Zerin {

// The one runtime session of the process; null when none is open. Written only by the session
// exports on the scripting thread, read by every export and the render thread.
inline std::atomic<ZerinSession> session{nullptr};

}  // namespace Zerin
