// The program manager client's dispatch of received messages: arbitrary names and payloads,
// from the current connection or left from an earlier one, reach the typed handlers of the
// four message types and the engine callback. Input: records of a flags byte (bit 0: from the
// current connection; bit 1: an engine callback is installed), a name byte (0xF0 to 0xF3: one
// of the four known names; otherwise its value modulo 64 name bytes follow), a 16-bit payload
// length and the payload. Every message reaches the engine callback exactly once and
// unchanged while one is installed, and a typed handler exactly when the message is from the
// current connection, carries that type's name and decodes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ipc/client/program_manager_client.h"
#include "ipc/internal_messages.h"
#include "ipc/program_manager_messages.h"

namespace {

using Zerin::BinaryMessage;
using Zerin::IPC::InternalMessages::Ping;
using Zerin::IPC::InternalMessages::RequestHandshake;
using Zerin::IPC::InternalMessages::ResponseHandshake;
using Zerin::ProgramManagerMessages::RestartActiveClient;

constexpr int32_t kHandle = 0x5A17;
const char* const kKnownNames[] = {"Ping", "RequestHandshake", "ResponseHandshake", "RestartActiveClient"};

struct EngineCall {
  int32_t handle;
  std::string name;
  bool terminated;
  bool dataNull;
  std::vector<uint8_t> data;
};
std::vector<EngineCall> engineCalls;  // the dispatch runs on the fuzzer's thread

void engineCallback(int32_t handle, const char* name, int32_t nameLength, const uint8_t* data, int32_t size) {
  engineCalls.push_back(EngineCall{handle, std::string(name, static_cast<size_t>(nameLength)), name[nameLength] == 0,
                                   data == nullptr, data ? std::vector<uint8_t>(data, data + size) : std::vector<uint8_t>()});
}

// What a typed handler saw: the type's index and the decoded bytes.
struct TypedCall {
  int type;
  std::vector<uint8_t> value;
};

template <class T>
std::vector<uint8_t> bytesOf(const T& value) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(&value);
  return std::vector<uint8_t>(bytes, bytes + sizeof(T));
}

// The typed call a message must cause, decoded here independently of the parsers.
bool expectedTypedCall(const BinaryMessage& message, TypedCall& out) {
  for (int type = 0; type < 4; ++type) {
    if (message.name != kKnownNames[type]) continue;
    out.type = type;
    if (type == 1) {
      if (message.payload.size() < 4) return false;
      uint32_t count = 0;
      std::memcpy(&count, message.payload.data(), 4);
      if (count > message.payload.size() - 4) return false;
      out.value.assign(message.payload.begin() + 4, message.payload.begin() + 4 + count);
      return true;
    }
    if (message.payload.size() < 8) return false;
    out.value.assign(message.payload.begin(), message.payload.begin() + 8);
    return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("ZERIN_LOGGER_STDOUT_DISABLED", "1", 0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  engineCalls.clear();
  std::vector<TypedCall> typedCalls;
  Zerin::ProgramManagerClient client(kHandle);
  Zerin::MessageHandler tokens[] = {
      client.getParser<Ping>()->addHandler([&](const Ping& value) { typedCalls.push_back({0, bytesOf(value)}); }),
      client.getParser<RequestHandshake>()->addHandler([&](const RequestHandshake& value) {
        typedCalls.push_back({1, std::vector<uint8_t>(value.clientName.begin(), value.clientName.end())});
      }),
      client.getParser<ResponseHandshake>()->addHandler(
          [&](const ResponseHandshake& value) { typedCalls.push_back({2, bytesOf(value)}); }),
      client.getParser<RestartActiveClient>()->addHandler(
          [&](const RestartActiveClient& value) { typedCalls.push_back({3, bytesOf(value)}); }),
  };

  size_t at = 0;
  while (at + 2 <= size) {
    const uint8_t flags = data[at++];
    const uint8_t nameByte = data[at++];
    BinaryMessage message;
    if (nameByte >= 0xF0 && nameByte <= 0xF3) {
      message.name = kKnownNames[nameByte - 0xF0];
    } else {
      const size_t length = std::min<size_t>(nameByte % 64, size - at);
      message.name.assign(reinterpret_cast<const char*>(data + at), length);
      at += length;
    }
    size_t payloadLength = 0;
    if (at + 2 <= size) {
      payloadLength = std::min<size_t>(data[at] | data[at + 1] << 8, size - at - 2);
      at += 2;
    }
    message.payload.assign(data + at, data + at + payloadLength);
    at += payloadLength;

    const bool current = flags & 1;
    const bool forwarding = flags & 2;
    Zerin::setEngineMessageHandler(forwarding ? &engineCallback : nullptr);
    const size_t engineBefore = engineCalls.size();
    const size_t typedBefore = typedCalls.size();
    // The forwarding handler is always registered: every message counts as handled.
    if (!client.dispatchMessage(message, current)) std::abort();

    if (engineCalls.size() != engineBefore + (forwarding ? 1 : 0)) std::abort();
    if (forwarding) {
      const EngineCall& call = engineCalls.back();
      if (call.handle != kHandle || call.name != message.name || !call.terminated) std::abort();
      if (call.dataNull != message.payload.empty() || call.data != message.payload) std::abort();
    }
    TypedCall expected;
    const bool typed = current && expectedTypedCall(message, expected);
    if (typedCalls.size() != typedBefore + (typed ? 1 : 0)) std::abort();
    if (typed && (typedCalls.back().type != expected.type || typedCalls.back().value != expected.value)) std::abort();
  }
  Zerin::setEngineMessageHandler(nullptr);
  for (Zerin::MessageHandler& token : tokens) token.release();
  return 0;
}
