#include "ipc/server/pipe_server.h"

#include "platform/system_error.h"

namespace Zerin {

PipeServer::PipeServer(const std::string& name, uint32_t maxInstances, uint32_t bufferSize)
    : name(name), maxInstances(maxInstances), bufferSize(bufferSize), connectEvent(platform::createEvent()) {}

PipeServer::~PipeServer() {
  stop();
  if (connectEvent) platform::closeHandle(connectEvent);
}

bool PipeServer::listen() {
  std::lock_guard<std::mutex> lock(mutex);
  if (stopped) return false;
  return instance != platform::invalidHandle() || createInstanceLocked();
}

std::shared_ptr<ReadWritePipe> PipeServer::accept() {
  for (;;) {
    platform::PipeIo io(connectEvent);
    platform::Handle waiting = platform::invalidHandle();
    uint32_t error = platform::kErrorSuccess;
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (stopped) return nullptr;
      if (instance == platform::invalidHandle() && !createInstanceLocked()) return nullptr;
      waiting = instance;
      if (!platform::connectNamedPipe(waiting, &io)) error = platform::lastSystemError();
    }
    if (error == platform::kErrorIoPending) {
      uint32_t ignored = 0;
      error = platform::getOverlappedResult(waiting, &io, &ignored, true) ? platform::kErrorSuccess
                                                                          : platform::lastSystemError();
    }
    std::lock_guard<std::mutex> lock(mutex);
    if (stopped || instance != waiting) return nullptr;
    if (error == platform::kErrorSuccess || error == platform::kErrorPipeConnected) {
      auto connection = std::make_shared<ReadWritePipe>(name, instance);
      instance = platform::invalidHandle();
      // The next client finds a free instance at once; failing that, the next accept tries again.
      createInstanceLocked();
      return connection;
    }
    closeInstanceLocked();
    // A client that connected and left before it was accepted: serve the next one.
    if (error == platform::kErrorNoData || error == platform::kErrorBrokenPipe) continue;
    lastError = error;
    return nullptr;
  }
}

void PipeServer::stop() {
  std::lock_guard<std::mutex> lock(mutex);
  stopped = true;
  closeInstanceLocked();
}

bool PipeServer::createInstanceLocked() {
  const platform::Handle created = platform::createNamedPipe(name, maxInstances, bufferSize);
  if (created == platform::invalidHandle()) {
    lastError = platform::lastSystemError();
    return false;
  }
  lastError = platform::kErrorSuccess;
  instance = created;
  return true;
}

void PipeServer::closeInstanceLocked() {
  if (instance == platform::invalidHandle()) return;
  platform::cancelIoEx(instance, nullptr);
  platform::closeHandle(instance);
  instance = platform::invalidHandle();
}

}  // namespace Zerin
