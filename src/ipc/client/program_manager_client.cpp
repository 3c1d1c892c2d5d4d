#include "ipc/client/program_manager_client.h"

#include <limits>

#include "logging/revocable_callback.h"

namespace Zerin {

namespace {

// Set by the scripting thread, called by every client's dispatcher.
RevocableCallback<ProgramManagerMessageHandler> engineHandler;

int32_t cutTo32Bits(size_t length) {
  return static_cast<int32_t>(static_cast<uint32_t>(length));
}

// Also reached from a dispatch already under way while the client is destroyed: it needs
// nothing of the client but its handle.
void forward(int32_t clientHandle, const BinaryMessage& message) {
  engineHandler.call(clientHandle, message.name.c_str(), cutTo32Bits(message.name.size()),
                     message.payload.empty() ? nullptr : message.payload.data(), cutTo32Bits(message.payload.size()));
}

}  // namespace

void setEngineMessageHandler(ProgramManagerMessageHandler handler) { engineHandler.replace(handler); }

ProgramManagerClient::ProgramManagerClient(int32_t clientHandle)
    : Client(kClientName),
      clientHandle(clientHandle),
      // Registered before any connection, so that the handshake's messages reach the engine too.
      engineForwarding(addMessageHandler([clientHandle](const BinaryMessage& message) {
        forward(clientHandle, message);
      })) {}

ProgramManagerClient::~ProgramManagerClient() { engineForwarding.release(); }

void ProgramManagerClient::forwardToEngine(const BinaryMessage& message) const { forward(clientHandle, message); }

}  // namespace Zerin
