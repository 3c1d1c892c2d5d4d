#include <gtest/gtest.h>

#include <chrono>

#include "child_process.h"
#include "pipe_test_support.h"
#include "platform/named_pipe.h"
#include "platform/system_error.h"

#if !defined(_WIN32)
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#endif

namespace {

using namespace std::chrono_literals;
using ZerinTest::privatePipeName;
namespace platform = Zerin::platform;
using platform::Handle;
using platform::invalidHandle;
using platform::lastSystemError;

// Handles of one test, closed at its end whatever happens.
struct Handles {
  ~Handles() { closeAll(); }
  void closeAll() {
    for (Handle handle : list) platform::closeHandle(handle);
    list.clear();
  }
  Handle add(Handle handle) {
    if (handle && handle != invalidHandle()) list.push_back(handle);
    return handle;
  }
  std::vector<Handle> list;
};

TEST(NamedPipe, AMissingPipeIsNotFoundAtOnce) {
  const std::string name = privatePipeName("missing");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(platform::waitNamedPipe(name, 5000));
  EXPECT_EQ(lastSystemError(), platform::kErrorFileNotFound);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
  EXPECT_EQ(platform::openNamedPipe(name), invalidHandle());
  EXPECT_EQ(lastSystemError(), platform::kErrorFileNotFound);
}

TEST(NamedPipe, OneInstanceTakesOneClientAndTheNextFindsItBusy) {
  const std::string name = privatePipeName("one");
  Handles handles;
  const Handle instance = handles.add(platform::createNamedPipe(name, 1, 4096));
  ASSERT_NE(instance, invalidHandle()) << lastSystemError();
  EXPECT_EQ(platform::createNamedPipe(name, 1, 4096), invalidHandle());
  EXPECT_EQ(lastSystemError(), platform::kErrorPipeBusy);

  const Handle first = handles.add(platform::openNamedPipe(name));
  ASSERT_NE(first, invalidHandle()) << lastSystemError();
  EXPECT_EQ(platform::openNamedPipe(name), invalidHandle());
  EXPECT_EQ(lastSystemError(), platform::kErrorPipeBusy);
  EXPECT_FALSE(platform::waitNamedPipe(name, 100));
  EXPECT_EQ(lastSystemError(), platform::kErrorSemTimeout);

  // The client came before the server asked for one: connected all the same.
  const Handle event = handles.add(platform::createEvent());
  platform::PipeIo io(event);
  EXPECT_FALSE(platform::connectNamedPipe(instance, &io));
  EXPECT_EQ(lastSystemError(), platform::kErrorPipeConnected);
}

TEST(NamedPipe, ConnectWaitsForAClient) {
  const std::string name = privatePipeName("connect");
  Handles handles;
  const Handle instance = handles.add(platform::createNamedPipe(name, 2, 4096));
  ASSERT_NE(instance, invalidHandle()) << lastSystemError();
  const Handle event = handles.add(platform::createEvent());
  platform::PipeIo io(event);
  ASSERT_FALSE(platform::connectNamedPipe(instance, &io));
  ASSERT_EQ(lastSystemError(), platform::kErrorIoPending);
  uint32_t transferred = 0;
  EXPECT_FALSE(platform::getOverlappedResult(instance, &io, &transferred, false));
  EXPECT_EQ(lastSystemError(), platform::kErrorIoIncomplete);

  ASSERT_TRUE(platform::waitNamedPipe(name, 2000)) << lastSystemError();
  const Handle client = handles.add(platform::openNamedPipe(name));
  ASSERT_NE(client, invalidHandle()) << lastSystemError();
  EXPECT_TRUE(platform::getOverlappedResult(instance, &io, &transferred, true)) << lastSystemError();
}

TEST(NamedPipe, CancelEndsOnlyTheGivenOperationAndStaleHandlesAreInvalid) {
  const std::string name = privatePipeName("cancel");
  Handles handles;
  const Handle instance = handles.add(platform::createNamedPipe(name, 1, 4096));
  ASSERT_NE(instance, invalidHandle()) << lastSystemError();
  const Handle client = platform::openNamedPipe(name);
  ASSERT_NE(client, invalidHandle()) << lastSystemError();
  const Handle event = handles.add(platform::createEvent());

  // Nothing pending: Windows fails with kErrorNotFound, Wine reports success.
  if (!platform::cancelIoEx(client, nullptr)) {
    EXPECT_EQ(lastSystemError(), platform::kErrorNotFound);
  }

  char buffer[8];
  uint32_t transferred = 0;
  platform::PipeIo read(event);
  ASSERT_FALSE(platform::readFile(client, buffer, sizeof buffer, &transferred, &read));
  ASSERT_EQ(lastSystemError(), platform::kErrorIoPending);
  EXPECT_TRUE(platform::cancelIoEx(client, &read)) << lastSystemError();
  EXPECT_FALSE(platform::getOverlappedResult(client, &read, &transferred, true));
  EXPECT_EQ(lastSystemError(), platform::kErrorOperationAborted);

  EXPECT_TRUE(platform::closeHandle(client));
  EXPECT_FALSE(platform::closeHandle(client));
  EXPECT_EQ(lastSystemError(), platform::kErrorInvalidHandle);
  platform::PipeIo late(event);
  EXPECT_FALSE(platform::readFile(client, buffer, sizeof buffer, &transferred, &late));
  EXPECT_EQ(lastSystemError(), platform::kErrorInvalidHandle);
}

#if !defined(_WIN32)

std::string socketFileOf(const std::string& directory, const char* name) { return directory + "/" + name; }

bool isSocket(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

// Runs in a child whose ZERIN_PIPE_DIR is a fresh directory.
TEST(NamedPipePosix, DISABLED_PutsTheSocketInZerinPipeDir) {
  const char* directory = std::getenv("ZERIN_PIPE_DIR");
  ASSERT_NE(directory, nullptr);
  const std::string path = socketFileOf(directory, "in-dir");
  const Handle instance = platform::createNamedPipe("\\\\.\\pipe\\in-dir", 1, 4096);
  ASSERT_NE(instance, invalidHandle()) << lastSystemError();
  EXPECT_TRUE(isSocket(path));
  const Handle client = platform::openNamedPipe("\\\\.\\PIPE\\in-dir");
  EXPECT_NE(client, invalidHandle()) << lastSystemError();
  platform::closeHandle(client);
  platform::closeHandle(instance);
  EXPECT_FALSE(isSocket(path));
}

TEST(NamedPipePosix, MapsThePipeToASocketInZerinPipeDir) {
  char directory[] = "/tmp/zerin-pipe-dir-XXXXXX";
  ASSERT_NE(::mkdtemp(directory), nullptr);
  const auto result =
      ZerinTest::runTestInChild("NamedPipePosix.DISABLED_PutsTheSocketInZerinPipeDir", {{"ZERIN_PIPE_DIR", directory}});
  ::rmdir(directory);
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_NE(result.output.find("[  PASSED  ] 1 test"), std::string::npos) << result.output;
}

TEST(NamedPipePosix, AServerTakesOverTheSocketFileOfADeadOne) {
  const std::string name = privatePipeName("stale");
  const std::string path = "/tmp/" + name.substr(9);
  const int dead = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(dead, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ::close(dead);
  ASSERT_TRUE(isSocket(path));

  // Nobody listens behind the file: there is no such pipe.
  EXPECT_EQ(platform::openNamedPipe(name), invalidHandle());
  EXPECT_EQ(lastSystemError(), platform::kErrorFileNotFound);
  EXPECT_FALSE(platform::waitNamedPipe(name, 100));
  EXPECT_EQ(lastSystemError(), platform::kErrorFileNotFound);

  Handles handles;
  ASSERT_NE(handles.add(platform::createNamedPipe(name, 1, 4096)), invalidHandle()) << lastSystemError();
  EXPECT_NE(handles.add(platform::openNamedPipe(name)), invalidHandle()) << lastSystemError();
  handles.closeAll();
  EXPECT_FALSE(isSocket(path));
}

TEST(NamedPipePosix, RejectsNamesOutsideThePipeFolder) {
  EXPECT_EQ(platform::openNamedPipe("zerin-not-a-pipe"), invalidHandle());
  EXPECT_EQ(lastSystemError(), platform::kErrorInvalidName);
  EXPECT_FALSE(platform::waitNamedPipe("\\\\.\\pipe\\", 10));
  EXPECT_EQ(lastSystemError(), platform::kErrorInvalidName);
  EXPECT_EQ(platform::createNamedPipe("\\\\.\\pipe\\" + std::string(200, 'x'), 1, 4096), invalidHandle());
  EXPECT_EQ(lastSystemError(), platform::kErrorInvalidName);
}

#endif

}  // namespace
