#pragma once
// The engine's native plug-in interface registry, as the engine hands it to UnityPluginLoad.
// Tables are plain structs of function pointers; only the entries this system calls are
// declared, in the engine's order, and entries after them are never touched.
#include <stdint.h>

#ifdef __cplusplus
// Base of every interface the registry hands out; it adds nothing to their tables.
struct IUnityInterface {};
extern "C" {
#else
typedef struct IUnityInterface IUnityInterface;
#endif

// Identifies one engine interface: two 64-bit halves, high then low. On x64 Windows a 16-byte
// argument travels by address, which is how the engine receives it.
typedef struct UnityInterfaceGUID {
  uint64_t high;
  uint64_t low;
} UnityInterfaceGUID;

typedef struct IUnityInterfaces {
  // Null when the engine does not offer the interface.
  struct IUnityInterface* (*GetInterface)(UnityInterfaceGUID guid);
} IUnityInterfaces;

// What the engine calls on a native plug-in after loading it and before unloading it.
typedef void (*UnityPluginLoadFunction)(IUnityInterfaces* interfaces);
typedef void (*UnityPluginUnloadFunction)(void);

// The engine's render-thread callback type: one int32 event id, no result.
typedef void (*UnityRenderingEvent)(int32_t eventId);

#ifdef __cplusplus
}  // extern "C"
#endif
