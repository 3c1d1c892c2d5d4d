#include <gtest/gtest.h>

#include <thread>

#include "logging/utilities.h"
#include "platform/system_error.h"

namespace {

TEST(WindowsErrorText, GivesHexCodeColonAndTheSystemMessageWithoutTrailingLineBreak) {
  std::string message;
  ASSERT_TRUE(Zerin::platform::systemErrorMessage(2, message));
  const std::string text = Zerin::windowsErrorText(2);
  ASSERT_EQ(text.rfind("0x2: ", 0), 0u) << text;
  EXPECT_GT(text.size(), 5u);
  EXPECT_NE(text.back(), '\n');
  EXPECT_NE(text.back(), '\r');
  EXPECT_EQ(text.find('\n'), std::string::npos);
}

TEST(WindowsErrorText, UsesUpperCaseHexWithoutLeadingZeros) {
  EXPECT_EQ(Zerin::windowsErrorText(1460).rfind("0x5B4: ", 0), 0u);
  EXPECT_EQ(Zerin::windowsErrorText(0x2345ABCD), "0x2345ABCD");
}

TEST(LastErrorText, IsEmptyForNoErrorAndTheErrorTextOtherwise) {
  Zerin::platform::setLastSystemError(0);
  EXPECT_EQ(Zerin::lastErrorText(), "");
  Zerin::platform::setLastSystemError(109);
  EXPECT_EQ(Zerin::lastErrorText(), Zerin::windowsErrorText(109));
  Zerin::platform::setLastSystemError(0);
}

TEST(FormatString, FormatsUpTo2047CharactersAndGivesNothingBeyond) {
  EXPECT_EQ(Zerin::formatString("IPCClient (%s)", "UnityProgramManagerClient"),
            "IPCClient (UnityProgramManagerClient)");
  const std::string exact(2047, 'x');
  EXPECT_EQ(Zerin::formatString("%s", exact.c_str()), exact);
  const std::string over(2048, 'x');
  EXPECT_EQ(Zerin::formatString("%s", over.c_str()), "");
  EXPECT_EQ(Zerin::formatString("%s%s", exact.c_str(), "y"), "");
}

TEST(SetThreadName, KeepsShortNamesWhole) {
  std::wstring seen;
  std::thread([&] {
    Zerin::setThreadName(Zerin::platform::currentThread(), "IPCClient (UnityProgramManagerClient)");
    seen = Zerin::platform::currentThreadDescription();
  }).join();
  EXPECT_EQ(seen, L"IPCClient (UnityProgramManagerClient)");
}

TEST(SetThreadName, CutsNamesLongerThan127Characters) {
  std::wstring seen;
  std::thread([&] {
    Zerin::setThreadName(Zerin::platform::currentThread(), std::string(200, 'n'));
    seen = Zerin::platform::currentThreadDescription();
  }).join();
  EXPECT_EQ(seen, std::wstring(127, L'n'));
}

}  // namespace
