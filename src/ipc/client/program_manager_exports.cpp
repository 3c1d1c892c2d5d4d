// The program manager client's exports: clients by handle, created, connected and destroyed by
// the engine's scripting thread, and the engine callback that receives their messages.
#include <cstdint>
#include <exception>
#include <memory>
#include <unordered_map>

#include "ipc/client/program_manager_client.h"
#include "logging/logger.h"
#include "platform/export.h"
#include "platform/module_hold.h"

namespace {

using Zerin::LogLevel;
using Zerin::logMessage;
using Zerin::ProgramManagerClient;
using Zerin::ProgramManagerMessageHandler;

// The clients of this library instance, its only owner; destroyed when the library unloads.
class ClientTable {
 public:
  // The logger is created first, so that it outlives the last lines of the clients destroyed
  // with this table.
  ClientTable() { Zerin::Logger::instance(); }

  ~ClientTable() {
    for (auto& entry : clients) {
      // Where threads hold the library, a client that still has threads here means that the
      // process is ending and the system has stopped them, perhaps while they held the
      // client's locks: it is left to the system.
      if (Zerin::platform::kThreadsHoldTheirModule && entry.second && entry.second->hasThreads())
        static_cast<void>(new std::shared_ptr<ProgramManagerClient>(std::move(entry.second)));
    }
  }

  // Plain data: every export runs on the engine's scripting thread.
  std::unordered_map<int32_t, std::shared_ptr<ProgramManagerClient>> clients;
};

ClientTable table;
uint32_t nextClientHandle = 0;

std::shared_ptr<ProgramManagerClient> findClient(int32_t handle) {
  const auto found = table.clients.find(handle);
  return found == table.clients.end() ? nullptr : found->second;
}

// Nothing thrown may cross into the engine: a failure of the system's resources (memory,
// threads) becomes a log line and the export's failure result.
template <class Result, class Body>
Result guarded(const char* tag, Result failure, Body body) {
  try {
    return body();
  } catch (const std::exception& exception) {
    logMessage(tag, LogLevel::Error, "Unexpected failure: %s", exception.what());
  } catch (...) {
    logMessage(tag, LogLevel::Error, "Unexpected failure");
  }
  return failure;
}

}  // namespace

ZERIN_C_EXPORT int32_t ProgramManagerClient_Create() {
  return guarded<int32_t>("ProgramManagerClient_Create", -1, [] {
    const auto handle = static_cast<int32_t>(nextClientHandle);
    auto client = std::make_shared<ProgramManagerClient>(handle);
    nextClientHandle += 1;
    // After the counter wrapped around, the client under the same handle is replaced.
    std::shared_ptr<ProgramManagerClient> replaced = std::move(table.clients[handle]);
    table.clients[handle] = std::move(client);
    replaced.reset();
    return handle;
  });
}

ZERIN_C_EXPORT void ProgramManagerClient_Destroy(int32_t handle) {
  guarded<bool>("ProgramManagerClient_Destroy", false, [handle] {
    logMessage("ProgramManagerClient_Destroy", LogLevel::Info, "Destroy ProgramManagerClient");
    const auto found = table.clients.find(handle);
    if (found == table.clients.end()) return true;
    // Out of the table first: the teardown joins the client's threads, up to one second.
    std::shared_ptr<ProgramManagerClient> client = std::move(found->second);
    table.clients.erase(found);
    client.reset();
    return true;
  });
}

ZERIN_C_EXPORT bool ProgramManagerClient_IsConnected(int32_t handle) {
  const std::shared_ptr<ProgramManagerClient> client = findClient(handle);
  return client && client->isConnected();
}

ZERIN_C_EXPORT bool ProgramManagerClient_Connect(int32_t handle) {
  return guarded<bool>("ProgramManagerClient_Connect", false, [handle] {
    const std::shared_ptr<ProgramManagerClient> client = findClient(handle);
    if (!client) return false;
    if (client->connect(0, 1000)) return true;
    logMessage("ProgramManagerClient_Connect", LogLevel::Error, "Failed to connect to program manager.");
    return false;
  });
}

ZERIN_C_EXPORT void ProgramManagerClient_RestartActiveClient(int32_t handle) {
  constexpr const char* kTag = "ProgramManagerClient_RestartActiveClient";
  guarded<bool>(kTag, false, [handle] {
    const std::shared_ptr<ProgramManagerClient> client = findClient(handle);
    if (!client) return false;
    if (!client->connect(0, 1000)) {
      logMessage(kTag, LogLevel::Error, "Failed to connect to program manager.");
      return false;
    }
    // No time limit: returns once the service has read the request.
    if (client->sendMessage(Zerin::ProgramManagerMessages::RestartActiveClient{}, 0)) return true;
    logMessage(kTag, LogLevel::Warning, "Failed to send active client restart request");
    return false;
  });
}

ZERIN_C_EXPORT void SetProgramManagerUnityMessageHandler(ProgramManagerMessageHandler callback) {
  Zerin::setEngineMessageHandler(callback);
}
