// The engine quits with everything of the plug-in running: a session, a data stream delivering
// frames, a connected program manager client, a second client whose Connect waits for the
// service and a thread waiting for the render thread's frame sync. The process must end promptly with its own exit code, whatever thread ends it.
//
// Each case runs this program again as the engine (Quitting.DISABLED_Engine), against the
// service program serving one client at a time. Once the first client is connected, the test
// takes the pipe's last place itself (on POSIX the listener queues one more client), so that
// the second client finds the pipe busy and keeps retrying.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

#include "child_process.h"
#include "engine_host.h"
#include "platform/named_pipe.h"
#include "platform/shared_library.h"
#include "program_manager_service.h"
#include "program_process.h"

#if !defined(_WIN32)
#include <filesystem>
#include <unistd.h>
#endif

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kExitOnThreadCode = 3;
constexpr const char* kConnectedLine = "first client connected";
// The waiting client's first attempt ending: its Connect is retrying from now on.
constexpr const char* kRetryingText = "[Zerin::IPC::Client::logConnectionErrorIfNecessary] Failed to connect to server pipe";

std::mutex framesMutex;
std::condition_variable framesChanged;
int frames = 0;  // guarded by framesMutex

void onFrame(const void*, void*) {
  std::lock_guard<std::mutex> lock(framesMutex);
  ++frames;
  framesChanged.notify_all();
}

void onDebugLog(const char*) {}
void onProgramManagerMessage(int32_t, const char*, int32_t, const uint8_t*, int32_t) {}

// The engine: sets everything up, then quits as the parent tells it on standard input.
TEST(Quitting, DISABLED_Engine) {
  ZerinSim::EngineHost host;
  ASSERT_TRUE(host.load()) << host.error();
  const ZerinSim::BridgeExports& plugin = host.exports();
  const auto create = plugin.ProgramManagerClient_Create;
  const auto connect = plugin.ProgramManagerClient_Connect;

  plugin.SetDebugLog(&onDebugLog);
  plugin.SetProgramManagerUnityMessageHandler(&onProgramManagerMessage);
  ASSERT_TRUE(plugin.InitSession());
  ASSERT_TRUE(plugin.MRStartDataStream(1, &onFrame, nullptr));
  {
    std::unique_lock<std::mutex> lock(framesMutex);
    ASSERT_TRUE(framesChanged.wait_for(lock, 10s, [] { return frames > 0; }));
  }
  ASSERT_TRUE(connect(create()));
  std::cout << kConnectedLine << std::endl;
  std::string command;
  ASSERT_TRUE(static_cast<bool>(std::getline(std::cin, command)));
  ASSERT_EQ(command, "connect-second");
  // The engine's worker threads: nobody joins them when the engine quits. The second waits for a
  // frame sync that no render event will bring.
  const int32_t waiting = create();
  std::thread([connect, waiting] { connect(waiting); }).detach();
  std::thread(plugin.SyncRenderThread).detach();

  ASSERT_TRUE(static_cast<bool>(std::getline(std::cin, command)));
  if (command == "exit-on-thread") std::thread([] { std::exit(kExitOnThreadCode); }).join();
  ASSERT_EQ(command, "return");
}

#if !defined(_WIN32)
// The service's pipe in a folder of this test alone.
struct PrivatePipeFolder {
  PrivatePipeFolder() {
    char pattern[] = "/tmp/zerin-quit-XXXXXX";
    if (mkdtemp(pattern)) path = pattern;
    if (!path.empty()) setenv("ZERIN_PIPE_DIR", pattern, 1);
  }
  ~PrivatePipeFolder() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
  std::string path;
};
#endif

struct QuitCase {
  const char* command;
  int exitCode;
};

void PrintTo(const QuitCase& quitCase, std::ostream* out) { *out << quitCase.command; }

class QuittingEngine : public ::testing::TestWithParam<QuitCase> {};

TEST_P(QuittingEngine, EndsWithinFiveSecondsWithItsExitCode) {
#if defined(_WIN32)
  const std::string service = Zerin::platform::programFolder() + "\\ZerinProgramManagerService.exe";
#else
  const PrivatePipeFolder pipes;
  ASSERT_FALSE(pipes.path.empty());
  const std::string service = Zerin::platform::programFolder() + "/ZerinProgramManagerService";
#endif
  ZerinTest::ProgramProcess serviceProcess;
  ASSERT_TRUE(serviceProcess.start(service, {"--quiet", "--instances", "1"})) << service;
  ZerinTest::ProgramProcess engine;
  ASSERT_TRUE(engine.start(ZerinTest::programPath(), {"--gtest_also_run_disabled_tests", "--gtest_filter=Quitting.DISABLED_Engine"}));

  const auto contains = [](const char* text) {
    return [text](const std::string& line) { return line.find(text) != std::string::npos; };
  };
  const long connected = engine.waitForLine(contains(kConnectedLine), 0, 30000);
  ASSERT_GE(connected, 0) << "the engine did not get going";
  // Where the service has no place left this fails, as it should.
  const Zerin::platform::Handle lastPlace = Zerin::platform::openNamedPipe(ZerinSim::kProgramManagerPipe);
  ASSERT_TRUE(engine.send("connect-second"));
  ASSERT_GE(engine.waitForLine(contains(kRetryingText), static_cast<size_t>(connected), 30000), 0)
      << "the second Connect does not wait";

  ASSERT_TRUE(engine.send(GetParam().command));
  const auto quitting = Clock::now();
  const auto exitCode = engine.waitForExit(5s);
  const auto quitMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - quitting).count();
  std::string output;
  if (!exitCode) {
    engine.kill();
    for (const std::string& line : engine.lines()) output += line + "\n";
  }
  if (lastPlace != Zerin::platform::invalidHandle()) Zerin::platform::closeHandle(lastPlace);
  ASSERT_TRUE(exitCode) << "still running 5 s after '" << GetParam().command << "'; it wrote:\n" << output;
  EXPECT_EQ(*exitCode, GetParam().exitCode);
  std::cout << "ended " << quitMs << " ms after '" << GetParam().command << "'" << std::endl;
}

INSTANTIATE_TEST_SUITE_P(Ways, QuittingEngine,
                         ::testing::Values(QuitCase{"return", 0}, QuitCase{"exit-on-thread", kExitOnThreadCode}),
                         [](const auto& info) {
                           return std::string(info.param.exitCode == 0 ? "ReturnFromMain" : "ExitOnAnotherThread");
                         });

}  // namespace
