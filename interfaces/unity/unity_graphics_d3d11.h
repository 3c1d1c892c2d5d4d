#pragma once
// The engine's Direct3D 11 interface: the device the engine renders with.
#include "unity_interfaces.h"

#ifdef __cplusplus
// Declared by <d3d11.h>; named here so that this header does not pull in Direct3D.
struct ID3D11Device;
extern "C" {
#else
typedef struct ID3D11Device ID3D11Device;
#endif

#define ZERIN_UNITY_GRAPHICS_D3D11_GUID_HIGH 0xAAB37EF87A87D748ULL
#define ZERIN_UNITY_GRAPHICS_D3D11_GUID_LOW 0xBF76967F07EFB177ULL

#ifdef __cplusplus
struct IUnityGraphicsD3D11 : IUnityInterface {
#else
typedef struct IUnityGraphicsD3D11 {
#endif
  // The engine keeps its reference; callers do not release the result.
  struct ID3D11Device* (*GetDevice)(void);
#ifdef __cplusplus
};
#else
} IUnityGraphicsD3D11;
#endif

#ifdef __cplusplus
}  // extern "C"

constexpr UnityInterfaceGUID kUnityGraphicsD3D11GUID{ZERIN_UNITY_GRAPHICS_D3D11_GUID_HIGH,
                                                     ZERIN_UNITY_GRAPHICS_D3D11_GUID_LOW};
#endif
