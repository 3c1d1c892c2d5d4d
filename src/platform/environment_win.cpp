#include <windows.h>

#include "platform/environment.h"

namespace Zerin::platform {

bool readEnvironmentVariable(const char* name, std::string& value) {
  char buffer[260];
  const DWORD length = GetEnvironmentVariableA(name, buffer, sizeof buffer);
  if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
  if (length >= sizeof buffer) return false;
  value.assign(buffer, length);
  return true;
}

}  // namespace Zerin::platform
