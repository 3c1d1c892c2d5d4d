#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace ZerinTest {

// A program as a child process (a stand-in, or a program the test watches): arguments in,
// commands on its standard input, its standard output read line by line on a thread of this
// object, its end awaited within a limit, and a hard kill.
class ProgramProcess {
 public:
  ProgramProcess() = default;
  ~ProgramProcess();  // kills a child still running
  ProgramProcess(const ProgramProcess&) = delete;
  ProgramProcess& operator=(const ProgramProcess&) = delete;

  bool start(const std::string& program, const std::vector<std::string>& arguments);
  bool send(const std::string& line);
  // Waits until a line of output starts with `prefix` after the first `from` lines; its index,
  // or -1 when the output ended or the time ran out first.
  long waitForLine(const std::string& prefix, size_t from, int timeoutMs);
  // The same for the first line that `matches`.
  long waitForLine(const std::function<bool(const std::string&)>& matches, size_t from, int timeoutMs);
  size_t lineCount();
  // Waits until the child has ended, for at most `limit`: its exit code, or nothing when it is
  // still running.
  std::optional<int> waitForExit(std::chrono::milliseconds limit);
  // Kills the child at once (no chance to finish what it writes), waits for it and for the end
  // of its output.
  void kill();
  // Every line the child wrote so far.
  std::vector<std::string> lines();
  // The same, handed over: the object keeps none of them.
  std::vector<std::string> takeLines();

 private:
  void readOutput();

  std::mutex mutex;  // guards output and ended
  std::condition_variable changed;
  std::vector<std::string> output;
  bool ended = false;
  std::thread reader;
#if defined(_WIN32)
  void* process = nullptr;
  void* input = nullptr;
  void* outputPipe = nullptr;
#else
  int pid = -1;
  int exitWatch = -1;  // a descriptor that turns readable when the child ends
  int input = -1;
  int outputPipe = -1;
#endif
};

}  // namespace ZerinTest
