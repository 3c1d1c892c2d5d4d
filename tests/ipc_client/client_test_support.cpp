#include "client_test_support.h"

#include <algorithm>
#include <cstdlib>
#include <vector>
#include <filesystem>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#include <tlhelp32.h>
#else
#include <pthread.h>
#include <unistd.h>
#endif

#include "platform/thread_name.h"

namespace ZerinTest {

namespace {

#if !defined(_WIN32)
struct PrivatePipeFolder {
  PrivatePipeFolder() {
    char pattern[] = "/tmp/zerin-pipes-XXXXXX";
    if (mkdtemp(pattern)) {
      path = pattern;
      setenv("ZERIN_PIPE_DIR", pattern, 1);
    }
  }
  ~PrivatePipeFolder() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
  std::string path;
};

// Before main: nothing can have opened a pipe yet.
PrivatePipeFolder privatePipeFolder;
#endif

#if !defined(_WIN32)
size_t entriesIn(const char* folder) {
  std::error_code error;
  size_t count = 0;
  for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error))
    ++count;
  return count;
}
#endif

}  // namespace

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(2ms);
  }
}

std::vector<std::string> linesStartingWith(const std::string& prefix) {
  std::vector<std::string> found;
  for (const std::string& line : logLines())
    if (line.compare(0, prefix.size(), prefix) == 0) found.push_back(line);
  return found;
}

size_t countLines(const std::string& prefix) { return linesStartingWith(prefix).size(); }

bool waitForLines(const std::string& prefix, size_t count, std::chrono::milliseconds timeout) {
  return eventually([&] { return countLines(prefix) >= count; }, timeout);
}

size_t threadCount() {
#if defined(_WIN32)
  size_t count = 0;
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  const DWORD process = GetCurrentProcessId();
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
    if (entry.th32OwnerProcessID == process) ++count;
  CloseHandle(snapshot);
  return count;
#else
  return entriesIn("/proc/self/task");
#endif
}

#if defined(_WIN32)
namespace {

// The system's list of open handles (SystemHandleInformation), for where GetProcessHandleCount
// counts nothing (Wine).
struct SystemHandleEntry {
  ULONG owner;
  UCHAR type;
  UCHAR flags;
  USHORT value;
  PVOID object;
  ACCESS_MASK access;
};
struct SystemHandleList {
  ULONG count;
  SystemHandleEntry entries[1];
};

size_t handlesInSystemList() {
  using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
  static const auto query = reinterpret_cast<Query>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  if (!query) return 0;
  constexpr ULONG kSystemHandleInformation = 16;
  std::vector<unsigned char> buffer(1 << 20);
  for (int attempt = 0; attempt < 8; ++attempt) {
    ULONG needed = 0;
    const LONG status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    if (status >= 0) {
      const auto* list = reinterpret_cast<const SystemHandleList*>(buffer.data());
      const DWORD self = GetCurrentProcessId();
      size_t count = 0;
      for (ULONG i = 0; i < list->count; ++i) count += list->entries[i].owner == self;
      return count;
    }
    buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 4096));
  }
  return 0;
}

}  // namespace
#endif

size_t handleCount() {
#if defined(_WIN32)
  DWORD count = 0;
  GetProcessHandleCount(GetCurrentProcess(), &count);
  return count != 0 ? count : handlesInSystemList();
#else
  return entriesIn("/proc/self/fd");
#endif
}

std::string systemThreadName() {
#if defined(_WIN32)
  const std::wstring name = Zerin::platform::currentThreadDescription();
  std::string narrow;
  for (wchar_t c : name) narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return narrow;
#else
  char name[16] = {};
  pthread_getname_np(pthread_self(), name, sizeof name);
  return name;
#endif
}

std::string systemThreadNameOf(const std::string& name) {
#if defined(_WIN32)
  return name;
#else
  return name.substr(0, 15);
#endif
}

std::string programFolder() {
#if defined(_WIN32)
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string program(path, length);
#else
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  std::string program(path, length > 0 ? static_cast<size_t>(length) : 0);
#endif
  const auto separator = program.find_last_of("\\/");
  return separator == std::string::npos ? "." : program.substr(0, separator);
}

std::string pipeFolder() {
#if defined(_WIN32)
  return {};
#else
  return privatePipeFolder.path;
#endif
}

}  // namespace ZerinTest
