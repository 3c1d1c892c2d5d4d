// The render queues' ring: first in, first out across wrap-arounds and growth, with its storage
// kept while in use and given back by clear.
#include <gtest/gtest.h>

#include <deque>
#include <ostream>
#include <string>

#include "render/ring_queue.h"

namespace {

// A script of appends ('+', the next number) and pops ('-') for the ring and a std::deque alike.
struct Script {
  const char* name;
  std::string steps;
};
void PrintTo(const Script& script, std::ostream* out) { *out << script.steps; }

class RingQueueOrder : public ::testing::TestWithParam<Script> {};

TEST_P(RingQueueOrder, PopsWhatADequeWouldPop) {
  Zerin::RingQueue<int> ring;
  std::deque<int> model;
  int next = 0;
  for (char step : GetParam().steps) {
    if (step == '+') {
      ring.appendSlot() = next;
      model.push_back(next++);
    } else {
      ASSERT_FALSE(ring.empty());
      EXPECT_EQ(ring.front(), model.front());
      ring.popFront();
      model.pop_front();
    }
    ASSERT_EQ(ring.size(), model.size());
  }
  for (; !model.empty(); model.pop_front(), ring.popFront()) EXPECT_EQ(ring.front(), model.front());
  EXPECT_TRUE(ring.empty());
}

INSTANTIATE_TEST_SUITE_P(Scripts, RingQueueOrder,
                         ::testing::Values(Script{"Steady", "+-+-+-+-+-+-+-+-+-"},
                                           Script{"GrowsWhileEmptyAtTheFront", "++++++++++--"},
                                           // The oldest values sit at the end of the ring when it
                                           // grows: they must stay first.
                                           Script{"GrowsWhileWrapped", "+++--++++++++---+++++++++"},
                                           Script{"WrapsManyTimes", "++-+-+-+-+-+-+-+-+-+-+--+++---"}),
                         [](const ::testing::TestParamInfo<Script>& info) { return info.param.name; });

TEST(RingQueueStorage, KeptWhileInUseAndGivenBackByClear) {
  Zerin::RingQueue<int> ring;
  for (int i = 0; i < 5; ++i) ring.append(i);
  const size_t grown = ring.capacity();
  EXPECT_GE(grown, 5u);
  for (int round = 0; round < 100; ++round) {
    ring.popFront();
    ring.append(round);
  }
  EXPECT_EQ(ring.capacity(), grown);
  ring.clear();
  EXPECT_TRUE(ring.empty());
  EXPECT_EQ(ring.capacity(), 0u);
  ring.append(42);
  EXPECT_EQ(ring.front(), 42);
}

}  // namespace
