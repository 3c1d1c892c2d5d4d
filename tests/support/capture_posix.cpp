#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <thread>

#include "capture_platform.h"
#include "platform/debug_output.h"

namespace ZerinTest::internal {

namespace {

constexpr auto kArrivalLimit = std::chrono::seconds(30);

// Watches this process's debugger output from program start: a thread takes each text off the
// socket at once (its queue holds only a few), so writers never wait for it.
class DebuggerOutputWatcher {
 public:
  DebuggerOutputWatcher() {
    watcher = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string name = Zerin::platform::debugOutputSocketName(getpid());
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    if (watcher < 0 || bind(watcher, reinterpret_cast<const sockaddr*>(&address), size) != 0 || pipe2(wake, O_CLOEXEC) != 0) {
      setupError = "cannot watch " + name + ": " + std::strerror(errno);
      return;
    }
    reader = std::thread([this] { run(); });
  }

  ~DebuggerOutputWatcher() {
    if (reader.joinable()) {
      const char stop = 0;
      (void)!write(wake[1], &stop, 1);
      reader.join();
    }
    for (int fd : {watcher, wake[0], wake[1]})
      if (fd >= 0) close(fd);
  }

  bool receive(std::vector<std::string>& texts, std::string& error) {
    if (!setupError.empty()) {
      error = setupError;
      return false;
    }
    const std::string marker = kMarkerPrefix + std::to_string(++markers);
    Zerin::platform::writeDebugOutput(marker.c_str());
    if (arrivals.takeUpTo(marker, texts)) return true;
    error = "the marker written through it did not come back";
    return false;
  }

 private:
  void run() {
    std::vector<char> buffer(1 << 16);
    pollfd waits[] = {{watcher, POLLIN, 0}, {wake[0], POLLIN, 0}};
    for (;;) {
      if (poll(waits, 2, -1) < 0 && errno != EINTR) return;
      if (waits[1].revents) return;
      if (!(waits[0].revents & POLLIN)) continue;
      const ssize_t size = recv(watcher, buffer.data(), buffer.size(), MSG_DONTWAIT);
      if (size >= 0) arrivals.add(std::string(buffer.data(), static_cast<size_t>(size)));
    }
  }

  int watcher = -1;
  int wake[2] = {-1, -1};  // a byte on it stops the reader
  std::string setupError;
  unsigned markers = 0;    // used by receive(), which capture.cpp serialises
  Arrivals arrivals;
  std::thread reader;      // owned here, joined by the destructor
};

DebuggerOutputWatcher& watcher() {
  static DebuggerOutputWatcher instance;
  return instance;
}

// From program start, so that the first texts are not missed.
[[maybe_unused]] const bool watching = (watcher(), true);

constexpr const char* kConsoleMarker = "\033]ZerinTestConsole\007";

uint16_t attributeOfEscape(const std::string& parameters) {
  if (parameters == "91") return 12;
  if (parameters == "93") return 14;
  return 7;
}

// Reads what the terminal has received, up to a marker written now, and adds it to the console's
// text: a terminal may pass on written bytes a moment later.
void drain(ConsoleCapture::Console& console) {
  if (console.master < 0) return;
  (void)!write(console.slave, kConsoleMarker, std::strlen(kConsoleMarker));
  const auto limit = std::chrono::steady_clock::now() + kArrivalLimit;
  std::string bytes = std::move(console.unparsed);
  console.unparsed.clear();
  char buffer[4096];
  while (bytes.find(kConsoleMarker) == std::string::npos && std::chrono::steady_clock::now() < limit) {
    pollfd wait{console.master, POLLIN, 0};
    if (poll(&wait, 1, 100) <= 0) continue;
    const ssize_t size = read(console.master, buffer, sizeof buffer);
    if (size > 0) bytes.append(buffer, static_cast<size_t>(size));
  }
  for (size_t at = 0; at < bytes.size();) {
    if (bytes[at] != '\033') {
      appendConsoleText(console.text, console.attribute, bytes[at++]);
      continue;
    }
    if (bytes.compare(at, std::strlen(kConsoleMarker), kConsoleMarker) == 0) {
      at += std::strlen(kConsoleMarker);
      continue;
    }
    const size_t end = bytes.find('m', at);
    if (end == std::string::npos) {
      console.unparsed = bytes.substr(at);
      break;
    }
    console.attribute = attributeOfEscape(bytes.substr(at + 2, end - at - 2));
    at = end + 1;
  }
}

}  // namespace

bool receiveDebugOutput(std::vector<std::string>& texts, std::string& error) {
  return watcher().receive(texts, error);
}

bool openConsole(ConsoleCapture::Console& console, std::string& error) {
  char name[128];
  console.master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (console.master < 0 || grantpt(console.master) != 0 || unlockpt(console.master) != 0 ||
      ptsname_r(console.master, name, sizeof name) != 0 ||
      (console.slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC)) < 0) {
    error = std::string("no pseudo-terminal: ") + std::strerror(errno);
    if (console.master >= 0) close(console.master);
    console.master = -1;
    return false;
  }
  termios settings{};
  tcgetattr(console.slave, &settings);
  cfmakeraw(&settings);  // the bytes as written: no CR before LF
  tcsetattr(console.slave, TCSANOW, &settings);
  std::fflush(stdout);
  console.savedDescriptor = dup(STDOUT_FILENO);
  dup2(console.slave, STDOUT_FILENO);
  return true;
}

void readConsole(ConsoleCapture::Console& console, std::vector<ConsoleText>& text, uint16_t& attribute) {
  drain(console);
  text = console.text;
  attribute = console.attribute;
}

void clearConsole(ConsoleCapture::Console& console) {
  drain(console);
  console.text.clear();
}

void giveBackStandardOutput(ConsoleCapture::Console& console) {
  if (console.savedDescriptor < 0) return;
  std::fflush(stdout);
  dup2(console.savedDescriptor, STDOUT_FILENO);
  close(console.savedDescriptor);
  console.savedDescriptor = -1;
  drain(console);
  close(console.slave);
  close(console.master);
  console.slave = console.master = -1;
}

}  // namespace ZerinTest::internal
