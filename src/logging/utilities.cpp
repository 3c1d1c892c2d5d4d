#include "logging/utilities.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "platform/system_error.h"

namespace Zerin {

std::string windowsErrorText(uint32_t code) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%X", code);
  std::string text = hex;
  std::string message;
  if (platform::systemErrorMessage(code, message)) {
    while (!message.empty() && (message.back() == '\r' || message.back() == '\n')) message.pop_back();
    text += ": ";
    text += message;
  }
  return text;
}

std::string lastErrorText() {
  const uint32_t code = platform::lastSystemError();
  return code == 0 ? std::string() : windowsErrorText(code);
}

std::string formatString(const char* format, ...) {
  char buffer[2048];
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (length < 0 || length >= static_cast<int>(sizeof buffer)) return {};
  return std::string(buffer, static_cast<size_t>(length));
}

void setThreadName(platform::ThreadHandle thread, const std::string& name) {
  std::wstring wideName;
  const size_t length = std::min<size_t>(name.size(), 127);
  for (size_t i = 0; i < length; ++i) wideName.push_back(static_cast<unsigned char>(name[i]));
  platform::setThreadDescription(thread, wideName);
}

}  // namespace Zerin
