#pragma once
#include <cstdint>

// Test programs export these C functions; the libraries look them up in the running program
// once, so the debugger output and console colours of every library instance can be read back
// on both targets. A program without them (the engine) costs one failed lookup each.
namespace Zerin::platform {

using DebugOutputHook = void (*)(const char* text);
using ConsoleAttributeHook = void (*)(uint16_t attribute);

constexpr const char* kDebugOutputHookName = "ZerinCaptureDebugOutput";
constexpr const char* kConsoleAttributeHookName = "ZerinCaptureConsoleAttribute";

DebugOutputHook debugOutputHook();
ConsoleAttributeHook consoleAttributeHook();

// Address of an exported symbol of the main program, or null.
void* findProgramSymbol(const char* name);

}  // namespace Zerin::platform
