#pragma once

namespace Zerin::platform {

struct LocalTime {
  int year;         // e.g. 2026
  int month;        // 1-12
  int day;          // 1-31
  int hour;         // 0-23
  int minute;
  int second;
  int millisecond;  // 0-999
};

// The wall clock read once, as local calendar time with milliseconds.
LocalTime localTimeNow();

}  // namespace Zerin::platform
