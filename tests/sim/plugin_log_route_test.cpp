// How a host keeps the plug-in's log apart from its own output: standard error in a file, and
// the plug-in's messages whole through its log callback.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "capture.h"
#include "plugin_log_route.h"

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(StandardErrorFile, KeepsWhatIsWrittenMeanwhileAndRestoresTheStream) {
  const std::string path = "standard-error-file-test.txt";
  ZerinTest::StderrCapture outside;
  std::fputs("before|", stderr);
  {
    ZerinSim::StandardErrorFile file(path);
    ASSERT_TRUE(file.active());
    std::fputs("inside|", stderr);
    std::fprintf(stderr, "%s", "no line end");
  }
  std::fputs("after|", stderr);
  {
    ZerinSim::StandardErrorFile nowhere("");
    EXPECT_TRUE(nowhere.active()) << "the null device";
    std::fputs("dropped|", stderr);
  }
  {
    ZerinSim::StandardErrorFile unopenable("no-such-directory/file.txt");
    EXPECT_FALSE(unopenable.active());
    std::fputs("kept", stderr);
  }
  EXPECT_EQ(outside.finish(), "before|after|kept");
  EXPECT_EQ(readFile(path), "inside|no line end");
  std::remove(path.c_str());
}

TEST(PluginLogRoute, HandsOverEachMessageWholeWhileStandardErrorGoesToItsFile) {
  const std::string path = "plugin-log-route-test.txt";
  const std::string goodbye =
      "Cleanup done. Final message before cleaning up log pointer.\nThis conversation can serve no purpose any more. "
      "Goodbye.";
  std::vector<std::string> messages;
  ZerinTest::StderrCapture outside;
  ZerinSim::EngineHost host;
  {
    ZerinSim::PluginLogRoute route([&messages](const char* message) { messages.emplace_back(message); }, path);
    ASSERT_TRUE(route.standardErrorMoved());
    ASSERT_TRUE(host.openLibrary()) << host.error();
    ASSERT_TRUE(route.install(host));
    ASSERT_TRUE(host.callPluginLoad());
    host.sendDeviceEvent(kUnityGfxDeviceEventShutdown);
  }
  EXPECT_EQ(messages, (std::vector<std::string>{"GraphicsEvent received: 0", "Initialize d3d11",
                                                "GraphicsEvent received: 1", goodbye}));
  EXPECT_EQ(readFile(path), "[ZerinPlugin] GraphicsEvent received: 0[ZerinPlugin] Initialize d3d11"
                            "[ZerinPlugin] GraphicsEvent received: 1[ZerinPlugin] " + goodbye);

  // Once the route has ended, the plug-in's messages reach nobody but standard error again.
  host.sendDeviceEvent(kUnityGfxDeviceEventBeforeReset);
  host.unload();
  EXPECT_EQ(messages.size(), 4u);
  EXPECT_EQ(outside.finish(), "[ZerinPlugin] GraphicsEvent received: 2[ZerinPlugin] GraphicsEvent received: 1"
                              "[ZerinPlugin] " + goodbye);
  std::remove(path.c_str());
}

}  // namespace
