#pragma once
// The plug-in's exports as the engine's scripts see them: resolved by name from the loaded
// library. The pointer types match the definitions exactly (UBSan checks calls through them).
#include <cstdint>
#include <string>

#include "engine_host.h"
#include "render/render_state.h"

namespace ZerinDemo {

using StreamFrameCallback = void (*)(const void* frame, void* userData);
using ProgramManagerMessageHandler = void (*)(int32_t client, const char* name, int32_t nameLength,
                                              const uint8_t* data, int32_t dataSize);
using DebugLogCallback = void (*)(const char* message);

struct PluginApi {
  void (*SetDebugLog)(DebugLogCallback) = nullptr;
  bool (*InitSession)() = nullptr;
  void (*EndSession)() = nullptr;
  int64_t (*GetError)() = nullptr;
  Zerin::SwapchainSlot* (*QueueCreateD3D11Swapchain)(const Zerin::SwapchainConfig*) = nullptr;
  void (*QueueDestroySwapchain)(Zerin::SwapchainSlot*) = nullptr;
  void (*QueueSubmission)(int32_t, const Zerin::SubmissionLayer*) = nullptr;
  void (*GetFramePoseData)(Zerin::FramePoseData*) = nullptr;
  void (*SyncRenderThread)() = nullptr;
  bool (*PollEvent)(int64_t*) = nullptr;
  uint32_t (*GetEventVisibility)() = nullptr;
  bool (*InitGaze)() = nullptr;
  bool (*GetOldestGazeIfAvailable)(ZerinGazeSample*) = nullptr;
  bool (*MRIsAvailable)() = nullptr;
  bool (*MRSupportsDataStream)(int64_t) = nullptr;
  bool (*MRStartDataStream)(int64_t, StreamFrameCallback, void*) = nullptr;
  void (*MRStopDataStream)(int64_t) = nullptr;
  ZerinOcclusionMesh* (*CreateOcclusionMesh)(int32_t, int32_t*, void**) = nullptr;
  void (*FreeOcclusionMesh)(ZerinOcclusionMesh*) = nullptr;
  int32_t (*ProgramManagerClient_Create)() = nullptr;
  void (*ProgramManagerClient_Destroy)(int32_t) = nullptr;
  bool (*ProgramManagerClient_IsConnected)(int32_t) = nullptr;
  bool (*ProgramManagerClient_Connect)(int32_t) = nullptr;
  void (*ProgramManagerClient_RestartActiveClient)(int32_t) = nullptr;
  void (*SetProgramManagerUnityMessageHandler)(ProgramManagerMessageHandler) = nullptr;

  // Resolves every export; false with the first missing name in `missing`.
  bool resolve(const ZerinSim::EngineHost& host, std::string& missing);
};

}  // namespace ZerinDemo
