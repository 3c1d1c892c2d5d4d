#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ipc/message_traits.h"
#include "log_lines.h"

// Helpers of the IPC client tests. Every test program that links them gets a pipe folder of
// its own on POSIX (ZERIN_PIPE_DIR, set before anything opens a pipe), so that programs running
// at the same time never meet on the program manager's fixed pipe name; on Windows the tests
// take a CTest lock on the pipe instead, since every program of a run shares one pipe namespace.
namespace ZerinTest {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

inline int64_t millisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Looks at `condition` every few milliseconds until it holds; for states that announce no
// change (a client's connection state, the log). False when the time ran out.
bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 5s);

// The log lines of this test that start with `prefix` ("WAR [tag] text").
std::vector<std::string> linesStartingWith(const std::string& prefix);
size_t countLines(const std::string& prefix);
// Waits until `count` lines start with `prefix`.
bool waitForLines(const std::string& prefix, size_t count, std::chrono::milliseconds timeout = 5s);

// Threads of this process, and its open handles (file descriptors on POSIX).
size_t threadCount();
size_t handleCount();

// The calling thread's name as the system keeps it (on POSIX its first 15 bytes), and what
// the system keeps of `name`.
std::string systemThreadName();
std::string systemThreadNameOf(const std::string& name);

// The folder of the running program.
std::string programFolder();

// The pipe folder of this program (POSIX), empty on Windows.
std::string pipeFolder();

// A message of any size for the tests: field list with one byte sequence.
struct Blob {
  std::vector<uint8_t> bytes;
};

// A small fixed-size message with a number.
struct Numbered {
  uint32_t sequence = 0;
  uint32_t check = 0;
};

}  // namespace ZerinTest

namespace Zerin {

template <>
struct MessageTraits<ZerinTest::Blob> {
  static constexpr const char* name = "Blob";
  static constexpr const char* parserTag = "Zerin::LayerByteMessageParser<struct ZerinTest::Blob>::parseMessage";
  static constexpr PayloadForm form = PayloadForm::FieldList;
  static std::vector<FieldCodec<ZerinTest::Blob>> fields() {
    return {FieldCodec<ZerinTest::Blob>(&ZerinTest::Blob::bytes)};
  }
};

template <>
struct MessageTraits<ZerinTest::Numbered> {
  static constexpr const char* name = "Numbered";
  static constexpr const char* parserTag = "Zerin::LayerByteMessageParser<struct ZerinTest::Numbered>::parseMessage";
  static constexpr PayloadForm form = PayloadForm::FixedSize;
};

}  // namespace Zerin
