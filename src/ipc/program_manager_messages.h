#pragma once
#include <cstdint>

#include "ipc/message_traits.h"

// Requests to the program manager service.
namespace Zerin::ProgramManagerMessages {

// Asks the service to restart its active client; the message itself is the request, its
// bytes mean nothing.
struct RestartActiveClient {
  uint8_t data[8] = {};
};

static_assert(sizeof(RestartActiveClient) == 8, "RestartActiveClient travels as 8 bytes");

}  // namespace Zerin::ProgramManagerMessages

namespace Zerin {

template <>
struct MessageTraits<ProgramManagerMessages::RestartActiveClient> {
  static constexpr const char* name = "RestartActiveClient";
  // The system's own tag (tests match it), odd as it looks: must not be corrected.
  static constexpr const char* parserTag =
      "Zerin::LayerByteMessageParser<struct Zerin::ProgramManagerMessages::RestartActiveClient>::parseMessage";
  static constexpr PayloadForm form = PayloadForm::FixedSize;
};

}  // namespace Zerin
