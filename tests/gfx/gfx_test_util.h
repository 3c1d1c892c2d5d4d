#pragma once
// Shared by the graphics tests: a device per test and texel patterns that show misplaced rows.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "gfx_device.h"
#include "gfx_textures.h"

namespace GfxTest {

using ZerinSim::Gfx::Ref;

class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gpu = ZerinSim::Gfx::createDevice();
    ASSERT_TRUE(gpu) << "D3D11CreateDevice failed: 0x" << std::hex << gpu.result;
  }
  ID3D11Device* device() const { return gpu.device.get(); }
  ID3D11DeviceContext* context() const { return gpu.context.get(); }

  ZerinSim::Gfx::Device gpu;
};

// Bytes that differ from texel to texel, row to row and slice to slice.
inline std::vector<uint8_t> bytePattern(size_t count, unsigned seed) {
  std::vector<uint8_t> bytes(count);
  for (size_t index = 0; index < count; ++index) bytes[index] = static_cast<uint8_t>(index * 37 + seed * 101 + 11);
  return bytes;
}

// Depth values in (0, 1), one per texel, distinct everywhere.
inline std::vector<float> depthPattern(size_t count, unsigned seed) {
  std::vector<float> values(count);
  for (size_t index = 0; index < count; ++index)
    values[index] = 0.001f + 0.998f * static_cast<float>((index * 7919 + seed * 104729) % 65536) / 65536.0f;
  return values;
}

}  // namespace GfxTest
