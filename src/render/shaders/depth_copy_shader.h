#pragma once
// The depth copy program: both stages (entry points VS and PS) compile from this one HLSL text.
// A header of its own, so that what compiles the program apart from the render library (the
// device tests, a device of the Linux build) reads the same text.
#include <cstddef>

namespace Zerin {

inline constexpr char kDepthCopyShaderSource[] =
    "float4 VS(uint id : SV_VertexID) : SV_Position\n"
    "{ return float4((float)(id / 2) * 4.0 - 1.0, (float)(id % 2) * 4.0 - 1.0, 1.0, 1.0);}"
    "float PS(float4 pos : SV_Position, Texture2D<float> inputTex : register(t0)) : SV_Depth\n"
    "{ return inputTex[uint2((uint)(pos.x - 0.5), (uint)(pos.y - 0.5))].x; }";
// No terminator counted.
inline constexpr size_t kDepthCopyShaderSourceSize = sizeof(kDepthCopyShaderSource) - 1;

}  // namespace Zerin
