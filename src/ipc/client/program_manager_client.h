#pragma once
#include <cstdint>

#include "ipc/client/client.h"
#include "ipc/message_handler.h"
#include "ipc/program_manager_messages.h"
#include "zerin/engine_bridge.h"

namespace Zerin {

// The engine's callback for every message a program manager client receives, on the receiving
// client's dispatcher thread.
using ProgramManagerMessageHandler = ZerinBridgeProgramManagerMessageHandler;

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
