#include <windows.h>

#include <new>

#include "platform/named_pipe.h"

namespace Zerin::platform {

namespace {

static_assert(sizeof(OVERLAPPED) <= sizeof(PipeIo::overlapped), "OVERLAPPED does not fit");
static_assert(alignof(OVERLAPPED) <= alignof(PipeIo), "OVERLAPPED alignment");

OVERLAPPED* overlappedOf(PipeIo* io) {
  return io ? std::launder(reinterpret_cast<OVERLAPPED*>(io->overlapped)) : nullptr;
}

}  // namespace

PipeIo::PipeIo(Handle event) {
  OVERLAPPED* record = new (overlapped) OVERLAPPED{};
  record->hEvent = event;
}

Handle createEvent() { return CreateEventW(nullptr, FALSE, FALSE, nullptr); }

bool closeHandle(Handle handle) { return CloseHandle(handle) != FALSE; }

bool waitNamedPipe(const std::string& name, uint32_t timeoutMs) {
  return WaitNamedPipeA(name.c_str(), timeoutMs) != FALSE;
}

Handle openNamedPipe(const std::string& name) {
  return CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                     FILE_FLAG_OVERLAPPED, nullptr);
}

Handle createNamedPipe(const std::string& name, uint32_t maxInstances, uint32_t bufferSize) {
  return CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                          PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                          maxInstances, bufferSize, bufferSize, 0, nullptr);
}

bool connectNamedPipe(Handle instance, PipeIo* io) {
  return ConnectNamedPipe(instance, overlappedOf(io)) != FALSE;
}

bool readFile(Handle pipe, void* buffer, uint32_t size, uint32_t* transferred, PipeIo* io) {
  DWORD count = 0;
  const BOOL ok = ReadFile(pipe, buffer, size, &count, overlappedOf(io));
  *transferred = count;
  return ok != FALSE;
}

bool writeFile(Handle pipe, const void* data, uint32_t size, uint32_t* transferred, PipeIo* io) {
  DWORD count = 0;
  const BOOL ok = WriteFile(pipe, data, size, &count, overlappedOf(io));
  *transferred = count;
  return ok != FALSE;
}

bool getOverlappedResult(Handle pipe, PipeIo* io, uint32_t* transferred, bool wait) {
  DWORD count = 0;
  const BOOL ok = GetOverlappedResult(pipe, overlappedOf(io), &count, wait ? TRUE : FALSE);
  *transferred = count;
  return ok != FALSE;
}

bool cancelIoEx(Handle pipe, PipeIo* io) { return CancelIoEx(pipe, overlappedOf(io)) != FALSE; }

bool flushFileBuffers(Handle pipe) { return FlushFileBuffers(pipe) != FALSE; }

}  // namespace Zerin::platform
