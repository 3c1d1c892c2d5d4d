#include <windows.h>

#include <ctime>

#include "platform/local_time.h"

namespace Zerin::platform {

LocalTime localTimeNow() {
  // UTC seconds and nanoseconds, as _timespec64_get(TIME_UTC) gives them; that function is
  // not in the C runtime mingw links, so the same reading is taken from the system clock.
  FILETIME fileTime;
  GetSystemTimePreciseAsFileTime(&fileTime);
  const unsigned long long ticks =
      (static_cast<unsigned long long>(fileTime.dwHighDateTime) << 32) | fileTime.dwLowDateTime;
  const unsigned long long unixTicks = ticks - 116444736000000000ULL;  // 100 ns since 1970
  const __time64_t seconds = static_cast<__time64_t>(unixTicks / 10000000ULL);
  const long nanoseconds = static_cast<long>((unixTicks % 10000000ULL) * 100);
  tm local{};
  _localtime64_s(&local, &seconds);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
          local.tm_min,         local.tm_sec,     static_cast<int>(nanoseconds / 1000000)};
}

}  // namespace Zerin::platform
