#pragma once
// What the software device knows of each texel format.
#include <d3d11.h>

namespace ZerinSim::Gfx::Soft {

struct FormatInfo {
  UINT bytes = 0;                                 // per texel
  DXGI_FORMAT family = DXGI_FORMAT_UNKNOWN;       // the typeless format of its copy-compatible group
  bool resource = false;                          // a texture may have it
  bool depth = false;                             // a depth-stencil format
};

// Null for formats the device does not support.
const FormatInfo* formatInfo(DXGI_FORMAT format);
// Formats whose texels may be copied between each other and viewed as one another.
bool sameFamily(DXGI_FORMAT a, DXGI_FORMAT b);
bool canBindDepthStencil(DXGI_FORMAT resourceFormat);

// The first channel of a texel as a shader would load it; false for formats it cannot read.
bool loadRed(DXGI_FORMAT viewFormat, const uint8_t* texel, float& value);
// Writes depth (and stencil) into a depth texel of a depth-stencil view format.
bool storeDepth(DXGI_FORMAT viewFormat, uint8_t* texel, const float* depth, const UINT8* stencil);
bool loadDepth(DXGI_FORMAT viewFormat, const uint8_t* texel, float& depth);
// Encodes a clear colour into one texel of a render-target view format.
bool encodeColour(DXGI_FORMAT viewFormat, const FLOAT rgba[4], uint8_t* texel);

}  // namespace ZerinSim::Gfx::Soft
