#include <fcntl.h>
#include <io.h>

#include "platform/streams.h"

namespace Zerin::platform {

const char* nullDeviceName() { return "NUL"; }

void setTextMode(FILE* stream) { _setmode(_fileno(stream), _O_TEXT); }

}  // namespace Zerin::platform
