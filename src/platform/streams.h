#pragma once
#include <cstdio>

namespace Zerin::platform {

// "NUL" on Windows, "/dev/null" on POSIX.
const char* nullDeviceName();

// _setmode(_fileno(stream), _O_TEXT): "\n" reaches the stream as CR LF on Windows; POSIX
// streams have no text mode.
void setTextMode(FILE* stream);

}  // namespace Zerin::platform
