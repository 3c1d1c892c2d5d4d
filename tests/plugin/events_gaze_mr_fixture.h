#pragma once
// The session fixture with a session open, for the plug-in's event, gaze and mixed-reality
// exports.
#include "plugin_fixture.h"
#include "zerin_sim_devices.h"

namespace ZerinTest {

// Loads the plug-in and opens a session; ends an open session when the test ends, so that no
// stream outlives it.
class DevicesTest : public PluginTest {
 protected:
  void SetUp() override;
  void TearDown() override;
};

}  // namespace ZerinTest
