#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <thread>

#include "capture_platform.h"

namespace ZerinTest::internal {

namespace {

// The DBWIN buffer: the writer's process id, then its text and a terminating NUL.
constexpr DWORD kBufferSize = 4096;
// Only one reader of the DBWIN buffer can exist in a Wine prefix (a Windows session), and test
// programs run side by side: the one holding this mutex relays each text to the inbox of the
// process that wrote it; the others wait to take over when it ends.
constexpr const char* kRelayMutex = "ZerinTestDebugOutputRelay";

std::string inboxName(DWORD processId) {
  return "\\\\.\\mailslot\\ZerinTestDebugOutput\\" + std::to_string(processId);
}

std::string systemError(const char* what) { return std::string(what) + " failed, error " + std::to_string(GetLastError()); }

class DebuggerOutputReader {
 public:
  DebuggerOutputReader() {
    mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBufferSize, "DBWIN_BUFFER");
    dataReady = CreateEventA(nullptr, FALSE, FALSE, "DBWIN_DATA_READY");
    bufferReady = CreateEventA(nullptr, FALSE, FALSE, "DBWIN_BUFFER_READY");
    // A new event has no grant outstanding: hand the buffer to the first writer. An existing one
    // is another reader's, granted already.
    const bool newBufferEvent = bufferReady && GetLastError() != ERROR_ALREADY_EXISTS;
    relayRole = CreateMutexA(nullptr, FALSE, kRelayMutex);
    stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    inbox = CreateMailslotA(inboxName(GetCurrentProcessId()).c_str(), 0, MAILSLOT_WAIT_FOREVER, nullptr);
    view = mapping ? static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, kBufferSize)) : nullptr;
    if (!mapping || !dataReady || !bufferReady || !relayRole || !stop || inbox == INVALID_HANDLE_VALUE || !view) {
      setupError = systemError("setting up the DBWIN reader");
      return;
    }
    if (newBufferEvent) SetEvent(bufferReady);
    inboxReader = std::thread([this] { readInbox(); });
    relay = std::thread([this] { run(); });
  }

  ~DebuggerOutputReader() {
    if (relay.joinable()) {
      SetEvent(stop);
      relay.join();
    }
    if (inboxReader.joinable()) {
      writeToInbox(GetCurrentProcessId(), "", 1);  // shorter than any relayed text: the reader stops
      inboxReader.join();
    }
    if (view) UnmapViewOfFile(view);
    for (HANDLE handle : {mapping, dataReady, bufferReady, relayRole, stop})
      if (handle) CloseHandle(handle);
    if (inbox != INVALID_HANDLE_VALUE) CloseHandle(inbox);
  }

  bool receive(std::vector<std::string>& texts, std::string& error) {
    if (!setupError.empty()) {
      error = setupError;
      return false;
    }
    const std::string marker = kMarkerPrefix + std::to_string(++markers);
    OutputDebugStringA(marker.c_str());
    if (arrivals.takeUpTo(marker, texts)) return true;
    error = "the marker written through it did not come back";
    return false;
  }

 private:
  void run() {
    HANDLE roleOrStop[] = {stop, relayRole};
    const DWORD role = WaitForMultipleObjects(2, roleOrStop, FALSE, INFINITE);
    if (role == WAIT_ABANDONED_0 + 1) {
      // The last relay's process died without handing over: it may have taken a text and not
      // given the buffer back.
      if (WaitForSingleObject(dataReady, 0) == WAIT_OBJECT_0) relayText();
      SetEvent(bufferReady);
    } else if (role != WAIT_OBJECT_0 + 1) {
      return;
    }
    // Stop comes first: when both are signalled a waiting text stays for the next relay.
    HANDLE dataOrStop[] = {stop, dataReady};
    while (WaitForMultipleObjects(2, dataOrStop, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
      relayText();
      SetEvent(bufferReady);
    }
    ReleaseMutex(relayRole);
  }

  // Hands the text in the buffer, with its process id, to the writer's inbox if it has one.
  void relayText() {
    DWORD processId;
    std::memcpy(&processId, view, sizeof processId);
    const size_t length = strnlen(view + sizeof processId, kBufferSize - sizeof processId);
    writeToInbox(processId, view, sizeof processId + length);
  }

  static void writeToInbox(DWORD processId, const char* message, size_t size) {
    HANDLE writerInbox = CreateFileA(inboxName(processId).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
    if (writerInbox == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(writerInbox, message, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(writerInbox);
  }

  // Takes each relayed text out of the inbox at once: a full inbox would hold up the relay, and
  // with it every writer.
  void readInbox() {
    std::vector<char> message(kBufferSize);
    DWORD size = 0;
    while (ReadFile(inbox, message.data(), kBufferSize, &size, nullptr) && size >= sizeof(DWORD))
      arrivals.add(std::string(message.data() + sizeof(DWORD), size - sizeof(DWORD)));
  }

  HANDLE mapping = nullptr;
  HANDLE dataReady = nullptr;
  HANDLE bufferReady = nullptr;
  HANDLE relayRole = nullptr;
  HANDLE stop = nullptr;       // manual reset; set once, at exit
  HANDLE inbox = INVALID_HANDLE_VALUE;  // this process's texts, from whichever process relays
  const char* view = nullptr;
  std::string setupError;
  unsigned markers = 0;        // used by receive(), which capture.cpp serialises
  Arrivals arrivals;
  std::thread inboxReader;     // owned here, joined by the destructor
  std::thread relay;           // owned here, joined by the destructor
};

DebuggerOutputReader& reader() {
  static DebuggerOutputReader instance;
  return instance;
}

// From program start, so that the first texts are not missed.
[[maybe_unused]] const bool reading = (reader(), true);

constexpr SHORT kColumns = 4096;  // no wrapping of log lines
constexpr SHORT kRows = 256;

}  // namespace

bool receiveDebugOutput(std::vector<std::string>& texts, std::string& error) {
  return reader().receive(texts, error);
}

bool openConsole(ConsoleCapture::Console& console, std::string& error) {
  // A process started from a Unix shell has a console that shows nothing; a new one can (Wine
  // runs it in a window, so it needs a display).
  FreeConsole();
  if (!AllocConsole()) {
    error = systemError("AllocConsole");
    return false;
  }
  HANDLE screen = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                            nullptr, CONSOLE_TEXTMODE_BUFFER, nullptr);
  if (screen == INVALID_HANDLE_VALUE || !SetConsoleScreenBufferSize(screen, {kColumns, kRows}) ||
      !SetConsoleTextAttribute(screen, ConsoleCapture::kStartAttribute)) {
    error = systemError("making a console screen buffer (under Wine a console needs a display)");
    return false;
  }
  console.screen = screen;
  HANDLE forDescriptor = nullptr;
  DuplicateHandle(GetCurrentProcess(), screen, GetCurrentProcess(), &forDescriptor, 0, FALSE, DUPLICATE_SAME_ACCESS);
  const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(forDescriptor), _O_TEXT);
  if (descriptor < 0) {
    error = "no descriptor for the console";
    return false;
  }
  console.savedStdout = GetStdHandle(STD_OUTPUT_HANDLE);
  SetStdHandle(STD_OUTPUT_HANDLE, screen);
  std::fflush(stdout);
  console.savedDescriptor = _dup(1);
  _dup2(descriptor, 1);
  _close(descriptor);
  return true;
}

void readConsole(ConsoleCapture::Console& console, std::vector<ConsoleText>& text, uint16_t& attribute) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  GetConsoleScreenBufferInfo(console.screen, &info);
  attribute = info.wAttributes;
  std::vector<char> characters(kColumns);
  std::vector<WORD> attributes(kColumns);
  for (SHORT row = 0; row <= info.dwCursorPosition.Y; ++row) {
    const bool lastRow = row == info.dwCursorPosition.Y;
    DWORD count = 0;
    const DWORD width = lastRow ? info.dwCursorPosition.X : static_cast<DWORD>(info.dwSize.X);
    if (width == 0) continue;
    ReadConsoleOutputCharacterA(console.screen, characters.data(), width, {0, row}, &count);
    ReadConsoleOutputAttribute(console.screen, attributes.data(), width, {0, row}, &count);
    // Cells past a line's end are blank; the line end carries the colour of its last character.
    if (!lastRow)
      while (count > 0 && characters[count - 1] == ' ') --count;
    for (DWORD i = 0; i < count; ++i) appendConsoleText(text, attributes[i], characters[i]);
    if (!lastRow) appendConsoleText(text, count > 0 ? attributes[count - 1] : attribute, '\n');
  }
}

void clearConsole(ConsoleCapture::Console& console) {
  DWORD written = 0;
  const DWORD cells = static_cast<DWORD>(kColumns) * kRows;
  FillConsoleOutputCharacterA(console.screen, ' ', cells, {0, 0}, &written);
  FillConsoleOutputAttribute(console.screen, ConsoleCapture::kStartAttribute, cells, {0, 0}, &written);
  SetConsoleCursorPosition(console.screen, {0, 0});
}

void giveBackStandardOutput(ConsoleCapture::Console& console) {
  if (console.savedDescriptor < 0) return;
  std::fflush(stdout);
  _dup2(console.savedDescriptor, 1);
  _close(console.savedDescriptor);
  console.savedDescriptor = -1;
  SetStdHandle(STD_OUTPUT_HANDLE, console.savedStdout);
}

}  // namespace ZerinTest::internal
