#include "events_gaze_mr_fixture.h"

namespace ZerinTest {

void DevicesTest::SetUp() {
  PluginTest::SetUp();
  loadPlugin();
  ASSERT_TRUE(plugin.InitSession());
  clearLogs();
}

void DevicesTest::TearDown() {
  if (plugin.IsSessionNull && !plugin.IsSessionNull()) plugin.EndSession();
  PluginTest::TearDown();
  zerinsim_Reset();
}

}  // namespace ZerinTest
