#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>

#include "capture_platform.h"
#include "debug_output_relay.h"

namespace ZerinTest::internal {

namespace {

constexpr DWORD kInboxMessageSize = 4096;  // the process id and a text of the DBWIN buffer
constexpr DWORD kInboxPollMs = 200;        // how often the inbox reader looks whether to stop

std::string systemError(const char* what) { return std::string(what) + " failed, error " + std::to_string(GetLastError()); }

// This process's texts, as a relay hands them over (debug_output_relay.h).
class DebuggerOutputReader {
 public:
  DebuggerOutputReader() {
    inbox = CreateMailslotA(debugOutputInboxName(GetCurrentProcessId()).c_str(), 0, kInboxPollMs, nullptr);
    if (inbox == INVALID_HANDLE_VALUE) {
      setupError = systemError("CreateMailslot");
      return;
    }
    inboxReader = std::thread([this] { readInbox(); });
    relay = std::make_unique<DebugOutputRelay>();
  }

  ~DebuggerOutputReader() {
    relay.reset();  // first: it may be handing this process a text
    if (inboxReader.joinable()) {
      stopping = true;
      inboxReader.join();
    }
    if (inbox != INVALID_HANDLE_VALUE) CloseHandle(inbox);
  }

  bool receive(std::vector<std::string>& texts, std::string& error) {
    error = !setupError.empty() ? setupError : relay->error();
    if (!error.empty()) return false;
    const std::string marker = kMarkerPrefix + std::to_string(++markers);
    OutputDebugStringA(marker.c_str());
    if (arrivals.takeUpTo(marker, texts)) return true;
    error = "the marker written through it did not come back";
    return false;
  }

 private:
  // Takes each text out of the inbox at once: a full inbox would hold up the relay, and with it
  // every writer.
  void readInbox() {
    std::vector<char> message(kInboxMessageSize);
    while (!stopping) {
      DWORD size = 0;
      if (ReadFile(inbox, message.data(), kInboxMessageSize, &size, nullptr) && size >= sizeof(DWORD))
        arrivals.add(std::string(message.data() + sizeof(DWORD), size - sizeof(DWORD)));
    }
  }

  HANDLE inbox = INVALID_HANDLE_VALUE;
  std::string setupError;
  unsigned markers = 0;       // used by receive(), which capture.cpp serialises
  Arrivals arrivals;
  std::atomic<bool> stopping{false};
  std::thread inboxReader;    // owned here, joined by the destructor
  std::unique_ptr<DebugOutputRelay> relay;  // reads for the session when no other relay does
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
