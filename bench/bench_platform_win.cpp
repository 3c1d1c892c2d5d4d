#include <windows.h>

#include <string>

#include "bare_pipe.h"

namespace ZerinBench {

namespace {

constexpr DWORD kBufferSize = 64 * 1024;

std::string lastErrorText(const char* what) { return std::string(what) + " failed: " + std::to_string(GetLastError()); }

}  // namespace

BarePipe::~BarePipe() {
  for (void* end : ends)
    if (end) CloseHandle(end);
}

bool BarePipe::open(std::string& error) {
  static LONG opened = 0;
  const std::string name = "\\\\.\\pipe\\ZerinBenchBarePipe" + std::to_string(GetCurrentProcessId()) + "-" +
                           std::to_string(InterlockedIncrement(&opened));
  HANDLE server = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT,
                                   1, kBufferSize, kBufferSize, 0, nullptr);
  if (server == INVALID_HANDLE_VALUE) {
    error = lastErrorText("CreateNamedPipeA");
    return false;
  }
  ends[0] = server;
  HANDLE client = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (client == INVALID_HANDLE_VALUE) {
    error = lastErrorText("CreateFileA");
    return false;
  }
  ends[1] = client;
  // The client is connected already; the server's end still has to say so.
  if (!ConnectNamedPipe(server, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) {
    error = lastErrorText("ConnectNamedPipe");
    return false;
  }
  return true;
}

bool BarePipe::writeAll(int end, const void* data, size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (size > 0) {
    DWORD written = 0;
    const DWORD chunk = size > kBufferSize ? kBufferSize : static_cast<DWORD>(size);
    if (!WriteFile(ends[end], bytes, chunk, &written, nullptr) || written == 0) return false;
    bytes += written;
    size -= written;
  }
  return true;
}

bool BarePipe::readAll(int end, void* buffer, size_t size) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  while (size > 0) {
    DWORD read = 0;
    const DWORD chunk = size > kBufferSize ? kBufferSize : static_cast<DWORD>(size);
    if (!ReadFile(ends[end], bytes, chunk, &read, nullptr) || read == 0) return false;
    bytes += read;
    size -= read;
  }
  return true;
}

bool enterPrivatePipeNamespace(std::string&) { return true; }

void leavePrivatePipeNamespace() {}

}  // namespace ZerinBench
