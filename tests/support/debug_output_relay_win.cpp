#include "debug_output_relay.h"

#include <windows.h>

#include <cstring>

namespace ZerinTest::internal {

namespace {

// The DBWIN buffer: the writer's process id, then its text and a terminating NUL.
constexpr DWORD kBufferSize = 4096;
constexpr const char* kRelayMutex = "ZerinTestDebugOutputRelay";
// How long the relay waits for a text before it checks that the grant has not been lost, and
// then for a writer to finish with the buffer.
constexpr DWORD kIdleCheckMs = 500;

}  // namespace

std::string debugOutputInboxName(uint32_t processId) {
  return "\\\\.\\mailslot\\ZerinTestDebugOutput\\" + std::to_string(processId);
}

namespace {

// Puts one message into the inbox of `processId`, if it has one.
void writeToInbox(uint32_t processId, const char* message, size_t size) {
  // Shared for writing too, or one writer's open would fail while another has it open.
  HANDLE inbox = CreateFileA(debugOutputInboxName(processId).c_str(), GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (inbox == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(inbox, message, static_cast<DWORD>(size), &written, nullptr);
  CloseHandle(inbox);
}

}  // namespace

DebugOutputRelay::DebugOutputRelay() {
  mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBufferSize, "DBWIN_BUFFER");
  dataReady = CreateEventA(nullptr, FALSE, FALSE, "DBWIN_DATA_READY");
  bufferReady = CreateEventA(nullptr, FALSE, FALSE, "DBWIN_BUFFER_READY");
  writers = CreateMutexA(nullptr, FALSE, "DBWinMutex");
  relayRole = CreateMutexA(nullptr, FALSE, kRelayMutex);
  stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  view = mapping ? static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, kBufferSize)) : nullptr;
  if (!mapping || !dataReady || !bufferReady || !writers || !relayRole || !stop || !view) {
    setupError = "setting up the DBWIN reader failed, error " + std::to_string(GetLastError());
    return;
  }
  relay = std::thread([this] { run(); });
}

DebugOutputRelay::~DebugOutputRelay() {
  if (relay.joinable()) {
    SetEvent(stop);
    relay.join();
  }
  if (view) UnmapViewOfFile(view);
  for (HANDLE handle : {mapping, dataReady, bufferReady, writers, relayRole, stop})
    if (handle) CloseHandle(handle);
}

void DebugOutputRelay::run() {
  HANDLE roleOrStop[] = {stop, relayRole};
  const DWORD role = WaitForMultipleObjects(2, roleOrStop, FALSE, INFINITE);
  if (role != WAIT_OBJECT_0 + 1 && role != WAIT_ABANDONED_0 + 1) return;
  // Stop comes first: when it and a text are both signalled, the text stays for the next relay.
  HANDLE dataOrStop[] = {stop, dataReady};
  // The last relay may have ended between taking a text and granting again: check at once.
  DWORD got = WAIT_TIMEOUT;
  while (got != WAIT_OBJECT_0 && got != WAIT_FAILED) {
    if (got == WAIT_TIMEOUT) got = checkTheGrant();
    if (got == WAIT_OBJECT_0 + 1) {
      relayText();
      SetEvent(bufferReady);
    }
    if (got != WAIT_OBJECT_0 && got != WAIT_FAILED) got = WaitForMultipleObjects(2, dataOrStop, FALSE, kIdleCheckMs);
  }
  ReleaseMutex(relayRole);
}

// After a while without a text: makes sure the grant has not been lost. The buffer is granted
// by setting BUFFER_READY once per text taken, and a writer whose process ends after it took the
// grant and before it signalled its text takes the grant with it: every writer would then wait
// ten seconds and lose its text. Writers hold DBWinMutex from waiting for the grant to
// signalling their text. Returns WAIT_OBJECT_0 for stop and WAIT_OBJECT_0 + 1 for a text.
unsigned long DebugOutputRelay::checkTheGrant() {
  HANDLE dataOrWritersOrStop[] = {stop, dataReady, writers};
  const DWORD got = WaitForMultipleObjects(3, dataOrWritersOrStop, FALSE, kIdleCheckMs);
  if (got == WAIT_OBJECT_0 + 2 || got == WAIT_ABANDONED_0 + 2) {
    // No writer is in between: granting again is safe (it may be granted already).
    if (WaitForSingleObject(dataReady, 0) == WAIT_OBJECT_0) relayText();
    SetEvent(bufferReady);
    ReleaseMutex(writers);
  } else if (got == WAIT_TIMEOUT) {
    // A writer has held DBWinMutex this long without a text: it waits for a lost grant (copying
    // a text takes microseconds).
    SetEvent(bufferReady);
  }
  return got;
}

// Hands the text in the buffer, with its process id, to the writer's inbox if it has one.
void DebugOutputRelay::relayText() {
  DWORD processId;
  std::memcpy(&processId, view, sizeof processId);
  const size_t length = strnlen(view + sizeof processId, kBufferSize - sizeof processId);
  writeToInbox(processId, view, sizeof processId + length);
}

}  // namespace ZerinTest::internal
