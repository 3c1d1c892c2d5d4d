#include "soft_formats.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

namespace ZerinSim::Gfx::Soft {
namespace {

struct Entry {
  DXGI_FORMAT format;
  FormatInfo info;
};

constexpr bool R = true;   // a texture may have the format
constexpr bool V = false;  // only views may
constexpr bool D = true;   // depth-stencil format

const std::map<DXGI_FORMAT, FormatInfo>& table() {
  static const std::map<DXGI_FORMAT, FormatInfo> formats = [] {
    const Entry entries[] = {
        {DXGI_FORMAT_R32G32B32A32_TYPELESS, {16, DXGI_FORMAT_R32G32B32A32_TYPELESS, R, false}},
        {DXGI_FORMAT_R32G32B32A32_FLOAT, {16, DXGI_FORMAT_R32G32B32A32_TYPELESS, R, false}},
        {DXGI_FORMAT_R32G32B32A32_UINT, {16, DXGI_FORMAT_R32G32B32A32_TYPELESS, R, false}},
        {DXGI_FORMAT_R32G32B32A32_SINT, {16, DXGI_FORMAT_R32G32B32A32_TYPELESS, R, false}},
        {DXGI_FORMAT_R16G16B16A16_TYPELESS, {8, DXGI_FORMAT_R16G16B16A16_TYPELESS, R, false}},
        {DXGI_FORMAT_R16G16B16A16_FLOAT, {8, DXGI_FORMAT_R16G16B16A16_TYPELESS, R, false}},
        {DXGI_FORMAT_R16G16B16A16_UNORM, {8, DXGI_FORMAT_R16G16B16A16_TYPELESS, R, false}},
        {DXGI_FORMAT_R16G16B16A16_UINT, {8, DXGI_FORMAT_R16G16B16A16_TYPELESS, R, false}},
        {DXGI_FORMAT_R16G16B16A16_SNORM, {8, DXGI_FORMAT_R16G16B16A16_TYPELESS, R, false}},
        {DXGI_FORMAT_R16G16B16A16_SINT, {8, DXGI_FORMAT_R16G16B16A16_TYPELESS, R, false}},
        {DXGI_FORMAT_R32G32_TYPELESS, {8, DXGI_FORMAT_R32G32_TYPELESS, R, false}},
        {DXGI_FORMAT_R32G32_FLOAT, {8, DXGI_FORMAT_R32G32_TYPELESS, R, false}},
        {DXGI_FORMAT_R32G32_UINT, {8, DXGI_FORMAT_R32G32_TYPELESS, R, false}},
        {DXGI_FORMAT_R32G32_SINT, {8, DXGI_FORMAT_R32G32_TYPELESS, R, false}},
        {DXGI_FORMAT_R32G8X24_TYPELESS, {8, DXGI_FORMAT_R32G8X24_TYPELESS, R, false}},
        {DXGI_FORMAT_D32_FLOAT_S8X24_UINT, {8, DXGI_FORMAT_R32G8X24_TYPELESS, R, D}},
        {DXGI_FORMAT_R32_FLOAT_X8X24_TYPELESS, {8, DXGI_FORMAT_R32G8X24_TYPELESS, V, false}},
        {DXGI_FORMAT_X32_TYPELESS_G8X24_UINT, {8, DXGI_FORMAT_R32G8X24_TYPELESS, V, false}},
        {DXGI_FORMAT_R10G10B10A2_TYPELESS, {4, DXGI_FORMAT_R10G10B10A2_TYPELESS, R, false}},
        {DXGI_FORMAT_R10G10B10A2_UNORM, {4, DXGI_FORMAT_R10G10B10A2_TYPELESS, R, false}},
        {DXGI_FORMAT_R10G10B10A2_UINT, {4, DXGI_FORMAT_R10G10B10A2_TYPELESS, R, false}},
        {DXGI_FORMAT_R11G11B10_FLOAT, {4, DXGI_FORMAT_R11G11B10_FLOAT, R, false}},
        {DXGI_FORMAT_R8G8B8A8_TYPELESS, {4, DXGI_FORMAT_R8G8B8A8_TYPELESS, R, false}},
        {DXGI_FORMAT_R8G8B8A8_UNORM, {4, DXGI_FORMAT_R8G8B8A8_TYPELESS, R, false}},
        {DXGI_FORMAT_R8G8B8A8_UNORM_SRGB, {4, DXGI_FORMAT_R8G8B8A8_TYPELESS, R, false}},
        {DXGI_FORMAT_R8G8B8A8_UINT, {4, DXGI_FORMAT_R8G8B8A8_TYPELESS, R, false}},
        {DXGI_FORMAT_R8G8B8A8_SNORM, {4, DXGI_FORMAT_R8G8B8A8_TYPELESS, R, false}},
        {DXGI_FORMAT_R8G8B8A8_SINT, {4, DXGI_FORMAT_R8G8B8A8_TYPELESS, R, false}},
        {DXGI_FORMAT_R16G16_TYPELESS, {4, DXGI_FORMAT_R16G16_TYPELESS, R, false}},
        {DXGI_FORMAT_R16G16_FLOAT, {4, DXGI_FORMAT_R16G16_TYPELESS, R, false}},
        {DXGI_FORMAT_R16G16_UNORM, {4, DXGI_FORMAT_R16G16_TYPELESS, R, false}},
        {DXGI_FORMAT_R16G16_UINT, {4, DXGI_FORMAT_R16G16_TYPELESS, R, false}},
        {DXGI_FORMAT_R16G16_SNORM, {4, DXGI_FORMAT_R16G16_TYPELESS, R, false}},
        {DXGI_FORMAT_R16G16_SINT, {4, DXGI_FORMAT_R16G16_TYPELESS, R, false}},
        {DXGI_FORMAT_R32_TYPELESS, {4, DXGI_FORMAT_R32_TYPELESS, R, false}},
        {DXGI_FORMAT_D32_FLOAT, {4, DXGI_FORMAT_R32_TYPELESS, R, D}},
        {DXGI_FORMAT_R32_FLOAT, {4, DXGI_FORMAT_R32_TYPELESS, R, false}},
        {DXGI_FORMAT_R32_UINT, {4, DXGI_FORMAT_R32_TYPELESS, R, false}},
        {DXGI_FORMAT_R32_SINT, {4, DXGI_FORMAT_R32_TYPELESS, R, false}},
        {DXGI_FORMAT_R24G8_TYPELESS, {4, DXGI_FORMAT_R24G8_TYPELESS, R, false}},
        {DXGI_FORMAT_D24_UNORM_S8_UINT, {4, DXGI_FORMAT_R24G8_TYPELESS, R, D}},
        {DXGI_FORMAT_R24_UNORM_X8_TYPELESS, {4, DXGI_FORMAT_R24G8_TYPELESS, V, false}},
        {DXGI_FORMAT_X24_TYPELESS_G8_UINT, {4, DXGI_FORMAT_R24G8_TYPELESS, V, false}},
        {DXGI_FORMAT_R8G8_TYPELESS, {2, DXGI_FORMAT_R8G8_TYPELESS, R, false}},
        {DXGI_FORMAT_R8G8_UNORM, {2, DXGI_FORMAT_R8G8_TYPELESS, R, false}},
        {DXGI_FORMAT_R8G8_UINT, {2, DXGI_FORMAT_R8G8_TYPELESS, R, false}},
        {DXGI_FORMAT_R8G8_SNORM, {2, DXGI_FORMAT_R8G8_TYPELESS, R, false}},
        {DXGI_FORMAT_R8G8_SINT, {2, DXGI_FORMAT_R8G8_TYPELESS, R, false}},
        {DXGI_FORMAT_R16_TYPELESS, {2, DXGI_FORMAT_R16_TYPELESS, R, false}},
        {DXGI_FORMAT_R16_FLOAT, {2, DXGI_FORMAT_R16_TYPELESS, R, false}},
        {DXGI_FORMAT_D16_UNORM, {2, DXGI_FORMAT_R16_TYPELESS, R, D}},
        {DXGI_FORMAT_R16_UNORM, {2, DXGI_FORMAT_R16_TYPELESS, R, false}},
        {DXGI_FORMAT_R16_UINT, {2, DXGI_FORMAT_R16_TYPELESS, R, false}},
        {DXGI_FORMAT_R16_SNORM, {2, DXGI_FORMAT_R16_TYPELESS, R, false}},
        {DXGI_FORMAT_R16_SINT, {2, DXGI_FORMAT_R16_TYPELESS, R, false}},
        {DXGI_FORMAT_R8_TYPELESS, {1, DXGI_FORMAT_R8_TYPELESS, R, false}},
        {DXGI_FORMAT_R8_UNORM, {1, DXGI_FORMAT_R8_TYPELESS, R, false}},
        {DXGI_FORMAT_R8_UINT, {1, DXGI_FORMAT_R8_TYPELESS, R, false}},
        {DXGI_FORMAT_R8_SNORM, {1, DXGI_FORMAT_R8_TYPELESS, R, false}},
        {DXGI_FORMAT_R8_SINT, {1, DXGI_FORMAT_R8_TYPELESS, R, false}},
        {DXGI_FORMAT_A8_UNORM, {1, DXGI_FORMAT_A8_UNORM, R, false}},
        {DXGI_FORMAT_B8G8R8A8_UNORM, {4, DXGI_FORMAT_B8G8R8A8_TYPELESS, R, false}},
        {DXGI_FORMAT_B8G8R8A8_TYPELESS, {4, DXGI_FORMAT_B8G8R8A8_TYPELESS, R, false}},
        {DXGI_FORMAT_B8G8R8A8_UNORM_SRGB, {4, DXGI_FORMAT_B8G8R8A8_TYPELESS, R, false}},
        {DXGI_FORMAT_B8G8R8X8_UNORM, {4, DXGI_FORMAT_B8G8R8X8_TYPELESS, R, false}},
        {DXGI_FORMAT_B8G8R8X8_TYPELESS, {4, DXGI_FORMAT_B8G8R8X8_TYPELESS, R, false}},
        {DXGI_FORMAT_B8G8R8X8_UNORM_SRGB, {4, DXGI_FORMAT_B8G8R8X8_TYPELESS, R, false}},
    };
    std::map<DXGI_FORMAT, FormatInfo> map;
    for (const auto& entry : entries) map[entry.format] = entry.info;
    return map;
  }();
  return formats;
}

float halfToFloat(uint16_t half) {
  const int exponent = (half >> 10) & 0x1f;
  const int mantissa = half & 0x3ff;
  float value;
  if (exponent == 0)
    value = std::ldexp(static_cast<float>(mantissa), -24);
  else if (exponent == 31)
    value = mantissa ? NAN : INFINITY;
  else
    value = std::ldexp(static_cast<float>(mantissa | 0x400), exponent - 25);
  return (half & 0x8000) ? -value : value;
}

uint16_t floatToHalf(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  const uint16_t sign = static_cast<uint16_t>((bits >> 16) & 0x8000);
  const float magnitude = std::fabs(value);
  if (std::isnan(value)) return sign | 0x7e00;
  if (magnitude >= 65520.0f) return sign | 0x7c00;
  if (magnitude < std::ldexp(1.0f, -24)) return sign;
  int exponent;
  std::frexp(magnitude, &exponent);  // magnitude = m * 2^exponent, m in [0.5, 1)
  if (exponent < -13) {              // subnormal
    return sign | static_cast<uint16_t>(std::lround(std::ldexp(magnitude, 24)));
  }
  const long scaled = std::lround(std::ldexp(magnitude, 11 - exponent));  // 11 bits of precision
  uint32_t biased = static_cast<uint32_t>(exponent + 14);
  uint32_t mantissa = static_cast<uint32_t>(scaled);
  if (mantissa >= 0x800) {  // rounding carried into the next power of two
    mantissa >>= 1;
    ++biased;
  }
  if (biased >= 31) return sign | 0x7c00;
  return sign | static_cast<uint16_t>((biased << 10) | (mantissa & 0x3ff));
}

uint8_t unorm8(float value) {
  if (!(value > 0.0f)) return 0;
  if (value >= 1.0f) return 255;
  return static_cast<uint8_t>(std::lround(value * 255.0f));
}

float linearToSrgb(float value) {
  if (!(value > 0.0f)) return 0.0f;
  if (value >= 1.0f) return 1.0f;
  return value <= 0.0031308f ? value * 12.92f : 1.055f * std::pow(value, 1.0f / 2.4f) - 0.055f;
}

}  // namespace

const FormatInfo* formatInfo(DXGI_FORMAT format) {
  const auto& formats = table();
  const auto found = formats.find(format);
  return found == formats.end() ? nullptr : &found->second;
}

bool sameFamily(DXGI_FORMAT a, DXGI_FORMAT b) {
  const FormatInfo* first = formatInfo(a);
  const FormatInfo* second = formatInfo(b);
  return first && second && first->family == second->family;
}

bool canBindDepthStencil(DXGI_FORMAT format) {
  switch (format) {
    case DXGI_FORMAT_R32G8X24_TYPELESS:
    case DXGI_FORMAT_D32_FLOAT_S8X24_UINT:
    case DXGI_FORMAT_R32_TYPELESS:
    case DXGI_FORMAT_D32_FLOAT:
    case DXGI_FORMAT_R24G8_TYPELESS:
    case DXGI_FORMAT_D24_UNORM_S8_UINT:
    case DXGI_FORMAT_R16_TYPELESS:
    case DXGI_FORMAT_D16_UNORM:
      return true;
    default:
      return false;
  }
}

bool loadRed(DXGI_FORMAT format, const uint8_t* texel, float& value) {
  switch (format) {
    case DXGI_FORMAT_R32_FLOAT:
    case DXGI_FORMAT_R32_FLOAT_X8X24_TYPELESS:
    case DXGI_FORMAT_R32G32_FLOAT:
    case DXGI_FORMAT_R32G32B32A32_FLOAT:
      std::memcpy(&value, texel, 4);
      return true;
    case DXGI_FORMAT_R16_FLOAT:
    case DXGI_FORMAT_R16G16_FLOAT:
    case DXGI_FORMAT_R16G16B16A16_FLOAT: {
      uint16_t half;
      std::memcpy(&half, texel, 2);
      value = halfToFloat(half);
      return true;
    }
    case DXGI_FORMAT_R24_UNORM_X8_TYPELESS: {
      uint32_t bits;
      std::memcpy(&bits, texel, 4);
      value = static_cast<float>(bits & 0xffffffu) / 16777215.0f;
      return true;
    }
    case DXGI_FORMAT_R16_UNORM:
    case DXGI_FORMAT_R16G16_UNORM:
    case DXGI_FORMAT_R16G16B16A16_UNORM: {
      uint16_t bits;
      std::memcpy(&bits, texel, 2);
      value = static_cast<float>(bits) / 65535.0f;
      return true;
    }
    case DXGI_FORMAT_R8_UNORM:
    case DXGI_FORMAT_R8G8_UNORM:
    case DXGI_FORMAT_R8G8B8A8_UNORM:
      value = static_cast<float>(texel[0]) / 255.0f;
      return true;
    case DXGI_FORMAT_B8G8R8A8_UNORM:
    case DXGI_FORMAT_B8G8R8X8_UNORM:
      value = static_cast<float>(texel[2]) / 255.0f;
      return true;
    default:
      return false;
  }
}

bool storeDepth(DXGI_FORMAT format, uint8_t* texel, const float* depth, const UINT8* stencil) {
  switch (format) {
    case DXGI_FORMAT_D32_FLOAT:
      if (depth) std::memcpy(texel, depth, 4);
      return true;
    case DXGI_FORMAT_D32_FLOAT_S8X24_UINT:
      if (depth) std::memcpy(texel, depth, 4);
      if (stencil) texel[4] = *stencil;
      return true;
    case DXGI_FORMAT_D24_UNORM_S8_UINT: {
      uint32_t bits;
      std::memcpy(&bits, texel, 4);
      if (depth) {
        const float clamped = std::clamp(*depth, 0.0f, 1.0f);
        bits = (bits & 0xff000000u) | static_cast<uint32_t>(std::lround(clamped * 16777215.0f));
      }
      if (stencil) bits = (bits & 0xffffffu) | (static_cast<uint32_t>(*stencil) << 24);
      std::memcpy(texel, &bits, 4);
      return true;
    }
    case DXGI_FORMAT_D16_UNORM:
      if (depth) {
        const uint16_t bits = static_cast<uint16_t>(std::lround(std::clamp(*depth, 0.0f, 1.0f) * 65535.0f));
        std::memcpy(texel, &bits, 2);
      }
      return true;
    default:
      return false;
  }
}

bool loadDepth(DXGI_FORMAT format, const uint8_t* texel, float& depth) {
  switch (format) {
    case DXGI_FORMAT_D32_FLOAT:
    case DXGI_FORMAT_D32_FLOAT_S8X24_UINT:
      std::memcpy(&depth, texel, 4);
      return true;
    case DXGI_FORMAT_D24_UNORM_S8_UINT: {
      uint32_t bits;
      std::memcpy(&bits, texel, 4);
      depth = static_cast<float>(bits & 0xffffffu) / 16777215.0f;
      return true;
    }
    case DXGI_FORMAT_D16_UNORM: {
      uint16_t bits;
      std::memcpy(&bits, texel, 2);
      depth = static_cast<float>(bits) / 65535.0f;
      return true;
    }
    default:
      return false;
  }
}

bool encodeColour(DXGI_FORMAT format, const FLOAT rgba[4], uint8_t* texel) {
  switch (format) {
    case DXGI_FORMAT_R8G8B8A8_UNORM:
      for (int i = 0; i < 4; ++i) texel[i] = unorm8(rgba[i]);
      return true;
    case DXGI_FORMAT_R8G8B8A8_UNORM_SRGB:
      for (int i = 0; i < 3; ++i) texel[i] = unorm8(linearToSrgb(rgba[i]));
      texel[3] = unorm8(rgba[3]);
      return true;
    case DXGI_FORMAT_B8G8R8A8_UNORM:
    case DXGI_FORMAT_B8G8R8X8_UNORM:
      texel[0] = unorm8(rgba[2]);
      texel[1] = unorm8(rgba[1]);
      texel[2] = unorm8(rgba[0]);
      texel[3] = format == DXGI_FORMAT_B8G8R8X8_UNORM ? 255 : unorm8(rgba[3]);
      return true;
    case DXGI_FORMAT_B8G8R8A8_UNORM_SRGB:
    case DXGI_FORMAT_B8G8R8X8_UNORM_SRGB:
      texel[0] = unorm8(linearToSrgb(rgba[2]));
      texel[1] = unorm8(linearToSrgb(rgba[1]));
      texel[2] = unorm8(linearToSrgb(rgba[0]));
      texel[3] = format == DXGI_FORMAT_B8G8R8X8_UNORM_SRGB ? 255 : unorm8(rgba[3]);
      return true;
    case DXGI_FORMAT_R32G32B32A32_FLOAT:
      std::memcpy(texel, rgba, 16);
      return true;
    case DXGI_FORMAT_R32_FLOAT:
      std::memcpy(texel, rgba, 4);
      return true;
    case DXGI_FORMAT_R16G16B16A16_FLOAT:
      for (int i = 0; i < 4; ++i) {
        const uint16_t half = floatToHalf(rgba[i]);
        std::memcpy(texel + 2 * i, &half, 2);
      }
      return true;
    default:
      return false;
  }
}

}  // namespace ZerinSim::Gfx::Soft
