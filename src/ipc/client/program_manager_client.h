#pragma once
#include <cstdint>

#include "ipc/client/client.h"
#include "ipc/message_handler.h"
#include "ipc/program_manager_messages.h"

namespace Zerin {

// The engine's callback for every message a program manager client receives: the client's
// handle, the name (NUL-terminated, its length given), and the undecoded payload (null and 0
// when empty). The pointers are valid during the call only. It runs on the receiving client's
// dispatcher thread.
using ProgramManagerMessageHandler = void (*)(int32_t clientHandle, const char* messageName,
                                              int32_t messageNameLength, const uint8_t* messageData,
                                              int32_t messageDataSize);

// The one engine callback of this library instance, shared by all clients; null switches
// forwarding off. Once it returns, the callback it replaced is not running on any dispatcher
// and is never called again; from inside that callback's own call it returns at once.
void setEngineMessageHandler(ProgramManagerMessageHandler handler);

// An IPC client named "UnityProgramManagerClient" that forwards every message it receives,
// undecoded, to the engine callback.
class ProgramManagerClient : public IPC::Client {
 public:
  static constexpr const char* kClientName = "UnityProgramManagerClient";

  explicit ProgramManagerClient(int32_t clientHandle);
  // Unregisters the forwarding before the connection is torn down.
  ~ProgramManagerClient() override;

  void forwardToEngine(const BinaryMessage& message) const;
  int32_t getClientHandle() const { return clientHandle; }

 private:
  int32_t clientHandle;
  MessageHandler engineForwarding;
};

}  // namespace Zerin
