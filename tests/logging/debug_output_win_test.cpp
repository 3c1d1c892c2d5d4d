// The Windows debugger output as the tests read it: through the DBWIN buffer of the session.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <string>

#include "capture.h"
#include "logging/logger.h"

namespace {

// A writer whose process ends after it took the DBWIN buffer and before it signalled its text
// takes the grant with it. The reader gives it again; otherwise every writer would wait ten
// seconds for it and then drop its text.
TEST(DebugOutputReader, GivesTheBufferAgainWhenAWriterTookItAndDied) {
  ZerinTest::clearCaptures();
  HANDLE writers = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, "DBWinMutex");
  HANDLE bufferReady = OpenEventA(SYNCHRONIZE, FALSE, "DBWIN_BUFFER_READY");
  ASSERT_TRUE(writers && bufferReady);
  // Take the grant the way a writer does, and leave without a text.
  ASSERT_EQ(WaitForSingleObject(writers, 10000), WAIT_OBJECT_0);
  ASSERT_EQ(WaitForSingleObject(bufferReady, 10000), WAIT_OBJECT_0);
  ReleaseMutex(writers);
  CloseHandle(bufferReady);
  CloseHandle(writers);

  const auto start = std::chrono::steady_clock::now();
  Zerin::logMessage("grant", Zerin::LogLevel::Info, "after a lost grant");
  const auto waitedMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  int found = 0;
  for (const auto& text : ZerinTest::debugOutput())
    if (text.find("[grant] after a lost grant\n") != std::string::npos) ++found;
  EXPECT_EQ(found, 1);
  EXPECT_LT(waitedMs, 5000);
}

}  // namespace
