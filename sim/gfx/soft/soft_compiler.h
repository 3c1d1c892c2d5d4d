#pragma once
#include <d3d11.h>

#include <string>
#include <vector>

#include "soft_objects.h"

namespace ZerinSim::Gfx::Soft {

// The program that bytecode from the software compiler holds; false for anything else.
bool decodeBytecode(const void* bytecode, SIZE_T length, ShaderProgram& program);

const std::string& depthCopySource();
std::vector<CompileRecord> compileRecords();
void clearCompileRecords();
void armCompileFailure(const std::string& entryPoint, const char* message);

}  // namespace ZerinSim::Gfx::Soft
