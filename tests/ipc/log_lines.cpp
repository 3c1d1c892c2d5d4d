#include <gtest/gtest.h>

#include "capture.h"

namespace {

// Every test reads only its own log lines, also when the whole program runs at once.
class ClearCapturesBeforeEachTest : public testing::EmptyTestEventListener {
  void OnTestStart(const testing::TestInfo&) override { ZerinTest::clearCaptures(); }
};

const bool registered = [] {
  testing::UnitTest::GetInstance()->listeners().Append(new ClearCapturesBeforeEachTest);
  return true;
}();

}  // namespace
