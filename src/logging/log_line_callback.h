#pragma once
// C only, so that headers compiled for a foreign ABI can name it too.
#include <stdint.h>

namespace Zerin {

// Installed by the scripts: every line of a library's shared logger, with its level (LogLevel's
// values), its tag and the bare message (no timestamp, no newline).
using LogLineCallback = void (*)(int32_t level, const char* tag, const char* message);

}  // namespace Zerin
