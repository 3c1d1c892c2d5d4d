// The program manager client's exports: clients by handle, and the engine callback that
// receives their messages. Scripts call them from any thread: ProgramManagerClient_Connect
// blocks while the service's pipe does not exist, so it runs on a worker thread while the
// scripting thread goes on with the other exports. The calls that connect or send with one
// client take turns on it; IsConnected never waits.
#include "ipc/client/program_manager_exports.h"

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "ipc/client/program_manager_client.h"
#include "logging/logger.h"
#include "platform/export.h"
#include "platform/module_hold.h"

namespace {

using Zerin::LogLevel;
using Zerin::logMessage;
using Zerin::ProgramManagerClient;
using Zerin::ProgramManagerMessageHandler;

// The clients of this library instance, their only owner, and the export calls under way, so
// that no client is destroyed under a call that uses it and the library is not unloaded while
// a call is inside it.
class ClientTable {
 public:
  // The logger is created first, so that it outlives the last lines of the clients destroyed
  // with this table.
  ClientTable() { Zerin::Logger::instance(); }

  // At dlclose/FreeLibrary, or at the end of the process.
  ~ClientTable() {
    // Where the process is ending its other threads are gone already, calls included.
    if (!Zerin::platform::processIsEnding()) endCalls();
    for (auto& entry : clients) {
      // Where threads hold the library, a client that still has threads here means that the
      // process is ending and the system has stopped them, perhaps while they held the
      // client's locks: it is left to the system.
      if (Zerin::platform::kThreadsHoldTheirModule && entry.second && entry.second->hasThreads())
        static_cast<void>(new std::shared_ptr<ProgramManagerClient>(std::move(entry.second)));
    }
  }

  // Ends the calls under way: the clients they use are cancelled, calls that start meanwhile
  // find no client, and this returns once no call is left inside the library.
  void endCalls() {
    std::vector<std::shared_ptr<ProgramManagerClient>> inUse;
    std::unique_lock<std::mutex> lock(mutex);
    ending = true;
    for (const auto& entry : clients)
      if (entry.second.use_count() > 1) inUse.push_back(entry.second);
    lock.unlock();
    for (const auto& client : inUse) client->cancel();
    lock.lock();
    inUse.clear();
    changed->wait(lock, [&] { return calls == 0; });
    ending = false;
  }

  std::mutex mutex;  // guards every field below; held for lookups and changes, never across a
                     // connect or a teardown
  // Notified, with `mutex` held, when a call ends or lets go of a client.
  Zerin::platform::KeptAtProcessEnd<std::condition_variable> changed;
  std::unordered_map<int32_t, std::shared_ptr<ProgramManagerClient>> clients;
  uint32_t nextClientHandle = 0;
  uint32_t calls = 0;   // export calls inside the library
  bool ending = false;  // endCalls() is waiting: no call may take a client
};

ClientTable table;

// One export call, counted from its start to its end. Notifying with the lock held keeps the
// table alive until the waiter of endCalls() can see the count drop.
class Call {
 public:
  Call() {
    std::lock_guard<std::mutex> lock(table.mutex);
    ++table.calls;
  }
  ~Call() {
    std::lock_guard<std::mutex> lock(table.mutex);
    --table.calls;
    table.changed->notify_all();
  }
  Call(const Call&) = delete;
  Call& operator=(const Call&) = delete;
};

// The client of a handle, held for one call; empty for an unknown handle or while the library
// is being unloaded. Taken and given back under the table's lock, so that Destroy can wait
// until no call holds the client.
class Borrowed {
 public:
  explicit Borrowed(int32_t handle) {
    std::lock_guard<std::mutex> lock(table.mutex);
    const auto found = table.clients.find(handle);
    if (!table.ending && found != table.clients.end()) client = found->second;
  }
  ~Borrowed() {
    std::lock_guard<std::mutex> lock(table.mutex);
    client.reset();
    table.changed->notify_all();
  }
  Borrowed(const Borrowed&) = delete;
  Borrowed& operator=(const Borrowed&) = delete;

  explicit operator bool() const { return client != nullptr; }
  ProgramManagerClient* operator->() const { return client.get(); }
  ProgramManagerClient& operator*() const { return *client; }

 private:
  std::shared_ptr<ProgramManagerClient> client;
};

// Nothing thrown may cross into the engine: a failure of the system's resources (memory,
// threads) becomes a log line and the export's failure result.
template <class Result, class Body>
Result guarded(const char* tag, Result failure, Body body) {
  const Call call;
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

namespace Zerin {

void endProgramManagerCalls() { table.endCalls(); }

}  // namespace Zerin

ZERIN_C_EXPORT int32_t ProgramManagerClient_Create() {
  return guarded<int32_t>("ProgramManagerClient_Create", -1, [] {
    int32_t handle = 0;
    {
      std::lock_guard<std::mutex> lock(table.mutex);
      handle = static_cast<int32_t>(table.nextClientHandle++);
    }
    auto client = std::make_shared<ProgramManagerClient>(handle);
    std::shared_ptr<ProgramManagerClient> replaced;
    {
      std::lock_guard<std::mutex> lock(table.mutex);
      // After the counter wrapped around, the client under the same handle is replaced.
      std::shared_ptr<ProgramManagerClient>& entry = table.clients[handle];
      replaced = std::move(entry);
      entry = std::move(client);
    }
    return handle;
  });
}

ZERIN_C_EXPORT void ProgramManagerClient_Destroy(int32_t handle) {
  guarded<bool>("ProgramManagerClient_Destroy", false, [handle] {
    // The system's own tag and text (tests match them): must not be corrected.
    logMessage("ProgramManagerClient_Destroy", LogLevel::Info, "Destroy ProgramManagerClient");
    std::shared_ptr<ProgramManagerClient> client;
    std::unique_lock<std::mutex> lock(table.mutex);
    const auto found = table.clients.find(handle);
    if (found == table.clients.end()) return true;
    client = std::move(found->second);
    table.clients.erase(found);
    if (client.use_count() > 1) {
      // A call on another thread is connecting or sending with it: end that call, and wait
      // until it has let go, so that the client is gone when this returns.
      lock.unlock();
      client->cancel();
      lock.lock();
      table.changed->wait(lock, [&] { return client.use_count() == 1; });
    }
    lock.unlock();
    // The teardown joins the client's threads, up to one second.
    client.reset();
    return true;
  });
}

ZERIN_C_EXPORT bool ProgramManagerClient_IsConnected(int32_t handle) {
  return guarded<bool>("ProgramManagerClient_IsConnected", false, [handle] {
    const Borrowed client(handle);
    return client && client->isConnected();
  });
}

ZERIN_C_EXPORT bool ProgramManagerClient_Connect(int32_t handle) {
  return guarded<bool>("ProgramManagerClient_Connect", false, [handle] {
    const Borrowed client(handle);
    if (!client) return false;
    // A call of another thread that connects or sends with this client goes first.
    const Zerin::IPC::Client::Turn turn(*client);
    if (turn && client->connect(0, 1000)) return true;
    // The system's own tag and text (tests match them): must not be corrected.
    logMessage("ProgramManagerClient_Connect", LogLevel::Error, "Failed to connect to program manager.");
    return false;
  });
}

ZERIN_C_EXPORT void ProgramManagerClient_RestartActiveClient(int32_t handle) {
  constexpr const char* kTag = "ProgramManagerClient_RestartActiveClient";
  guarded<bool>(kTag, false, [handle] {
    const Borrowed client(handle);
    if (!client) return false;
    const Zerin::IPC::Client::Turn turn(*client);
    if (!turn || !client->connect(0, 1000)) {
      // The system's own tag and text (tests match them): must not be corrected.
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
