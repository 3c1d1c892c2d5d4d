#pragma once

namespace Zerin {

// For the plug-in's unload: ends the program manager calls under way on other threads (a
// connect waiting for the service fails at once) and returns once none is left in the library.
void endProgramManagerCalls();

}  // namespace Zerin
