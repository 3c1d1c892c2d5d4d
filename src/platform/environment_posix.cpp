#include <cstdlib>
#include <cstring>

#include "platform/environment.h"

namespace Zerin::platform {

bool readEnvironmentVariable(const char* name, std::string& value) {
  const char* found = std::getenv(name);
  if (!found || std::strlen(found) >= 260) return false;
  value = found;
  return true;
}

}  // namespace Zerin::platform
