#pragma once
#include <cstdint>
#include <string>

#if !defined(_WIN32)
#include <memory>
#endif

// The few named-pipe operations the IPC transport uses, one function per Win32 call. They
// fail as the system calls do: false (or invalidHandle()) with the Windows error code left in
// lastSystemError() (platform/system_error.h).
//
// On POSIX, the pipe "\\.\pipe\NAME" is a Unix stream socket at $ZERIN_PIPE_DIR/NAME
// (default /tmp), and the handles below are values this layer hands out: a closed or unknown
// value fails with kErrorInvalidHandle, as a stale handle does on Windows. One difference: a
// client may connect while no instance waits for one (one such client per pipe); it is paired
// with the next instance that waits, where Windows would report the pipe busy.
namespace Zerin::platform {

using Handle = void*;

// INVALID_HANDLE_VALUE.
inline Handle invalidHandle() { return reinterpret_cast<Handle>(~uintptr_t{0}); }

// PIPE_UNLIMITED_INSTANCES and NMPWAIT_WAIT_FOREVER.
constexpr uint32_t kUnlimitedPipeInstances = 255;
constexpr uint32_t kWaitForever = 0xFFFFFFFF;

#if !defined(_WIN32)
namespace detail {
struct PipeObject;
struct EventObject;
}  // namespace detail
#endif

// The record of one overlapped operation (an OVERLAPPED), kept on the caller's stack. It
// names the event the operation signals when it ends. A pending operation must have ended
// (getOverlappedResult with wait) before its record goes out of scope.
struct PipeIo {
  explicit PipeIo(Handle event);
  PipeIo(const PipeIo&) = delete;
  PipeIo& operator=(const PipeIo&) = delete;

#if defined(_WIN32)
  alignas(void*) unsigned char overlapped[32];
#else
  // The POSIX layer's own state of the operation; nothing else reads or writes it.
  enum class Kind : uint8_t { None, Read, Write, Connect };
  Handle event;
  Kind kind = Kind::None;
  uint32_t status = 0;  // kErrorIoPending while the operation runs, then its result
  uint32_t size = 0;
  uint32_t done = 0;  // bytes moved so far
  void* buffer = nullptr;
  std::shared_ptr<detail::PipeObject> pipe;     // while pending: keeps the socket for the waiter
  std::shared_ptr<detail::EventObject> signal;  // the event, resolved when the operation starts
#endif
};

// CreateEventW(nullptr, FALSE, FALSE, nullptr): an unnamed auto-reset event, not signalled.
// Null on failure.
Handle createEvent();

// CloseHandle. Closing a pipe handle aborts what is still pending on it (kErrorOperationAborted).
bool closeHandle(Handle handle);

// WaitNamedPipeA: waits up to `timeoutMs` (0: the pipe's default of 50 ms; kWaitForever) for
// a free instance of the pipe. Fails at once with kErrorFileNotFound when there is no such
// pipe, and with kErrorSemTimeout when the time runs out.
bool waitNamedPipe(const std::string& name, uint32_t timeoutMs);

// CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
// FILE_FLAG_OVERLAPPED, nullptr): the client end of the pipe, in byte mode. invalidHandle() on
// failure: kErrorFileNotFound when there is no such pipe, kErrorPipeBusy when no instance is free.
Handle openNamedPipe(const std::string& name);

// CreateNamedPipeA(name, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED, byte type and read mode,
// local clients only, maxInstances, bufferSize, bufferSize, 0, nullptr): one more instance of
// the pipe, listening for a client. kErrorPipeBusy when `maxInstances` instances exist.
Handle createNamedPipe(const std::string& name, uint32_t maxInstances, uint32_t bufferSize);

// ConnectNamedPipe(instance, io): pairs a listening instance with a client. False with
// kErrorIoPending (wait with getOverlappedResult) or with kErrorPipeConnected when a client
// had connected already, which is a success.
bool connectNamedPipe(Handle instance, PipeIo* io);

// ReadFile / WriteFile with an OVERLAPPED. True when the operation completed at once;
// otherwise false with kErrorIoPending while it runs on, or with its error.
bool readFile(Handle pipe, void* buffer, uint32_t size, uint32_t* transferred, PipeIo* io);
bool writeFile(Handle pipe, const void* data, uint32_t size, uint32_t* transferred, PipeIo* io);

// GetOverlappedResult: the result of the operation of `io`. With `wait` false a running
// operation fails with kErrorIoIncomplete; with `wait` true the call returns when it has ended.
bool getOverlappedResult(Handle pipe, PipeIo* io, uint32_t* transferred, bool wait);

// CancelIoEx: cancels the operation of `io`, or with null every operation pending on the pipe
// from any thread; they end with kErrorOperationAborted. Fails with kErrorNotFound when nothing
// was pending (some systems report success instead).
bool cancelIoEx(Handle pipe, PipeIo* io);

// FlushFileBuffers: returns when the other end has read everything written to it.
bool flushFileBuffers(Handle pipe);

}  // namespace Zerin::platform
