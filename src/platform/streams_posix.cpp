#include "platform/streams.h"

namespace Zerin::platform {

const char* nullDeviceName() { return "/dev/null"; }

void setTextMode(FILE*) {}

}  // namespace Zerin::platform
