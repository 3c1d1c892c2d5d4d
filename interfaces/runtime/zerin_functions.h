#pragma once
// The functions of zerin_lib.h that the plug-in calls, for tables built by expanding
// ZERIN_RUNTIME_FUNCTIONS(X) with X(name). A library that lacks one of them cannot serve it.
#define ZERIN_RUNTIME_FUNCTIONS(X)                                                              \
  X(zerin_GetFullVersion) X(zerin_IsAvailable) X(zerin_SessionInit)                             \
  X(zerin_SessionInitWithLayerId) X(zerin_SessionShutDown) X(zerin_GetError)                    \
  X(zerin_GetErrorDesc) X(zerin_AllocateEvent) X(zerin_FreeEvent) X(zerin_PollEvent)            \
  X(zerin_GetButtonEvent) X(zerin_CreateFrameInfo) X(zerin_FreeFrameInfo)                       \
  X(zerin_CreateSubmitInfo) X(zerin_FreeSubmitInfo) X(zerin_LayoutDefaultViewports)             \
  X(zerin_WaitSync) X(zerin_FrameGetPose) X(zerin_BeginFrame) X(zerin_EndFrameWithLayers)       \
  X(zerin_D3D11CreateSwapChain) X(zerin_FreeSwapChain) X(zerin_AcquireSwapChainImage)           \
  X(zerin_GetSwapChainImage) X(zerin_ToD3D11Texture) X(zerin_ReleaseSwapChainImage)             \
  X(zerin_GazeInit) X(zerin_GetGaze) X(zerin_GetGazeArray) X(zerin_GetRawGazeData)              \
  X(zerin_RequestGazeCalibration) X(zerin_RequestGazeCalibrationWithParameters)                 \
  X(zerin_GetEulerAngles) X(zerin_ResetPose) X(zerin_SetSessionVisible)                         \
  X(zerin_SetSessionTransparent) X(zerin_SendHeartBeat) X(zerin_SetConfig) X(zerin_GetConfig)   \
  X(zerin_SyncProperties) X(zerin_HasProperty) X(zerin_GetPropertyBool)                         \
  X(zerin_GetDataStreamConfigCount) X(zerin_GetDataStreamConfigs) X(zerin_StartDataStream)      \
  X(zerin_StopDataStream) X(zerin_CreateOcclusionMesh) X(zerin_FreeOcclusionMesh)
