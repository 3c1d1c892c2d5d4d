#pragma once
// Helpers shared by the tracking library's tests: the calls the simulated OpenVR recorded and
// the library's log lines as the debugger output received them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "capture.h"
#include "openvr/zerinsim_openvr.h"
#include "zerin/tracker_link.h"

namespace ZerinOpenVRTest {

inline std::vector<ZerinSimVRCall> recordedCalls() {
  std::vector<ZerinSimVRCall> calls(zerinsimvr_CallCount());
  for (uint32_t i = 0; i < calls.size(); ++i) EXPECT_TRUE(zerinsimvr_GetCall(i, &calls[i]));
  return calls;
}

inline std::vector<std::string> recordedCallNames() {
  std::vector<std::string> names;
  for (const auto& call : recordedCalls()) names.emplace_back(call.name);
  return names;
}

// The lines with `tag`, from the level marker on and without the newline, e.g.
// " ERR [Zerin::openVR::init] No HMD present".
inline std::vector<std::string> linesTagged(const std::string& tag) {
  std::vector<std::string> found;
  const std::string needle = "[" + tag + "] ";
  for (const auto& text : ZerinTest::debugOutput()) {
    const size_t at = text.find(needle);
    if (at == std::string::npos || at < 5) continue;
    std::string line = text.substr(at - 5);
    if (!line.empty() && line.back() == '\n') line.pop_back();
    found.push_back(line);
  }
  return found;
}

inline std::vector<std::string> initLines() { return linesTagged("Zerin::openVR::init"); }

template <typename T>
uint64_t encoded(T value) {
  if constexpr (std::is_pointer_v<T>) {
    return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(value));
  } else if constexpr (std::is_same_v<T, float>) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
  } else {
    return static_cast<uint64_t>(static_cast<int64_t>(value));
  }
}

// Checks that exactly one call reached the simulated OpenVR since the calls were last cleared,
// to `name`, with these arguments (in the record's encoding), and returns it.
template <typename... Args>
ZerinSimVRCall expectSingleCall(const char* name, Args... arguments) {
  const auto calls = recordedCalls();
  EXPECT_EQ(calls.size(), 1u) << "calls recorded: " << testing::PrintToString(recordedCallNames());
  if (calls.empty()) return ZerinSimVRCall{};
  const ZerinSimVRCall& call = calls.back();
  EXPECT_STREQ(call.name, name);
  const std::vector<uint64_t> expected{encoded(arguments)...};
  EXPECT_EQ(std::vector<uint64_t>(call.arguments, call.arguments + call.argumentCount), expected) << name;
  return call;
}

// Every test starts from a library without OpenVR and a freshly reset simulated runtime whose
// clock stands still, so answers repeat.
class TrackerLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Zerin::openVR::shutdown();
    zerinsimvr_Reset();
    zerinsimvr_FreezeClock(12.5);
    ZerinTest::clearCaptures();
  }
  void TearDown() override {
    Zerin::openVR::shutdown();
    zerinsimvr_Reset();
  }
  // Initialises against the simulated runtime and forgets the calls that took.
  void initialise() {
    ASSERT_TRUE(Zerin::openVR::init());
    zerinsimvr_ClearCalls();
    ZerinTest::clearCaptures();
  }
};

inline bool sameBytes(const void* a, const void* b, size_t size) { return std::memcmp(a, b, size) == 0; }

}  // namespace ZerinOpenVRTest
