#include <windows.h>

#include "platform/system_error.h"

namespace Zerin::platform {

bool systemErrorMessage(uint32_t code, std::string& message) {
  char* buffer = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&buffer), 0,
      nullptr);
  if (length == 0) return false;
  message.assign(buffer, length);
  LocalFree(buffer);
  return true;
}

uint32_t lastSystemError() { return GetLastError(); }
void setLastSystemError(uint32_t code) { SetLastError(code); }

}  // namespace Zerin::platform
