#include "program_process.h"

#include <cerrno>
#include <chrono>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace ZerinTest {

ProgramProcess::~ProgramProcess() { kill(); }

bool ProgramProcess::start(const std::string& program, const std::vector<std::string>& arguments) {
  {
    std::lock_guard<std::mutex> lock(mutex);
    output.clear();
    ended = false;
  }
#if defined(_WIN32)
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE childInput = nullptr, childOutput = nullptr, ourInput = nullptr, ourOutput = nullptr;
  if (!CreatePipe(&childInput, &ourInput, &inherit, 0)) return false;
  if (!CreatePipe(&ourOutput, &childOutput, &inherit, 0)) {
    CloseHandle(childInput);
    CloseHandle(ourInput);
    return false;
  }
  SetHandleInformation(ourInput, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(ourOutput, HANDLE_FLAG_INHERIT, 0);
  std::string command = "\"" + program + "\"";
  for (const std::string& argument : arguments) command += " \"" + argument + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = childInput;
  startup.hStdOutput = childOutput;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION info{};
  const BOOL created =
      CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info);
  CloseHandle(childInput);
  CloseHandle(childOutput);
  if (!created) {
    CloseHandle(ourInput);
    CloseHandle(ourOutput);
    return false;
  }
  CloseHandle(info.hThread);
  process = info.hProcess;
  input = ourInput;
  outputPipe = ourOutput;
#else
  int toChild[2], fromChild[2];
  if (pipe2(toChild, O_CLOEXEC) != 0) return false;
  if (pipe2(fromChild, O_CLOEXEC) != 0) {
    ::close(toChild[0]);
    ::close(toChild[1]);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
  posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(toChild[0]);
  ::close(fromChild[1]);
  if (spawned != 0) {
    pid = -1;
    ::close(toChild[1]);
    ::close(fromChild[0]);
    return false;
  }
  input = toChild[1];
  outputPipe = fromChild[0];
  // glibc declares pidfd_open without C linkage for C++: the system call itself.
  exitWatch = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#endif
  reader = std::thread(&ProgramProcess::readOutput, this);
  return true;
}

void ProgramProcess::readOutput() {
  std::string pending;
  char buffer[4096];
  for (;;) {
#if defined(_WIN32)
    DWORD count = 0;
    if (!ReadFile(outputPipe, buffer, sizeof buffer, &count, nullptr) || count == 0) break;
#else
    const ssize_t count = ::read(outputPipe, buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) break;
#endif
    pending.append(buffer, static_cast<size_t>(count));
    std::vector<std::string> complete;
    for (size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
      std::string line = pending.substr(0, end);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      complete.push_back(std::move(line));
    }
    if (!complete.empty()) {
      std::lock_guard<std::mutex> lock(mutex);
      for (std::string& line : complete) output.push_back(std::move(line));
      changed.notify_all();
    }
  }
  // A line cut off by the kill is not a line the child finished.
  std::lock_guard<std::mutex> lock(mutex);
  ended = true;
  changed.notify_all();
}

bool ProgramProcess::send(const std::string& line) {
  const std::string text = line + "\n";
#if defined(_WIN32)
  DWORD written = 0;
  return input && WriteFile(input, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
#else
  return input >= 0 && ::write(input, text.data(), text.size()) == static_cast<ssize_t>(text.size());
#endif
}

long ProgramProcess::waitForLine(const std::string& prefix, size_t from, int timeoutMs) {
  return waitForLine([&prefix](const std::string& line) { return line.compare(0, prefix.size(), prefix) == 0; }, from,
                     timeoutMs);
}

long ProgramProcess::waitForLine(const std::function<bool(const std::string&)>& matches, size_t from, int timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex);
  long found = -1;
  changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    for (size_t i = from; i < output.size(); ++i)
      if (matches(output[i])) {
        found = static_cast<long>(i);
        return true;
      }
    return ended;
  });
  return found;
}

size_t ProgramProcess::lineCount() {
  std::lock_guard<std::mutex> lock(mutex);
  return output.size();
}

std::optional<int> ProgramProcess::waitForExit(std::chrono::milliseconds limit) {
#if defined(_WIN32)
  DWORD code = 0;
  if (!process || WaitForSingleObject(process, static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(process, &code))
    return std::nullopt;
  return static_cast<int>(code);
#else
  if (pid <= 0 || exitWatch < 0) return std::nullopt;
  pollfd ended{exitWatch, POLLIN, 0};
  int ready;
  while ((ready = poll(&ended, 1, static_cast<int>(limit.count()))) < 0 && errno == EINTR) {
  }
  if (ready != 1) return std::nullopt;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  pid = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
#endif
}

void ProgramProcess::kill() {
#if defined(_WIN32)
  if (process) {
    TerminateProcess(process, 9);
    WaitForSingleObject(process, INFINITE);
    CloseHandle(process);
    process = nullptr;
  }
  if (input) CloseHandle(input);
  input = nullptr;
  if (reader.joinable()) reader.join();
  if (outputPipe) CloseHandle(outputPipe);
  outputPipe = nullptr;
#else
  if (pid > 0) {
    ::kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    pid = -1;
  }
  if (exitWatch >= 0) ::close(exitWatch);
  exitWatch = -1;
  if (input >= 0) ::close(input);
  input = -1;
  if (reader.joinable()) reader.join();
  if (outputPipe >= 0) ::close(outputPipe);
  outputPipe = -1;
#endif
}

std::vector<std::string> ProgramProcess::lines() {
  std::lock_guard<std::mutex> lock(mutex);
  return output;
}

}  // namespace ZerinTest

namespace ZerinTest {

std::vector<std::string> ProgramProcess::takeLines() {
  std::lock_guard<std::mutex> lock(mutex);
  std::vector<std::string> taken;
  taken.swap(output);
  return taken;
}

}  // namespace ZerinTest
