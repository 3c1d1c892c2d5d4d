// The entry points of the software device: D3D11CreateDevice, the interface identifiers and
// the test controls.
#include <mutex>
#include <optional>

#include "gfx_soft_control.h"
#include "soft_compiler.h"
#include "soft_objects.h"

#define SOFT_EXPORT __attribute__((visibility("default")))

extern "C" {
SOFT_EXPORT const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
SOFT_EXPORT const IID IID_ID3D10Blob = {0x8ba5fb08, 0x5195, 0x40e2, {0xac, 0x58, 0x0d, 0x98, 0x9c, 0x3a, 0x01, 0x02}};
SOFT_EXPORT const IID IID_ID3D11Device = {0xdb6f6ddb, 0xac77, 0x4e88, {0x82, 0x53, 0x81, 0x9d, 0xf9, 0xbb, 0xf1, 0x40}};
SOFT_EXPORT const IID IID_ID3D11DeviceContext = {0xc0bfa96c, 0xe089, 0x44fb, {0x8e, 0xaf, 0x26, 0xf8, 0x79, 0x61, 0x90, 0xda}};
SOFT_EXPORT const IID IID_ID3D11DeviceChild = {0x1841e5c8, 0x16b0, 0x489b, {0xbc, 0xc8, 0x44, 0xcf, 0xb0, 0xd5, 0xde, 0xae}};
SOFT_EXPORT const IID IID_ID3D11Resource = {0xdc8e63f3, 0xd12b, 0x4952, {0xb4, 0x7b, 0x5e, 0x45, 0x02, 0x6a, 0x86, 0x2d}};
SOFT_EXPORT const IID IID_ID3D11Texture2D = {0x6f15aaf2, 0xd208, 0x4e89, {0x9a, 0xb4, 0x48, 0x95, 0x35, 0xd3, 0x4f, 0x9c}};
SOFT_EXPORT const IID IID_ID3D11Buffer = {0x48570b85, 0xd1ee, 0x4fcd, {0xa2, 0x50, 0xeb, 0x35, 0x07, 0x22, 0xb0, 0x37}};
SOFT_EXPORT const IID IID_ID3D11View = {0x839d1216, 0xbb2e, 0x412b, {0xb7, 0xf4, 0xa9, 0xdb, 0xeb, 0xe0, 0x8e, 0xd1}};
SOFT_EXPORT const IID IID_ID3D11ShaderResourceView = {0xb0e06fe0, 0x8192, 0x4e1a, {0xb1, 0xca, 0x36, 0xd7, 0x41, 0x47, 0x10, 0xb2}};
SOFT_EXPORT const IID IID_ID3D11RenderTargetView = {0xdfdba067, 0x0b8d, 0x4865, {0x87, 0x5b, 0xd7, 0xb4, 0x51, 0x6c, 0xc1, 0x64}};
SOFT_EXPORT const IID IID_ID3D11DepthStencilView = {0x9fdac92a, 0x1876, 0x48c3, {0xaf, 0xad, 0x25, 0xb9, 0x4f, 0x84, 0xa9, 0xb6}};
SOFT_EXPORT const IID IID_ID3D11VertexShader = {0x3b301d64, 0xd678, 0x4289, {0x88, 0x97, 0x22, 0xf8, 0x92, 0x8b, 0x72, 0xf3}};
SOFT_EXPORT const IID IID_ID3D11PixelShader = {0xea82e40d, 0x51dc, 0x4f33, {0x93, 0xd4, 0xdb, 0x7c, 0x91, 0x25, 0xae, 0x8c}};
SOFT_EXPORT const IID IID_ID3D11ClassInstance = {0xa6cd7faa, 0xb0b7, 0x4a2f, {0x94, 0x36, 0x86, 0x62, 0xa6, 0x57, 0x97, 0xcb}};
SOFT_EXPORT const IID IID_ID3D11ClassLinkage = {0xddf57cba, 0x9543, 0x46e4, {0xa1, 0x2b, 0xf2, 0x07, 0xa0, 0xfe, 0x7f, 0xed}};
SOFT_EXPORT const IID IID_ID3D11InputLayout = {0xe4819ddc, 0x4cf0, 0x4025, {0xbd, 0x26, 0x5d, 0xe8, 0x2a, 0x3e, 0x07, 0xb7}};
SOFT_EXPORT const IID IID_ID3D11BlendState = {0x75b68faa, 0x347d, 0x4159, {0x8f, 0x45, 0xa0, 0x64, 0x0f, 0x01, 0xcd, 0x9a}};
SOFT_EXPORT const IID IID_ID3D11DepthStencilState = {0x03823efb, 0x8d8f, 0x4e1c, {0x9a, 0xa2, 0xf6, 0x4b, 0xb2, 0xcb, 0xfd, 0xf1}};
SOFT_EXPORT const IID IID_ID3D11RasterizerState = {0x9bb4ab81, 0xab1a, 0x4d8f, {0xb5, 0x06, 0xfc, 0x04, 0x20, 0x0b, 0x6e, 0xe7}};
}

namespace {

std::mutex creationLock;  // guards creationFailure
std::optional<HRESULT> creationFailure;

constexpr HRESULT kUnsupported = static_cast<HRESULT>(0x887A0004u);  // DXGI_ERROR_UNSUPPORTED

bool knownLevel(D3D_FEATURE_LEVEL level) {
  switch (level) {
    case D3D_FEATURE_LEVEL_9_1:
    case D3D_FEATURE_LEVEL_9_2:
    case D3D_FEATURE_LEVEL_9_3:
    case D3D_FEATURE_LEVEL_10_0:
    case D3D_FEATURE_LEVEL_10_1:
    case D3D_FEATURE_LEVEL_11_0:
    case D3D_FEATURE_LEVEL_11_1:
      return true;
  }
  return false;
}

}  // namespace

using namespace ZerinSim::Gfx::Soft;

// The software device offers feature level 11_0, as the system's software rasterisers here do.
extern "C" SOFT_EXPORT HRESULT WINAPI D3D11CreateDevice(IDXGIAdapter* pAdapter, D3D_DRIVER_TYPE DriverType,
                                                        HMODULE Software, UINT /*Flags*/,
                                                        const D3D_FEATURE_LEVEL* pFeatureLevels, UINT FeatureLevels,
                                                        UINT SDKVersion, ID3D11Device** ppDevice,
                                                        D3D_FEATURE_LEVEL* pFeatureLevel,
                                                        ID3D11DeviceContext** ppImmediateContext) {
  if (ppDevice) *ppDevice = nullptr;
  if (ppImmediateContext) *ppImmediateContext = nullptr;
  {
    std::lock_guard<std::mutex> lock(creationLock);
    if (creationFailure) {
      const HRESULT result = *creationFailure;
      creationFailure.reset();
      return result;
    }
  }
  if (SDKVersion != D3D11_SDK_VERSION || pAdapter) return E_INVALIDARG;
  switch (DriverType) {
    case D3D_DRIVER_TYPE_HARDWARE:
    case D3D_DRIVER_TYPE_WARP:
    case D3D_DRIVER_TYPE_REFERENCE:
      if (Software) return E_INVALIDARG;
      break;
    default:
      return E_INVALIDARG;
  }
  D3D_FEATURE_LEVEL chosen = D3D_FEATURE_LEVEL_11_0;
  if (pFeatureLevels && FeatureLevels > 0) {
    bool found = false;
    for (UINT index = 0; index < FeatureLevels; ++index) {
      if (!knownLevel(pFeatureLevels[index])) return E_INVALIDARG;
      if (!found && pFeatureLevels[index] <= D3D_FEATURE_LEVEL_11_0) {
        chosen = pFeatureLevels[index];
        found = true;
      }
    }
    if (!found) return kUnsupported;
  }
  if (pFeatureLevel) *pFeatureLevel = chosen;
  if (!ppDevice && !ppImmediateContext) return S_FALSE;

  auto* device = new SoftDevice(chosen);
  device->AddRef();
  if (ppImmediateContext) {
    ID3D11DeviceContext* context = nullptr;
    device->GetImmediateContext(&context);
    *ppImmediateContext = context;
  }
  device->clearCalls();
  if (ppDevice)
    *ppDevice = device;
  else
    device->Release();
  return S_OK;
}

namespace ZerinSim::Gfx {

namespace {
SoftDevice* softDevice(ID3D11Device* device) { return device ? dynamic_cast<SoftDevice*>(device) : nullptr; }
}  // namespace

std::vector<Call> calls(ID3D11Device* device, const std::string& method) {
  SoftDevice* soft = softDevice(device);
  if (!soft) return {};
  std::vector<Call> all = soft->calls();
  if (method.empty()) return all;
  std::vector<Call> named;
  for (auto& call : all)
    if (call.method == method) named.push_back(std::move(call));
  return named;
}

size_t callCount(ID3D11Device* device, const std::string& method) {
  SoftDevice* soft = softDevice(device);
  return soft ? soft->callCount(method) : 0;
}

void clearCalls(ID3D11Device* device) {
  if (SoftDevice* soft = softDevice(device)) soft->clearCalls();
}

std::vector<std::string> problems(ID3D11Device* device) {
  std::vector<std::string> found;
  for (const auto& call : calls(device))
    if (!call.problem.empty()) found.push_back(call.method + ": " + call.problem);
  return found;
}

size_t liveObjects(ID3D11Device* device) {
  SoftDevice* soft = softDevice(device);
  return soft ? soft->children() : 0;
}

bool isSoftDevice(ID3D11Device* device) { return softDevice(device) != nullptr; }

std::vector<CompileRecord> compiles() { return compileRecords(); }

void clearCompiles() { clearCompileRecords(); }

void failNextCompile(const std::string& entryPoint, const char* message) { armCompileFailure(entryPoint, message); }

void failNextDeviceCreation(HRESULT result) {
  std::lock_guard<std::mutex> lock(creationLock);
  creationFailure = result;
}

const std::string& depthCopyShaderSource() { return depthCopySource(); }

}  // namespace ZerinSim::Gfx
