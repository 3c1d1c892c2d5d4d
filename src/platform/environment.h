#pragma once
#include <string>

namespace Zerin::platform {

// Reads an environment variable into a 260-byte buffer, as getenv_s does: false when it is
// absent or when its value (with its terminator) does not fit.
bool readEnvironmentVariable(const char* name, std::string& value);

}  // namespace Zerin::platform
