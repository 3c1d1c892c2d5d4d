#pragma once
#include <cstdint>
#include <string>

#include "logging/logger.h"
#include "platform/thread_name.h"

namespace Zerin {

// "0x" and the code in upper-case hex, then ": " and the system's message when it has one.
std::string windowsErrorText(uint32_t code);

// windowsErrorText of the calling thread's last system error; empty when that is 0.
std::string lastErrorText();

// printf into 2048 bytes; the empty string when formatting fails or the text does not fit.
std::string formatString(const char* format, ...) ZERIN_PRINTF_FORMAT(1, 2);

// Names a thread for debuggers, with at most 127 characters.
void setThreadName(platform::ThreadHandle thread, const std::string& name);

}  // namespace Zerin
