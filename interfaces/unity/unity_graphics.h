#pragma once
// The engine's graphics interface: renderer query and graphics-device event callbacks.
#include "unity_interfaces.h"

#ifdef __cplusplus
extern "C" {
#endif

// Engines send other values too; the type holds any 32-bit value.
typedef enum UnityGfxDeviceEventType
#ifdef __cplusplus
    : int32_t
#endif
{
  kUnityGfxDeviceEventInitialize = 0,
  kUnityGfxDeviceEventShutdown = 1,
  kUnityGfxDeviceEventBeforeReset = 2,
  kUnityGfxDeviceEventAfterReset = 3,
} UnityGfxDeviceEventType;

// The renderer in use; the plug-in asks but works with what it gets.
typedef enum UnityGfxRenderer
#ifdef __cplusplus
    : int32_t
#endif
{
  kUnityGfxRendererD3D11 = 2,
} UnityGfxRenderer;

typedef void (*IUnityGraphicsDeviceEventCallback)(UnityGfxDeviceEventType eventType);

#define ZERIN_UNITY_GRAPHICS_GUID_HIGH 0x7CBA0A9CA4DDB544ULL
#define ZERIN_UNITY_GRAPHICS_GUID_LOW 0x8C5AD4926EB17B11ULL

#ifdef __cplusplus
struct IUnityGraphics : IUnityInterface {
#else
typedef struct IUnityGraphics {
#endif
  UnityGfxRenderer (*GetRenderer)(void);
  void (*RegisterDeviceEventCallback)(IUnityGraphicsDeviceEventCallback callback);
  void (*UnregisterDeviceEventCallback)(IUnityGraphicsDeviceEventCallback callback);
#ifdef __cplusplus
};
#else
} IUnityGraphics;
#endif

#ifdef __cplusplus
}  // extern "C"

constexpr UnityInterfaceGUID kUnityGraphicsGUID{ZERIN_UNITY_GRAPHICS_GUID_HIGH, ZERIN_UNITY_GRAPHICS_GUID_LOW};
#endif
