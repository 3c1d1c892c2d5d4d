#include "plugin_api.h"

namespace ZerinDemo {

bool PluginApi::resolve(const ZerinSim::EngineHost& host, std::string& missing) {
  bool complete = true;
  const auto find = [&](auto& function, const char* name) {
    function = host.function<std::remove_reference_t<decltype(function)>>(name);
    if (!function && complete) {
      missing = name;
      complete = false;
    }
  };
#define ZERIN_DEMO_RESOLVE(name) find(name, #name)
  ZERIN_DEMO_RESOLVE(SetDebugLog);
  ZERIN_DEMO_RESOLVE(InitSession);
  ZERIN_DEMO_RESOLVE(EndSession);
  ZERIN_DEMO_RESOLVE(GetError);
  ZERIN_DEMO_RESOLVE(QueueCreateD3D11Swapchain);
  ZERIN_DEMO_RESOLVE(QueueDestroySwapchain);
  ZERIN_DEMO_RESOLVE(QueueSubmission);
  ZERIN_DEMO_RESOLVE(GetFramePoseData);
  ZERIN_DEMO_RESOLVE(SyncRenderThread);
  ZERIN_DEMO_RESOLVE(PollEvent);
  ZERIN_DEMO_RESOLVE(GetEventVisibility);
  ZERIN_DEMO_RESOLVE(InitGaze);
  ZERIN_DEMO_RESOLVE(GetOldestGazeIfAvailable);
  ZERIN_DEMO_RESOLVE(MRIsAvailable);
  ZERIN_DEMO_RESOLVE(MRSupportsDataStream);
  ZERIN_DEMO_RESOLVE(MRStartDataStream);
  ZERIN_DEMO_RESOLVE(MRStopDataStream);
  ZERIN_DEMO_RESOLVE(CreateOcclusionMesh);
  ZERIN_DEMO_RESOLVE(FreeOcclusionMesh);
  ZERIN_DEMO_RESOLVE(ProgramManagerClient_Create);
  ZERIN_DEMO_RESOLVE(ProgramManagerClient_Destroy);
  ZERIN_DEMO_RESOLVE(ProgramManagerClient_IsConnected);
  ZERIN_DEMO_RESOLVE(ProgramManagerClient_Connect);
  ZERIN_DEMO_RESOLVE(ProgramManagerClient_RestartActiveClient);
  ZERIN_DEMO_RESOLVE(SetProgramManagerUnityMessageHandler);
#undef ZERIN_DEMO_RESOLVE
  return complete;
}

}  // namespace ZerinDemo
