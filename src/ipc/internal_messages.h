#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "ipc/message_traits.h"

// The IPC client's own protocol: handshake and keep-alive.
namespace Zerin::IPC::InternalMessages {

// Keep-alive from client to service; its bytes mean nothing.
struct Ping {
  uint8_t data[8] = {};
};

// Client to service, first message of a connection.
struct RequestHandshake {
  std::string clientName;
};

// Service to client: bytes 0-3 are a little-endian value the client keeps; 4-7 are not read.
struct ResponseHandshake {
  uint8_t data[8] = {};

  uint32_t result() const {
    return static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
           static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
  }
};

static_assert(sizeof(Ping) == 8, "Ping travels as 8 bytes");
static_assert(sizeof(ResponseHandshake) == 8, "ResponseHandshake travels as 8 bytes");

}  // namespace Zerin::IPC::InternalMessages

namespace Zerin {

template <>
struct MessageTraits<IPC::InternalMessages::Ping> {
  static constexpr const char* name = "Ping";
  // The system's own tag (tests match it), odd as it looks: must not be corrected.
  static constexpr const char* parserTag =
      "Zerin::LayerByteMessageParser<struct Zerin::IPC::InternalMessages::Ping>::parseMessage";
  static constexpr PayloadForm form = PayloadForm::FixedSize;
};

template <>
struct MessageTraits<IPC::InternalMessages::RequestHandshake> {
  static constexpr const char* name = "RequestHandshake";
  // The system's own tag (tests match it), odd as it looks: must not be corrected.
  static constexpr const char* parserTag =
      "Zerin::LayerByteMessageParser<struct Zerin::IPC::InternalMessages::RequestHandshake>::parseMessage";
  static constexpr PayloadForm form = PayloadForm::FieldList;
  static std::vector<FieldCodec<IPC::InternalMessages::RequestHandshake>> fields() {
    return {FieldCodec<IPC::InternalMessages::RequestHandshake>(
        &IPC::InternalMessages::RequestHandshake::clientName)};
  }
};

template <>
struct MessageTraits<IPC::InternalMessages::ResponseHandshake> {
  static constexpr const char* name = "ResponseHandshake";
  // The system's own tag (tests match it), odd as it looks: must not be corrected.
  static constexpr const char* parserTag =
      "Zerin::LayerByteMessageParser<struct Zerin::IPC::InternalMessages::ResponseHandshake>::parseMessage";
  static constexpr PayloadForm form = PayloadForm::FixedSize;
};

}  // namespace Zerin
