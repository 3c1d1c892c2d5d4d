#pragma once
#include <cstdint>
#include <string>

#include "unity_graphics_d3d11.h"

namespace ZerinSim {

// The engine's Direct3D 11 device: a hardware device on Windows, the software stand-in
// elsewhere. Holds one reference while it lives.
class GraphicsDevice {
 public:
  GraphicsDevice() = default;
  ~GraphicsDevice() { destroy(); }
  GraphicsDevice(const GraphicsDevice&) = delete;
  GraphicsDevice& operator=(const GraphicsDevice&) = delete;

  bool create();
  void destroy();
  ID3D11Device* get() const { return device; }
  const std::string& error() const { return lastError; }

  // The device's reference count as AddRef and Release report it (0 without a device).
  static uint32_t referenceCount(ID3D11Device* device);

 private:
  ID3D11Device* device = nullptr;
  std::string lastError;
};

}  // namespace ZerinSim
